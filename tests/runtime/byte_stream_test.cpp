#include "runtime/byte_stream.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "runtime/memory_file_system.h"
#include "runtime/real_file_system.h"
#include "tests/support/deep_tree.h"
#include "tests/support/temp_directory.h"

namespace quillmere {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string WriteFile(const testing::TempDirectory& dir, const std::string& name, const Bytes& bytes) {
    const std::string path = dir.path() + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// Runs the same checks over a file and a memory buffer holding the same bytes.
class ByteStreamTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        for (std::size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = static_cast<std::uint8_t>(i * 7 + 1);
        if (GetParam()) {
            std::string error;
            file_ = RealFileSystem().OpenRegularFile(WriteFile(dir_, "data.bin", bytes_), error);
            ASSERT_NE(file_, nullptr) << error;
            stream_ = file_.get();
        } else {
            memory_.emplace(bytes_);
            stream_ = &*memory_;
        }
    }

    // Larger than the file stream's buffer, so refills and direct reads happen.
    Bytes bytes_ = Bytes(150000);
    testing::TempDirectory dir_;
    std::unique_ptr<ByteStream> file_;
    std::optional<MemoryStream> memory_;
    ByteStream* stream_ = nullptr;
};

TEST_P(ByteStreamTest, ReadsWholeItemsAndStopsAtTheEnd) {
    EXPECT_EQ(stream_->Size(), 150000);
    std::uint8_t four[4];
    ASSERT_EQ(stream_->Read(four, 2, 2), 2u);
    EXPECT_EQ(four[3], bytes_[3]);
    EXPECT_EQ(stream_->Tell(), 4);

    ASSERT_TRUE(stream_->Seek(-3, SeekOrigin::End));
    std::uint8_t eight[8] = {};
    EXPECT_EQ(stream_->Read(eight, 2, 4), 1u);  // three bytes left: one whole item
    EXPECT_EQ(eight[2], bytes_[149999]);
    EXPECT_TRUE(stream_->Eof());
    EXPECT_EQ(stream_->GetC(), -1);

    ASSERT_TRUE(stream_->Seek(0, SeekOrigin::Begin));
    EXPECT_FALSE(stream_->Eof());
    EXPECT_EQ(stream_->GetC(), bytes_[0]);
}

TEST_P(ByteStreamTest, LargeAndScatteredReadsMatchTheBytes) {
    Bytes all(bytes_.size());
    ASSERT_EQ(stream_->Read(all.data(), 1, all.size()), all.size());
    EXPECT_EQ(all, bytes_);
    EXPECT_FALSE(stream_->Eof());

    for (const std::int64_t at : {140000, 5, 70000, 65535, 65536}) {
        SCOPED_TRACE(at);
        ASSERT_TRUE(stream_->Seek(at, SeekOrigin::Begin));
        std::uint8_t two[2];
        ASSERT_EQ(stream_->Read(two, 1, 2), 2u);
        EXPECT_EQ(two[0], bytes_[static_cast<std::size_t>(at)]);
        EXPECT_EQ(two[1], bytes_[static_cast<std::size_t>(at) + 1]);
        ASSERT_TRUE(stream_->Seek(-1, SeekOrigin::Current));
        EXPECT_EQ(stream_->GetC(), bytes_[static_cast<std::size_t>(at) + 1]);
    }
}

TEST_P(ByteStreamTest, SeekRules) {
    EXPECT_FALSE(stream_->Seek(-1, SeekOrigin::Begin));
    EXPECT_EQ(stream_->Tell(), 0);
    EXPECT_TRUE(stream_->Seek(200000, SeekOrigin::Begin));  // past the end: allowed, reads nothing
    std::uint8_t byte = 0;
    EXPECT_EQ(stream_->Read(&byte, 1, 1), 0u);
    EXPECT_TRUE(stream_->Eof());
    EXPECT_EQ(stream_->GetC(), -1);
    EXPECT_FALSE(stream_->Seek(std::numeric_limits<std::int64_t>::max(), SeekOrigin::Current));
}

TEST_P(ByteStreamTest, OverflowingItemCountReadsNothing) {
    std::uint8_t byte = 0;
    EXPECT_EQ(stream_->Read(&byte, 2, std::numeric_limits<std::size_t>::max()), 0u);
    EXPECT_EQ(stream_->Tell(), 0);
}

INSTANTIATE_TEST_SUITE_P(FileAndMemory, ByteStreamTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "File" : "Memory"; });

