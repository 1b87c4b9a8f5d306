#include "workflow/scan_image_folder.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/file_info.h"
#include "runtime/memory_file_system.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "runtime/to_text.h"
#include "tests/support/counting_file_system.h"
#include "tests/support/temp_directory.h"

namespace quillmere::workflow {
namespace {

// Builds the same tree in memory or on disk under root(), so every scan
// test runs against both file systems.
class Tree {
public:
    virtual ~Tree() = default;
    virtual const FileSystem& fs() const = 0;
    // Native path of the tree's top, without a trailing "/".
    virtual std::string root() const = 0;
    virtual void Directory(const std::string& relative) = 0;
    virtual void File(const std::string& relative, std::int64_t size = 0, std::time_t lastWriteTime = 0) = 0;
    virtual void Fifo(const std::string& relative) = 0;
    virtual void Link(const std::string& relative, const std::string& target) = 0;
};

class MemoryTree final : public Tree {
public:
    MemoryTree() { fs_.AddDirectory(root()); }
    const FileSystem& fs() const override { return fs_; }
    std::string root() const override { return "/scan"; }
    void Directory(const std::string& relative) override { fs_.AddDirectory(root() + "/" + relative); }
    void File(const std::string& relative, std::int64_t size, std::time_t lastWriteTime) override {
        fs_.AddFile(root() + "/" + relative, size, lastWriteTime);
    }
    void Fifo(const std::string& relative) override { fs_.AddSpecialFile(root() + "/" + relative); }
    void Link(const std::string& relative, const std::string& target) override {
        fs_.AddSymbolicLink(root() + "/" + relative, target);
    }
    MemoryFileSystem& memory() { return fs_; }

private:
    MemoryFileSystem fs_;
};

class DiskTree final : public Tree {
public:
    DiskTree() { testing::MakeDirectory(root()); }
    const FileSystem& fs() const override { return fs_; }
    std::string root() const override { return temp_.path() + "/scan"; }
    void Directory(const std::string& relative) override { testing::MakeDirectory(root() + "/" + relative); }
    void File(const std::string& relative, std::int64_t size, std::time_t lastWriteTime) override {
        testing::MakeFile(root() + "/" + relative, size, lastWriteTime);
    }
    void Fifo(const std::string& relative) override { testing::MakeFifo(root() + "/" + relative); }
    void Link(const std::string& relative, const std::string& target) override {
        testing::MakeLink(root() + "/" + relative, target);
    }

private:
    testing::TempDirectory temp_;
    RealFileSystem fs_;
};

enum class Kind { Memory, Disk };

class ScanImageFolderTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        if (GetParam() == Kind::Memory) tree_ = std::make_unique<MemoryTree>();
        else tree_ = std::make_unique<DiskTree>();
        ASSERT_FALSE(HasFatalFailure());
    }

    // Scans folder (native) and returns the entries as native paths relative
    // to the tree's root, each prefixed by "~/" for the root itself.
    std::vector<std::string> Scan(const std::string& folder) {
        FolderScan scan = ScanImageFolder(tree_->fs(), TextFromUtf8(folder), [this] { ++eventRounds_; });
        const TextArray& entries = scan.entries;
        rawEntries_ = entries;
        unreadFolders_ = scan.unreadFolders;
        std::vector<std::string> relative;
        const std::string root = tree_->root();
        for (const Text& entry : entries) {
            std::string native = TextToNativeName(entry);
            if (native.compare(0, root.size(), root) == 0) native = "~" + native.substr(root.size());
            relative.push_back(native);
        }
        return relative;
    }

    std::unique_ptr<Tree> tree_;
    int eventRounds_ = 0;
    TextArray rawEntries_;
    std::vector<UnreadFolder> unreadFolders_;
};

using Entries = std::vector<std::string>;

TEST_P(ScanImageFolderTest, ListsEachDirectoryThenItsFilesThenItsSubtreesLastFirst) {
    tree_->File("a.jpg");
    tree_->File("b.jpg");
    tree_->Directory("X");
    tree_->File("X/x1.jpg");
    tree_->Directory("Y");
    tree_->File("Y/y1.jpg");
    tree_->Directory("Y/Z");
    tree_->File("Y/Z/z1.jpg");
    ASSERT_FALSE(HasFatalFailure());

    EXPECT_EQ(Scan(tree_->root()), (Entries{"~/", "~/a.jpg", "~/b.jpg", "~/Y/", "~/Y/y1.jpg", "~/Y/Z/",
                                            "~/Y/Z/z1.jpg", "~/X/", "~/X/x1.jpg"}));
    EXPECT_EQ(eventRounds_, 4 + 1) << "once per directory and once at the end";
    EXPECT_TRUE(unreadFolders_.empty());
}

