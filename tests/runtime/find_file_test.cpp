#include "runtime/find_file.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/memory_file_system.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "tests/support/counting_file_system.h"
#include "tests/support/temp_directory.h"

namespace quillmere {
namespace {

// Every name one search yields, as native bytes, until the empty text.
std::vector<std::string> Drain(const FileSystem& fs, const std::string& pattern, std::optional<int> attributes) {
    FindHandle handle;
    std::vector<std::string> names;
    for (Text name = FindFile(fs, TextFromUtf8(pattern), attributes, handle); !name.empty();
         name = FindFile(fs, Text(), attributes, handle)) {
        names.push_back(TextToNativeName(name));
    }
    EXPECT_FALSE(handle.isOpen()) << "an exhausted enumeration closes itself";
    return names;
}

using Names = std::vector<std::string>;

TEST(FindFile, ListsFilesAndDirectoriesWithTheTwoScanFilters) {
    MemoryFileSystem fs;
    fs.AddFile("/d/a.jpg");
    fs.AddFile("/d/b.jpg");
    fs.AddFile("/d/.c.jpg");
    fs.AddDirectory("/d/sub");
    EXPECT_EQ(Drain(fs, "/d/*", std::nullopt), (Names{".c.jpg", "a.jpg", "b.jpg"}));
    EXPECT_EQ(Drain(fs, "/d/*", 16), (Names{".", "..", "sub"}));
}

struct FilterCase {
    std::optional<int> attributes;
    Names expected;
};

TEST(FindFile, AppliesTheAttributeFilterThroughMask0x37) {
    MemoryFileSystem fs;
    fs.AddDirectory("/d/sub");                           // 16
    fs.AddDirectory("/d/.hid");                          // 16 | 2
    fs.AddFile("/d/f.jpg");                              // 32
    fs.AddFile("/d/ro.jpg", 0, 0, /*readOnly=*/true);    // 32 | 1
    fs.AddFile("/d/.h.jpg");                             // 32 | 2
    fs.AddSpecialFile("/d/fifo");                        // 0
    fs.AddDirectory("/elsewhere");
    fs.AddSymbolicLink("/d/ln", "/elsewhere");           // 16: a link to a directory is one
    const FilterCase cases[] = {
        {std::nullopt, {".h.jpg", "f.jpg", "fifo", "ro.jpg"}},
        {16, {".", "..", ".hid", "ln", "sub"}},
        {16 | 8, {".", "..", ".hid", "ln", "sub"}},  // the volume-label bit is ignored
        {1, {"ro.jpg"}},
        {2, {".", "..", ".h.jpg", ".hid"}},
        {32, {".h.jpg", "f.jpg", "ro.jpg"}},
        {8, {"fifo"}},   // no filter bit left: only entries without attributes
        {64, {"fifo"}},
        {0, {"fifo"}},
        {0x37, {".", "..", ".h.jpg", ".hid", "f.jpg", "ln", "ro.jpg", "sub"}},
        {-1, {".", "..", ".h.jpg", ".hid", "f.jpg", "ln", "ro.jpg", "sub"}},
    };
    for (const FilterCase& c : cases) {
        EXPECT_EQ(Drain(fs, "/d/*", c.attributes), c.expected) << (c.attributes ? *c.attributes : -999);
    }
}

TEST(FindFile, MatchesWildcardsInTheLastComponent) {
    MemoryFileSystem fs;
    for (const char* name : {"a.jpg", "b.JPG", "ab.tif", "中.jpg", "x", "a?b"}) {
        fs.AddFile(std::string("/d/") + name);
    }
    fs.AddDirectory("/d*x");
    fs.AddFile("/d*x/inner.jpg");
    const std::pair<const char*, Names> cases[] = {
        {"/d/*.jpg", {"a.jpg", "中.jpg"}},
        {"/d/?.jpg", {"a.jpg", "中.jpg"}},  // '?' is one character, not one byte
        {"/d/a*", {"a.jpg", "a?b", "ab.tif"}},
        {"/d/*.JPG", {"b.JPG"}},
        {"/d/*b*", {"a?b", "ab.tif", "b.JPG"}},
        {"/d/a.jpg", {"a.jpg"}},            // a plain name names one entry
        {"/d/a?b", {"a?b"}},
        {"/d/nothing*", {}},
        {"/d/nothing", {}},
        {"/d/", {}},
        {"/d*x/*", {"inner.jpg"}},          // wildcards before the last "/" are plain bytes
    };
    for (const auto& [pattern, expected] : cases) {
        EXPECT_EQ(Drain(fs, pattern, std::nullopt), expected) << pattern;
    }
}

TEST(FindFile, PatternWithoutDirectoryListsTheCurrentDirectory) {
    MemoryFileSystem fs;  // its current directory is the root
    fs.AddFile("/top.jpg");
    EXPECT_EQ(Drain(fs, "*", std::nullopt), (Names{"top.jpg"}));
}

TEST(FindFile, MissingOrUnreadableDirectoryEnumeratesNothing) {
    MemoryFileSystem fs;
    fs.AddFile("/locked/secret.jpg");
    fs.MakeUnreadable("/locked");
    fs.AddFile("/plain.jpg");
    for (const char* pattern : {"/missing/*", "/locked/*", "/plain.jpg/*"}) {
        FindHandle handle;
        EXPECT_TRUE(FindFile(fs, Text(pattern), 16, handle).empty()) << pattern;
        EXPECT_FALSE(handle.isOpen()) << pattern;
    }
}

TEST(FindFile, ContinuingWithoutAnEnumerationYieldsNothing) {
    MemoryFileSystem fs;
    FindHandle handle;
    EXPECT_TRUE(FindFile(fs, Text(), std::nullopt, handle).empty());
    EXPECT_FALSE(handle.isOpen());
}

TEST(FindFile, NewSearchReplacesTheOpenOne) {
    MemoryFileSystem fs;
    fs.AddFile("/one/1a");
    fs.AddFile("/one/1b");
    fs.AddFile("/two/2a");
    fs.AddFile("/two/2b");
    FindHandle handle;
    EXPECT_EQ(FindFile(fs, Text("/one/*"), std::nullopt, handle), Text("1a"));
    EXPECT_TRUE(handle.isOpen());
    EXPECT_EQ(FindFile(fs, Text("/two/*"), std::nullopt, handle), Text("2a"));
    EXPECT_EQ(FindFile(fs, Text(), std::nullopt, handle), Text("2b"));
    EXPECT_TRUE(FindFile(fs, Text(), std::nullopt, handle).empty());
    EXPECT_FALSE(handle.isOpen());
}

TEST(FindFile, CloseFindAndMoveLeaveNoEnumerationBehind) {
    MemoryFileSystem fs;
    fs.AddFile("/d/a");
    fs.AddFile("/d/b");
    FindHandle handle;
    ASSERT_EQ(FindFile(fs, Text("/d/*"), std::nullopt, handle), Text("a"));
    FindHandle moved = std::move(handle);
    EXPECT_FALSE(handle.isOpen());
    EXPECT_TRUE(FindFile(fs, Text(), std::nullopt, handle).empty());
    EXPECT_EQ(FindFile(fs, Text(), std::nullopt, moved), Text("b"));

    ASSERT_EQ(FindFile(fs, Text("/d/*"), std::nullopt, moved), Text("a"));
    CloseFind(moved);
    EXPECT_FALSE(moved.isOpen());
    EXPECT_TRUE(FindFile(fs, Text(), std::nullopt, moved).empty());
    CloseFind(moved);  // closing none does nothing
    EXPECT_FALSE(moved.isOpen());
}

TEST(FindFile, NamesThatAreNotUtf8RoundTrip) {
    MemoryFileSystem fs;
    const std::string gbkName = "\xD6\xD0\xCE\xC4.jpg";
    fs.AddFile("/d/" + gbkName);
    fs.AddFile("/d/bad\xFF");
    EXPECT_EQ(Drain(fs, "/d/*", std::nullopt), (Names{"bad\xFF", gbkName}));
    // A pattern spelled in the same raw bytes finds the name; it displays as its characters.
    FindHandle handle;
    const Text found = FindFile(fs, TextFromUtf8("/d/\xD6\xD0*"), std::nullopt, handle);
    EXPECT_EQ(TextToNativeName(found), gbkName);
    EXPECT_EQ(TextToUtf8(found), "中文.jpg");
    // The character itself means its UTF-8 spelling, which is another name.
    EXPECT_TRUE(FindFile(fs, TextFromUtf8("/d/中*"), std::nullopt, handle).empty());
}

TEST(FindFile, ReadsAnUnchangedDirectoryOnceForTwoSearches) {
    MemoryFileSystem memory;
    memory.AddFile("/d/a.jpg");
    memory.AddDirectory("/d/sub");
    testing::CountingFileSystem fs(memory);
    FindHandle handle;
    EXPECT_EQ(FindFile(fs, Text("/d/*"), std::nullopt, handle), Text("a.jpg"));
    EXPECT_TRUE(FindFile(fs, Text(), std::nullopt, handle).empty());
    EXPECT_EQ(FindFile(fs, Text("/d/*"), 16, handle), Text("."));
    EXPECT_EQ(FindFile(fs, Text(), 16, handle), Text(".."));
    EXPECT_EQ(FindFile(fs, Text(), 16, handle), Text("sub"));
    EXPECT_EQ(fs.listings(), 1);
    // Also when the first search was abandoned half-way.
    EXPECT_EQ(FindFile(fs, Text("/d/*"), 16, handle), Text("."));
    EXPECT_EQ(FindFile(fs, Text("/d/*"), std::nullopt, handle), Text("a.jpg"));
    EXPECT_EQ(fs.listings(), 1);
}

TEST(FindFile, ReadsTheDirectoryAgainWhenItChangedOrWasClosed) {
    MemoryFileSystem memory;
    memory.AddFile("/d/a.jpg");
    memory.AddFile("/other/o.jpg");
    testing::CountingFileSystem fs(memory);
    FindHandle handle;
    EXPECT_EQ(FindFile(fs, Text("/d/*"), std::nullopt, handle), Text("a.jpg"));
    EXPECT_TRUE(FindFile(fs, Text(), std::nullopt, handle).empty());
    memory.AddDirectory("/d/new");
    EXPECT_EQ(FindFile(fs, Text("/d/*"), 16, handle), Text("."));
    EXPECT_EQ(FindFile(fs, Text(), 16, handle), Text(".."));
    EXPECT_EQ(FindFile(fs, Text(), 16, handle), Text("new"));
    EXPECT_EQ(fs.listings(), 2);

    CloseFind(handle);
    EXPECT_EQ(FindFile(fs, Text("/d/*"), std::nullopt, handle), Text("a.jpg"));
    EXPECT_EQ(fs.listings(), 3);
    // Another directory in between, then the first again: only the last listing is kept.
    EXPECT_EQ(FindFile(fs, Text("/other/*"), std::nullopt, handle), Text("o.jpg"));
    EXPECT_EQ(FindFile(fs, Text("/d/*"), std::nullopt, handle), Text("a.jpg"));
    EXPECT_EQ(fs.listings(), 5);
}

TEST(FindFileOnDisk, SeesADirectoryMadeBetweenTwoSearches) {
    testing::TempDirectory temp;
    ASSERT_FALSE(temp.path().empty());
    const std::string d = temp.path() + "/";
    testing::MakeFile(d + "a.jpg");
    RealFileSystem fs;
    EXPECT_EQ(Drain(fs, d + "*", std::nullopt), (Names{"a.jpg"}));
    FindHandle handle;
    EXPECT_EQ(FindFile(fs, TextFromUtf8(d + "*"), std::nullopt, handle), Text("a.jpg"));
    EXPECT_TRUE(FindFile(fs, Text(), std::nullopt, handle).empty());
    testing::MakeDirectory(d + "made");
    EXPECT_EQ(FindFile(fs, TextFromUtf8(d + "*"), 16, handle), Text("."));
    EXPECT_EQ(FindFile(fs, Text(), 16, handle), Text(".."));
    EXPECT_EQ(FindFile(fs, Text(), 16, handle), Text("made"));
}

TEST(FindFileOnDisk, ReportsAttributesOfRealEntries) {
    testing::TempDirectory temp;
    ASSERT_FALSE(temp.path().empty());
    const std::string d = temp.path() + "/";
    testing::MakeDirectory(d + "sub");
    testing::MakeDirectory(d + ".hid");
    testing::MakeFile(d + "f.jpg");
    testing::MakeFile(d + "ro.jpg");
    ASSERT_EQ(chmod((d + "ro.jpg").c_str(), 0444), 0);
    testing::MakeFile(d + ".h.jpg");
    testing::MakeFifo(d + "fifo");
    testing::MakeLink(d + "ln", "sub");
    testing::MakeLink(d + "dangling", "nowhere");
    ASSERT_FALSE(::testing::Test::HasFatalFailure());

    RealFileSystem fs;
    EXPECT_EQ(Drain(fs, d + "*", std::nullopt), (Names{".h.jpg", "dangling", "f.jpg", "fifo", "ro.jpg"}));
    EXPECT_EQ(Drain(fs, d + "*", 16), (Names{".", "..", ".hid", "ln", "sub"}));
    EXPECT_EQ(Drain(fs, d + "*", 1), (Names{"ro.jpg"}));
    EXPECT_EQ(Drain(fs, d + "*", 32), (Names{".h.jpg", "f.jpg", "ro.jpg"}));
    EXPECT_EQ(Drain(fs, d + "*", 0), (Names{"dangling", "fifo"}));
    EXPECT_EQ(Drain(fs, d + "sub", 16), (Names{"sub"}));
}

}  // namespace
}  // namespace quillmere
