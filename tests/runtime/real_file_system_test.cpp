#include "runtime/real_file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/deep_tree.h"
#include "tests/support/open_watch.h"
#include "tests/support/temp_directory.h"

namespace quillmere {
namespace {

class RealFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(temp_.path().empty());
        root_ = temp_.path() + "/";
    }

    testing::TempDirectory temp_;
    std::string root_;
    RealFileSystem fs_;
};

std::vector<std::string> NamesOf(const std::vector<DirectoryEntry>& entries) {
    std::vector<std::string> names;
    for (const DirectoryEntry& entry : entries) names.push_back(entry.name);
    return names;
}

TEST_F(RealFileSystemTest, ListsNamesInUpperCasedByteOrder) {
    for (const char* name : {"b.jpg", "A.jpg", "a.jpg", "_x", "0010.tif", "0002.tif", "Z", "中.jpg", "\xD6\xD0"}) {
        testing::MakeFile(root_ + name);
    }
    const DirectoryListing listing = fs_.ListDirectory(root_);
    ASSERT_TRUE(listing.complete()) << listing.failure;
    const auto* entries = &listing.entries;
    // '_' (0x5F) sorts after 'Z'; equal names after upper-casing fall back to the raw bytes.
    EXPECT_EQ(NamesOf(*entries), (std::vector<std::string>{"0002.tif", "0010.tif", "A.jpg", "a.jpg", "b.jpg", "Z",
                                                           "_x", "\xD6\xD0", "中.jpg"}));
}

TEST_F(RealFileSystemTest, TypesFollowLinks) {
    testing::MakeDirectory(root_ + "dir");
    testing::MakeFile(root_ + "file");
    testing::MakeFifo(root_ + "fifo");
    testing::MakeLink(root_ + "to-dir", "dir");
    testing::MakeLink(root_ + "to-file", "file");
    testing::MakeLink(root_ + "dangling", "nowhere");
    testing::MakeLink(root_ + "self", "self");
    const DirectoryListing listing = fs_.ListDirectory(root_);
    ASSERT_TRUE(listing.complete()) << listing.failure;
    const auto* entries = &listing.entries;
    const std::vector<std::pair<std::string, EntryType>> expected{
        {"dangling", EntryType::Other},     {"dir", EntryType::Directory},        {"fifo", EntryType::Other},
        {"file", EntryType::RegularFile},   {"self", EntryType::Other},           {"to-dir", EntryType::Directory},
        {"to-file", EntryType::RegularFile},
    };
    ASSERT_EQ(entries->size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((*entries)[i].name, expected[i].first);
        EXPECT_EQ((*entries)[i].type, expected[i].second) << expected[i].first;
    }
}

TEST_F(RealFileSystemTest, ListingSomethingThatIsNoDirectoryFailsWithTheReason) {
    testing::MakeFile(root_ + "file");
    const DirectoryListing missing = fs_.ListDirectory(root_ + "missing");
    EXPECT_FALSE(missing.opened);
    EXPECT_FALSE(missing.complete());
    EXPECT_EQ(missing.failure, "No such file or directory");
    const DirectoryListing file = fs_.ListDirectory(root_ + "file");
    EXPECT_FALSE(file.opened);
    EXPECT_EQ(file.failure, "Not a directory");
    const DirectoryListing one = fs_.ListDirectory(root_);
    ASSERT_TRUE(one.complete());
    EXPECT_EQ(one.entries.size(), 1u);
}

TEST_F(RealFileSystemTest, IdentifiesADirectoryThroughEveryPathToIt) {
    testing::MakeDirectory(root_ + "dir");
    testing::MakeDirectory(root_ + "other");
    testing::MakeFile(root_ + "file");
    testing::MakeLink(root_ + "alias", "dir");
    const auto dir = fs_.IdentifyDirectory(root_ + "dir");
    ASSERT_TRUE(dir.has_value());
    EXPECT_EQ(fs_.IdentifyDirectory(root_ + "alias/"), dir);
    EXPECT_EQ(fs_.IdentifyDirectory(root_ + "dir/../dir/"), dir);
    EXPECT_NE(fs_.IdentifyDirectory(root_ + "other"), dir);
    EXPECT_FALSE(fs_.IdentifyDirectory(root_ + "file").has_value());
    EXPECT_FALSE(fs_.IdentifyDirectory(root_ + "missing").has_value());
}