TEST_P(ScanImageFolderTest, TrailingSeparatorMakesNoDifference) {
    tree_->File("a.jpg");
    tree_->Directory("sub");
    tree_->File("sub/b.jpg");
    ASSERT_FALSE(HasFatalFailure());
    const Entries expected{"~/", "~/a.jpg", "~/sub/", "~/sub/b.jpg"};
    EXPECT_EQ(Scan(tree_->root()), expected);
    EXPECT_EQ(Scan(tree_->root() + "/"), expected);
}

TEST_P(ScanImageFolderTest, ListsHiddenEntriesAndFilesOfEveryKind) {
    tree_->File(".hidden.jpg");
    tree_->File("notes.txt");
    tree_->File("0001.jpg");
    tree_->Fifo("pipe");
    tree_->Directory(".git");
    tree_->File(".git/object");
    tree_->Directory("empty");
    ASSERT_FALSE(HasFatalFailure());
    // The FIFO is listed like any file; listing never opens it, or the scan would block here.
    EXPECT_EQ(Scan(tree_->root()), (Entries{"~/", "~/.hidden.jpg", "~/0001.jpg", "~/notes.txt", "~/pipe",
                                            "~/empty/", "~/.git/", "~/.git/object"}));
    for (const std::string& entry : Scan(tree_->root())) {
        EXPECT_EQ(entry.find("/./"), std::string::npos) << entry;
        EXPECT_EQ(entry.find("/../"), std::string::npos) << entry;
    }
}

TEST_P(ScanImageFolderTest, MissingStartFolderYieldsOnlyItsOwnEntry) {
    EXPECT_EQ(Scan(tree_->root() + "/missing"), (Entries{"~/missing/"}));
    EXPECT_EQ(eventRounds_, 2);
    EXPECT_TRUE(unreadFolders_.empty()) << "a folder that is not there has no files to miss";
}

TEST_P(ScanImageFolderTest, ReachesEachDirectoryOnceSoLinkLoopsEnd) {
    tree_->Directory("real");
    tree_->File("real/f.jpg");
    tree_->Link("real/up", "..");         // a loop back to the top
    tree_->Link("alias", "real");         // a second way into real
    tree_->Link("self", "self");          // a link to itself is no directory
    ASSERT_FALSE(HasFatalFailure());
    // Pushed alias then real, so real comes first and alias finds it already listed.
    EXPECT_EQ(Scan(tree_->root()), (Entries{"~/", "~/self", "~/real/", "~/real/f.jpg", "~/real/up/", "~/alias/"}));
}

TEST_P(ScanImageFolderTest, DescendsIntoALinkedDirectoryOutsideTheTree) {
    tree_->Directory("outside");
    tree_->File("outside/o.jpg");
    tree_->Directory("top");
    tree_->Link("top/linked", "../outside");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(Scan(tree_->root() + "/top"), (Entries{"~/top/", "~/top/linked/", "~/top/linked/o.jpg"}));
}

TEST_P(ScanImageFolderTest, NamesThatAreNotUtf8KeepTheirBytesSizeAndTime) {
    testing::TimeZoneOverride zone("CST-8");
    const std::string gbkDirectory = "\xD6\xD0\xCE\xC4";   // 中文 in GBK
    const std::string gbkFile = "\xB1\xED.jpg";             // 表.jpg in GBK
    tree_->Directory(gbkDirectory);
    tree_->File(gbkDirectory + "/" + gbkFile, 4321, testing::UtcTime(2015, 3, 7, 6, 5, 9));
    ASSERT_FALSE(HasFatalFailure());

    EXPECT_EQ(Scan(tree_->root()), (Entries{"~/", "~/" + gbkDirectory + "/", "~/" + gbkDirectory + "/" + gbkFile}));
    const Text& fileEntry = rawEntries_.at(2);
    EXPECT_EQ(TextToUtf8(fileEntry), TextToUtf8(TextFromUtf8(tree_->root())) + "/中文/表.jpg");
    const FileFacts facts = GetFileFacts(tree_->fs(), fileEntry);
    EXPECT_TRUE(facts.exists);
    EXPECT_EQ(facts.size, 4321);
    EXPECT_EQ(TextToUtf8(ToText(facts.time)), "2015年3月7日14时5分9秒");
}

