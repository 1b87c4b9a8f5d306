#include "image/byte_stream.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <limits>

#include "tests/support/fixture_writers.h"

namespace quillmere::image {
namespace {

using fixtures::Bytes;

// Runs the same checks over a file and a memory buffer holding the same bytes.
class ByteStreamTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        for (std::size_t i = 0; i < bytes_.size(); ++i) bytes_[i] = static_cast<std::uint8_t>(i * 7 + 1);
        if (GetParam()) {
            auto file = FileStream::Open(dir_.Write("data.bin", bytes_));
            ASSERT_TRUE(file.has_value());
            file_.emplace(std::move(*file));
            stream_ = &*file_;
        } else {
            memory_.emplace(bytes_);
            stream_ = &*memory_;
        }
    }

    // Larger than the file stream's buffer, so refills and direct reads happen.
    Bytes bytes_ = Bytes(150000);
    fixtures::TempDir dir_;
    std::optional<FileStream> file_;
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

TEST(FileStreamTest, RefusesWhatIsNotARegularFile) {
    fixtures::TempDir dir;
    EXPECT_FALSE(FileStream::Open(dir.path()).has_value());
    EXPECT_FALSE(FileStream::Open(dir.path() + "/missing").has_value());
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(FileStream::Open(fifo).has_value());
    EXPECT_FALSE(FileStream::Open("/dev/zero").has_value());
}

TEST(FileStreamTest, EmptyFile) {
    fixtures::TempDir dir;
    auto file = FileStream::Open(dir.Write("empty", {}));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->Size(), 0);
    EXPECT_EQ(file->GetC(), -1);
    EXPECT_TRUE(file->Eof());
}

}  // namespace
}  // namespace quillmere::image
