#include "runtime/file_info.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "runtime/memory_file_system.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "runtime/to_text.h"
#include "tests/support/temp_directory.h"

namespace quillmere {
namespace {

using testing::UtcTime;

TEST(GetFileFacts, SizeIsTheTrueSizeHoweverLarge) {
    for (const std::int64_t size : {0LL, 1234LL, 2147483647LL, 2147483648LL, 3000000000LL, 4294967296LL + 7}) {
        MemoryFileSystem fs;
        fs.AddFile("/f", size);
        EXPECT_EQ(GetFileFacts(fs, Text("/f")).size, size);
    }
}

TEST(FileInfo, MissingPathReportsTheMissingValues) {
    MemoryFileSystem fs;
    EXPECT_EQ(GetFileTime(fs, Text("/missing.jpg")), kMissingFileTime);
    EXPECT_EQ(GetFileTime(fs, Text("/missing.jpg")).days, -657434.0);
    const FileFacts facts = GetFileFacts(fs, Text("/missing.jpg"));
    EXPECT_FALSE(facts.exists);
    EXPECT_EQ(facts.size, -1);
    EXPECT_EQ(facts.time, kMissingFileTime);
    EXPECT_EQ(TextToUtf8(ToText(facts.time)), "100年1月1日");
}

TEST(GetFileTime, ConvertsToTheLocalTimeOfTheFilesOwnInstant) {
    struct Case {
        const char* zone;
        std::time_t written;
        const char* expected;
    };
    // A European zone with daylight saving: summer files are UTC+2, winter files UTC+1,
    // whatever the season when the tool runs.
    const char* berlin = "CET-1CEST,M3.5.0,M10.5.0/3";
    const Case cases[] = {
        {"CST-8", UtcTime(2015, 3, 7, 6, 5, 9), "2015年3月7日14时5分9秒"},
        {"CST-8", UtcTime(2015, 3, 7, 16, 0, 0), "2015年3月8日"},
        {"CST-8", UtcTime(1800, 1, 1, 12, 0, 0), "1800年1月1日20时"},
        {berlin, UtcTime(2015, 7, 1, 12, 0, 0), "2015年7月1日14时"},
        {berlin, UtcTime(2015, 1, 15, 12, 0, 0), "2015年1月15日13时"},
        {"UTC0", UtcTime(2015, 3, 7, 6, 5, 9), "2015年3月7日6时5分9秒"},
    };
    for (const Case& c : cases) {
        testing::TimeZoneOverride zone(c.zone);
        MemoryFileSystem fs;
        fs.AddFile("/f.jpg", 1, c.written);
        EXPECT_EQ(TextToUtf8(ToText(GetFileTime(fs, Text("/f.jpg")))), c.expected) << c.zone << " " << c.written;
        EXPECT_EQ(GetFileFacts(fs, Text("/f.jpg")).time, GetFileTime(fs, Text("/f.jpg")));
    }
}

TEST(GetFileTime, IsAWholeNumberOfSeconds) {
    testing::TimeZoneOverride zone("CST-8");
    MemoryFileSystem fs;
    fs.AddFile("/f.jpg", 1, UtcTime(2015, 3, 7, 6, 5, 9));
    EXPECT_EQ(GetFileTime(fs, Text("/f.jpg")), MakeDateTime(CivilTime{2015, 3, 7, 14, 5, 9}));
}

class FileInfoOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(temp_.path().empty());
        root_ = temp_.path() + "/";
    }
    testing::TempDirectory temp_;
    std::string root_;
    RealFileSystem fs_;
};

TEST_F(FileInfoOnDisk, ReadsSizeAndTimeOfLargeAndOddlyNamedFiles) {
    testing::TimeZoneOverride zone("CST-8");
    const std::string gbkName = "\xD6\xD0\xCE\xC4.jpg";  // GBK bytes, not UTF-8
    testing::MakeFile(root_ + gbkName, 1234, UtcTime(2015, 3, 7, 6, 5, 9));
    testing::MakeFile(root_ + "huge.tif", 3000000000LL, UtcTime(2015, 3, 7, 6, 5, 9));
    ASSERT_FALSE(HasFatalFailure());

    const Text gbkPath = TextFromUtf8(root_ + gbkName);
    EXPECT_EQ(GetFileFacts(fs_, gbkPath).size, 1234);
    EXPECT_EQ(TextToUtf8(ToText(GetFileTime(fs_, gbkPath))), "2015年3月7日14时5分9秒");

    const Text hugePath = TextFromUtf8(root_ + "huge.tif");
    const FileFacts facts = GetFileFacts(fs_, hugePath);
    EXPECT_TRUE(facts.exists);
    EXPECT_EQ(facts.size, 3000000000LL);
    EXPECT_EQ(TextToUtf8(ToText(facts.time)), "2015年3月7日14时5分9秒");
}

TEST_F(FileInfoOnDisk, FollowsLinksAndNeverOpensAFifo) {
    testing::MakeFile(root_ + "target", 77);
    testing::MakeLink(root_ + "link", "target");
    testing::MakeLink(root_ + "dangling", "nowhere");
    testing::MakeFifo(root_ + "fifo");
    ASSERT_FALSE(HasFatalFailure());

    EXPECT_EQ(GetFileFacts(fs_, TextFromUtf8(root_ + "link")).size, 77);
    EXPECT_EQ(GetFileFacts(fs_, TextFromUtf8(root_ + "link")).type, EntryType::RegularFile);
    EXPECT_EQ(GetFileFacts(fs_, TextFromUtf8(root_ + "dangling")).size, -1);
    EXPECT_EQ(GetFileFacts(fs_, TextFromUtf8(root_ + "dangling")).type, EntryType::Other);
    EXPECT_EQ(GetFileFacts(fs_, TextFromUtf8(root_)).type, EntryType::Directory);
    const FileFacts fifo = GetFileFacts(fs_, TextFromUtf8(root_ + "fifo"));
    EXPECT_TRUE(fifo.exists);
    EXPECT_EQ(fifo.type, EntryType::Other);
    EXPECT_EQ(fifo.size, 0);
    EXPECT_NE(fifo.time, kMissingFileTime);
}

}  // namespace
}  // namespace quillmere