INSTANTIATE_TEST_SUITE_P(BothFileSystems, ScanImageFolderTest, ::testing::Values(Kind::Memory, Kind::Disk),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return info.param == Kind::Memory ? std::string("Memory") : std::string("Disk");
                         });

TEST(ScanImageFolder, EmptyFolderTextStartsAtTheRoot) {
    MemoryFileSystem fs;
    fs.AddFile("/top.jpg");
    fs.AddFile("/dir/inner.jpg");
    for (const char* start : {"", "/"}) {
        const TextArray entries = ScanImageFolder(fs, Text(start), [] {}).entries;
        EXPECT_EQ(entries, (TextArray{Text("/"), Text("/top.jpg"), Text("/dir/"), Text("/dir/inner.jpg")}))
            << "start: '" << start << "'";
    }
}

TEST(ScanImageFolder, UnreadableSubfolderIsListedButNotItsContentsAndNamed) {
    MemoryFileSystem fs;
    fs.AddFile("/scan/a/secret.jpg");
    fs.MakeUnreadable("/scan/a");
    fs.AddFile("/scan/b/open.jpg");
    const FolderScan scan = ScanImageFolder(fs, Text("/scan"), [] {});
    EXPECT_EQ(scan.entries,
              (TextArray{Text("/scan/"), Text("/scan/b/"), Text("/scan/b/open.jpg"), Text("/scan/a/")}));
    ASSERT_EQ(scan.unreadFolders.size(), 1u);
    EXPECT_EQ(scan.unreadFolders[0].folder, Text("/scan/a/"));
    EXPECT_EQ(scan.unreadFolders[0].reason, Text("Permission denied"));
}

TEST(ScanImageFolder, ListingThatBreaksOffKeepsWhatWasReadAndIsNamed) {
    // An I/O error part-way through a folder on a failing share: the entries
    // read before it, files and subfolders, are kept; the folder is named.
    MemoryFileSystem fs;
    fs.AddFile("/scan/a.jpg");
    fs.AddFile("/scan/b.jpg");
    fs.AddFile("/scan/c.jpg");
    fs.AddFile("/scan/d/inner.jpg");
    fs.AddFile("/scan/e/lost.jpg");
    fs.BreakListingAfter("/scan", 2, "Input/output error");
    fs.AddFile("/other/x.jpg");
    fs.BreakListingAfter("/other", 0, "Input/output error");
    const FolderScan scan = ScanImageFolder(fs, Text("/scan"), [] {});
    EXPECT_EQ(scan.entries, (TextArray{Text("/scan/"), Text("/scan/a.jpg"), Text("/scan/b.jpg")}));
    ASSERT_EQ(scan.unreadFolders.size(), 1u);
    EXPECT_EQ(scan.unreadFolders[0].folder, Text("/scan/"));
    EXPECT_EQ(scan.unreadFolders[0].reason, Text("Input/output error"));

    const FolderScan other = ScanImageFolder(fs, Text("/other/"), [] {});
    EXPECT_EQ(other.entries, (TextArray{Text("/other/")}));
    EXPECT_EQ(other.unreadFolders.size(), 1u);
}

TEST(ScanImageFolder, RunsWithoutAnEventHandler) {
    MemoryFileSystem fs;
    fs.AddFile("/scan/a.jpg");
    EXPECT_EQ(ScanImageFolder(fs, Text("/scan"), nullptr).entries, (TextArray{Text("/scan/"), Text("/scan/a.jpg")}));
}

TEST(ScanImageFolder, ReadsEachDirectoryOnce) {
    MemoryFileSystem memory;
    memory.AddFile("/scan/a.jpg");
    memory.AddFile("/scan/X/x1.jpg");
    memory.AddFile("/scan/Y/Z/z1.jpg");
    memory.AddDirectory("/scan/Y/empty");
    testing::CountingFileSystem fs(memory);
    EXPECT_EQ(ScanImageFolder(fs, Text("/scan"), [] {}).entries.size(), 8u);
    EXPECT_EQ(fs.listings(), 5);
}

TEST(ScanImageFolder, ChineseFolderNamesGetExactlyOneSeparator) {
    MemoryFileSystem fs;
    fs.AddFile("/档案/卷一/0001.jpg");
    const TextArray entries = ScanImageFolder(fs, TextFromUtf8("/档案"), [] {}).entries;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(TextToUtf8(entries[0]), "/档案/");
    EXPECT_EQ(TextToUtf8(entries[1]), "/档案/卷一/");
    EXPECT_EQ(TextToUtf8(entries[2]), "/档案/卷一/0001.jpg");
}

}  // namespace
}  // namespace quillmere::workflow