TEST(OpenRegularFile, RefusesWhatIsNotARegularFileWithTheReason) {
    testing::TempDirectory dir;
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {dir.path(), "Is a directory"},
        {dir.path() + "/missing", "No such file or directory"},
        {fifo, "not a regular file"},  // and the open did not wait for a writer
        {"/dev/zero", "not a regular file"},
    };
    const RealFileSystem fs;
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        std::string error;
        EXPECT_EQ(fs.OpenRegularFile(path, error), nullptr);
        EXPECT_EQ(error, reason);
    }
}

TEST(OpenRegularFile, EmptyFile) {
    testing::TempDirectory dir;
    std::string error;
    const auto file = RealFileSystem().OpenRegularFile(WriteFile(dir, "empty", {}), error);
    ASSERT_NE(file, nullptr) << error;
    EXPECT_EQ(file->Size(), 0);
    EXPECT_EQ(file->GetC(), -1);
    EXPECT_TRUE(file->Eof());
}

TEST(OpenRegularFile, PathsPastPathMaxAndNamesNotUtf8) {
    testing::TempDirectory dir;
    const testing::DeepTreeCleanup cleanup(dir.path());
    const std::vector<std::string> files = testing::MakeDeepTree(dir.path(), 25, "12345");
    ASSERT_EQ(files.size(), 25u);
    const std::string deepest = dir.path() + "/" + files.back();
    ASSERT_GT(deepest.size(), 4096u);
    const std::string gbkName = WriteFile(dir, "\xB5\xB5\xB0\xB8.jpg", {7, 8});  // GBK bytes, not UTF-8
    const RealFileSystem fs;
    std::string error;
    const auto deep = fs.OpenRegularFile(deepest, error);
    ASSERT_NE(deep, nullptr) << error;
    EXPECT_EQ(deep->Size(), 5);
    EXPECT_EQ(deep->GetC(), '1');
    const auto gbk = fs.OpenRegularFile(gbkName, error);
    ASSERT_NE(gbk, nullptr) << error;
    EXPECT_EQ(gbk->Size(), 2);
}

// The in-memory file system hands out the same kind of stream.
TEST(OpenRegularFile, MemoryFileSystemServesBytesAndZeros) {
    MemoryFileSystem fs;
    fs.AddFileWithBytes("/a/held.bin", {1, 2, 3});
    fs.AddFile("/a/sized.bin", 5);
    fs.AddDirectory("/a/folder");
    fs.AddSpecialFile("/a/fifo");
    std::string error;
    const auto held = fs.OpenRegularFile("/a/held.bin", error);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->Size(), 3);
    std::uint8_t three[3] = {};
    EXPECT_EQ(held->Read(three, 1, 3), 3u);
    EXPECT_EQ(three[2], 3);
    EXPECT_EQ(fs.Status("/a/held.bin").size, 3);

    const auto sized = fs.OpenRegularFile("/a/sized.bin", error);
    ASSERT_NE(sized, nullptr);
    std::uint8_t eight[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(sized->Read(eight, 2, 4), 2u);  // five bytes: two whole items, the fifth byte consumed
    EXPECT_EQ(eight[4], 0);
    EXPECT_EQ(eight[5], 9);
    EXPECT_TRUE(sized->Eof());
    EXPECT_EQ(sized->Tell(), 5);

    EXPECT_EQ(fs.OpenRegularFile("/a/folder", error), nullptr);
    EXPECT_EQ(error, "Is a directory");
    EXPECT_EQ(fs.OpenRegularFile("/a/fifo", error), nullptr);
    EXPECT_EQ(error, "not a regular file");
    EXPECT_EQ(fs.OpenRegularFile("/a/missing", error), nullptr);
    EXPECT_EQ(error, "No such file or directory");
}

}  // namespace
}  // namespace quillmere
