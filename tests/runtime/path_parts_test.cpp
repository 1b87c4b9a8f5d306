// A path split into its folder and file name.
#include "runtime/path_parts.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(PathParts, SplitAtTheLastSlash) {
    struct Case {
        const char* path;
        const char* name;
        const char* prefix;
        const char* folder;
    };
    for (const Case& c : {Case{"out.xlsx", "out.xlsx", "", "."}, Case{"/out.xlsx", "out.xlsx", "/", "/"},
                          Case{"/data/扫描/out.xlsx", "out.xlsx", "/data/扫描/", "/data/扫描"},
                          Case{"batch/.hidden", ".hidden", "batch/", "batch"}, Case{"batch/", "", "batch/", "batch"},
                          Case{"", "", "", "."}}) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(FileNameOf(c.path), c.name);
        EXPECT_EQ(FolderPrefixOf(c.path), c.prefix);
        EXPECT_EQ(FolderOf(c.path), c.folder);
    }
}

}  // namespace
}  // namespace quillmere
