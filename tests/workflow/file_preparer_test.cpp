// The preparer hands files over in entry order whatever its pool, and its
// pool grows only while the files come slowly.
#include "workflow/file_preparer.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/memory_file_system.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "tests/support/counting_file_system.h"
#include "tests/support/jpeg_fixture.h"
#include "tests/support/temp_tree.h"

namespace quillmere::workflow {
namespace {

// A share where every status lookup waits, as behind a slow network.
class SlowFileSystem final : public FileSystem {
public:
    explicit SlowFileSystem(const FileSystem& inner) : inner_(inner) {}

    DirectoryListing ListDirectory(const std::string& path) const override {
        return inner_.ListDirectory(path);
    }
    std::optional<DirectoryIdentity> IdentifyDirectory(const std::string& path) const override {
        return inner_.IdentifyDirectory(path);
    }
    FileStatus Status(const std::string& path) const override {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        return inner_.Status(path);
    }
    std::unique_ptr<ByteStream> OpenRegularFile(const std::string& path, std::string& error) const override {
        return inner_.OpenRegularFile(path, error);
    }

private:
    const FileSystem& inner_;
};

class FilePreparerTest : public ::testing::Test {
protected:
    // count files, file i holding i + 1 bytes.
    void MakeFiles(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string name = "f" + std::to_string(i) + ".txt";
            tree.File(name, std::string(static_cast<std::size_t>(i + 1), 'x'));
            paths.push_back(Text(tree.Path(name)));
        }
        for (const Text& path : paths) files.push_back(&path);
    }

    // Takes every file and checks that each arrived in its place.
    void TakeAllInOrder(FilePreparer& preparer) {
        for (std::size_t i = 0; i < files.size(); ++i) {
            const PreparedFile prepared = preparer.TakeNext();
            ASSERT_TRUE(prepared.facts.exists) << i;
            ASSERT_EQ(prepared.facts.size, static_cast<std::int64_t>(i + 1)) << "file " << i << " out of order";
            ASSERT_TRUE(prepared.probe.pathAccepted) << i;
            ASSERT_FALSE(prepared.probe.decoded) << i;
        }
    }

    testing::TempTree tree;
    std::vector<Text> paths;
    std::vector<const Text*> files;
    RealFileSystem disk;
};

TEST_F(FilePreparerTest, EveryPoolHandsFilesOverInEntryOrder) {
    MakeFiles(300);
    for (const PreparePool pool : {PreparePool{0, 0}, PreparePool{1, 1}, PreparePool{3, 3}, PreparePool{2, 16}}) {
        FilePreparer preparer(disk, files, pool);
        TakeAllInOrder(preparer);
    }
}

TEST_F(FilePreparerTest, PoolGrowsToItsMostWhileFilesComeSlowly) {
    MakeFiles(200);
    const SlowFileSystem share(disk);
    FilePreparer preparer(share, files, PreparePool{1, 8});
    EXPECT_EQ(preparer.WorkerCount(), 1u);
    TakeAllInOrder(preparer);
    EXPECT_EQ(preparer.WorkerCount(), 8u);
}

TEST_F(FilePreparerTest, FixedPoolKeepsItsSizeOnASlowShare) {
    MakeFiles(60);
    const SlowFileSystem share(disk);
    FilePreparer preparer(share, files, FixedPreparePool(2));
    TakeAllInOrder(preparer);
    EXPECT_EQ(preparer.WorkerCount(), 2u);
}

TEST_F(FilePreparerTest, PoolNeverOutnumbersTheFiles) {
    MakeFiles(3);
    const FilePreparer fixed(disk, files, FixedPreparePool(8));
    EXPECT_EQ(fixed.WorkerCount(), 3u);
    const PreparePool automatic = DefaultPreparePool();
    EXPECT_GE(automatic.first, 2);
    EXPECT_LE(automatic.first, automatic.most);
}

}  // namespace
}  // namespace quillmere::workflow

namespace quillmere::workflow {
namespace {

TEST(PrepareFile, CarriesWhyAFileWasNotRead) {
    MemoryFileSystem fs;
    const std::string text = "not an image";
    fs.AddFileWithBytes("/scan/notes.txt", std::vector<unsigned char>(text.begin(), text.end()));
    fs.AddSpecialFile("/scan/pipe");
    fs.AddFileWithBytes("/scan/tiny.gif", {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0, 0, 0, ',', 0, 0, 0, 0, 2,
                                           0, 1, 0, 0, 2, 2, 0x44, 1, 0, ';'});
    const std::pair<const char*, std::string> cases[] = {
        {"/scan/notes.txt", "未知或错误的图像格式"},
        {"/scan/pipe", "not a regular file"},
        {"/scan/gone.jpg", "No such file or directory"},
        {"/scan/tiny.gif", ""},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        const PreparedFile prepared = PrepareFile(fs, Text(path));
        EXPECT_EQ(prepared.probe.decoded, reason.empty());
        EXPECT_EQ(prepared.probe.notReadReason, TextFromUtf8(reason));
    }
}

// Files are looked up by name in their directory, which is opened once for
// each run of files in it, and read exactly as they do by their paths.
TEST(PrepareFile, OpensEachDirectoryOnceForTheFilesInIt) {
    testing::TempTree tree;
    const std::string jpeg = testing::MakeJpeg({.width = 37, .height = 23, .components = 3});
    std::vector<Text> paths;
    for (const char* name : {"a/1.jpg", "a/2.txt", "a/3.jpg", "b/1.jpg", "b/2.jpg", "a/4.jpg"}) {
        tree.File(name, std::string(name).ends_with(".jpg") ? jpeg : std::string("notes"));
        paths.push_back(Text(tree.Path(name)));
    }
    paths.push_back(Text(tree.Path("b/missing.jpg")));
    const RealFileSystem disk;
    const testing::CountingFileSystem counting(disk);
    DirectoryHandle directory;
    for (const Text& path : paths) {
        SCOPED_TRACE(path.bytes());
        const PreparedFile byName = PrepareFile(counting, path, directory);
        const FileFacts byPath = GetFileFacts(disk, path);
        EXPECT_EQ(byName.facts.exists, byPath.exists);
        EXPECT_EQ(byName.facts.size, byPath.size);
        EXPECT_EQ(byName.facts.time, byPath.time);
        const bool isJpeg = path.bytes().ends_with(".jpg") && !path.bytes().ends_with("missing.jpg");
        EXPECT_EQ(byName.probe.decoded, isJpeg);
        EXPECT_EQ(byName.probe.width, isJpeg ? 37 : 0);
    }
    EXPECT_EQ(PrepareFile(disk, paths.back()).probe.notReadReason, Text("No such file or directory"));
    // a, b, a again, b again: four runs.
    EXPECT_EQ(counting.directoryOpens(), 4);
    EXPECT_EQ(counting.statuses(), 7);
    EXPECT_EQ(counting.opens(), 6);
}

}  // namespace
}  // namespace quillmere::workflow