TEST_F(RealFileSystemTest, StatusReportsSizeAndTime) {
    testing::MakeFile(root_ + "plain", 1234, 1425708309);
    testing::MakeFifo(root_ + "fifo");

    const FileStatus plain = fs_.Status(root_ + "plain");
    EXPECT_TRUE(plain.exists);
    EXPECT_EQ(plain.type, EntryType::RegularFile);
    EXPECT_EQ(plain.size, 1234);
    EXPECT_EQ(plain.lastWriteTime, 1425708309);
    // A FIFO is reported without being opened (opening one would block).
    const FileStatus fifo = fs_.Status(root_ + "fifo");
    EXPECT_TRUE(fifo.exists);
    EXPECT_EQ(fifo.type, EntryType::Other);
    EXPECT_FALSE(fs_.Status(root_ + "missing").exists);
}

// Archives copied from systems with long-path support can be deeper than
// one system call takes; their entries are still listed and looked up.
TEST_F(RealFileSystemTest, ReachesEntriesBelowPathsLongerThanPathMax) {
    const testing::DeepTreeCleanup cleanup(root_);
    const std::vector<std::string> files = testing::MakeDeepTree(root_, 30, "12345");
    ASSERT_EQ(files.size(), 30u);
    const std::string deepFile = root_ + files.back();
    const std::string deepFolder = deepFile.substr(0, deepFile.rfind('/') + 1);
    ASSERT_GT(deepFolder.size(), 6000u);

    const DirectoryListing listing = fs_.ListDirectory(deepFolder);
    ASSERT_TRUE(listing.complete()) << listing.failure;
    const auto* entries = &listing.entries;
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ((*entries)[0].name, "f29.jpg");
    EXPECT_EQ((*entries)[0].type, EntryType::RegularFile);

    const FileStatus status = fs_.Status(deepFile);
    EXPECT_TRUE(status.exists);
    EXPECT_EQ(status.type, EntryType::RegularFile);
    EXPECT_EQ(status.size, 5);
    EXPECT_FALSE(fs_.Status(deepFolder + "missing.jpg").exists);

    const auto identity = fs_.IdentifyDirectory(deepFolder);
    ASSERT_TRUE(identity.has_value());
    const std::string parentOfDeep = deepFolder.substr(0, deepFolder.rfind('/', deepFolder.size() - 2) + 1);
    EXPECT_EQ(fs_.IdentifyDirectory(deepFolder + "../" + testing::DeepFolderName(29)), identity);
    EXPECT_NE(fs_.IdentifyDirectory(parentOfDeep), identity);
    EXPECT_FALSE(fs_.IdentifyDirectory(deepFile).has_value());
}

// An entry reached by name in an open directory reads exactly as the same
// entry reached by its whole path, whatever it is; a directory that cannot
// be opened falls back on the whole path.
TEST_F(RealFileSystemTest, EntriesOfAnOpenDirectoryReadAsTheirPaths) {
    const std::string folder = root_ + "scan/";
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    std::ofstream(folder + "page.jpg") << "twelve bytes";
    ASSERT_EQ(mkfifo((folder + "pipe").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((folder + "sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("page.jpg", (folder + "link.jpg").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (folder + "dangling.jpg").c_str()), 0);
    const testing::OpenWatch pipeWatch(folder + "pipe");
    ASSERT_TRUE(pipeWatch.watching());

    for (const std::string& directoryPath : {folder, root_ + "gone/"}) {
        SCOPED_TRACE(directoryPath);
        const DirectoryHandle directory = fs_.OpenDirectory(directoryPath);
        EXPECT_EQ(directory.path, directoryPath);
        EXPECT_EQ(directory.descriptor.valid(), directoryPath == folder);
        for (const char* name : {"page.jpg", "pipe", "sub", "link.jpg", "dangling.jpg", "missing.jpg"}) {
            SCOPED_TRACE(name);
            const FileStatus byName = fs_.StatusIn(directory, name);
            const FileStatus byPath = fs_.Status(directoryPath + name);
            EXPECT_EQ(byName.exists, byPath.exists);
            EXPECT_EQ(byName.type, byPath.type);
            EXPECT_EQ(byName.size, byPath.size);
            EXPECT_EQ(byName.lastWriteTime, byPath.lastWriteTime);
            if (std::string(name) == "pipe") continue;  // opening it is the caller's choice, and it makes none
            std::string nameError;
            std::string pathError;
            const auto openedByName = fs_.OpenRegularFileIn(directory, name, nameError);
            const auto openedByPath = fs_.OpenRegularFile(directoryPath + name, pathError);
            ASSERT_EQ(openedByName != nullptr, openedByPath != nullptr);
            EXPECT_EQ(nameError, pathError);
            if (openedByName) {
                EXPECT_EQ(openedByName->Size(), openedByPath->Size());
            }
        }
    }
    EXPECT_TRUE(fs_.Status(folder + "page.jpg").exists);
    EXPECT_EQ(fs_.Status(folder + "page.jpg").size, 12);
    EXPECT_FALSE(pipeWatch.SawOpen()) << "a status lookup opened the FIFO";

    // Beyond PATH_MAX the directory is opened a piece at a time, as paths are.
    const testing::DeepTreeCleanup cleanup(root_);
    const std::vector<std::string> files = testing::MakeDeepTree(root_, 30, "12345");
    const std::string deepFile = root_ + files.back();
    const DirectoryHandle deep = fs_.OpenDirectory(deepFile.substr(0, deepFile.rfind('/') + 1));
    EXPECT_TRUE(deep.descriptor.valid());
    EXPECT_EQ(fs_.StatusIn(deep, "f29.jpg").size, 5);
    std::string error;
    const auto deepStream = fs_.OpenRegularFileIn(deep, "f29.jpg", error);
    ASSERT_NE(deepStream, nullptr) << error;
    EXPECT_EQ(deepStream->Size(), 5);
}

TEST(SortInNameOrder, AgreesWithNameOrderLess) {
    std::vector<DirectoryEntry> entries;
    for (const char* name : {"b", "B", "a", "_", "Z", "ab", "AB", "aB", "Ab", "a1", "", "\xFF", "z\x80"}) {
        entries.push_back(DirectoryEntry{name, EntryType::RegularFile});
    }
    std::vector<DirectoryEntry> expected = entries;
    std::sort(expected.begin(), expected.end(),
              [](const DirectoryEntry& a, const DirectoryEntry& b) { return NameOrderLess(a.name, b.name); });
    SortInNameOrder(entries);
    EXPECT_EQ(NamesOf(entries), NamesOf(expected));
    EXPECT_EQ(NamesOf(entries), (std::vector<std::string>{"", "a", "a1", "AB", "Ab", "aB", "ab", "B", "b", "Z",
                                                          "z\x80", "_", "\xFF"}));
}

TEST(NameOrderLess, ComparesUpperCasedBytesThenRawBytes) {
    EXPECT_TRUE(NameOrderLess("a", "B"));
    EXPECT_TRUE(NameOrderLess("A", "a"));
    EXPECT_FALSE(NameOrderLess("a", "A"));
    EXPECT_FALSE(NameOrderLess("a", "a"));
    EXPECT_TRUE(NameOrderLess("Z", "_"));
    EXPECT_TRUE(NameOrderLess("ab", "abc"));
    EXPECT_TRUE(NameOrderLess("0002", "0010"));
    EXPECT_TRUE(NameOrderLess("z", "\x80"));  // high bytes after ASCII, unsigned
}

}  // namespace
}  // namespace quillmere
