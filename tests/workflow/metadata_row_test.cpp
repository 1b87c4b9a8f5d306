#include "workflow/metadata_row.h"

#include <gtest/gtest.h>

#include "runtime/text_encoding.h"

namespace quillmere::workflow {
namespace {

struct SplitCase {
    const char* path;
    const char* fileName;
    const char* stem;
    const char* upperExtension;
};

class SplitImagePathTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitImagePathTest, CutsNameStemAndExtension) {
    const SplitCase& c = GetParam();
    const ImagePathParts parts = SplitImagePath(TextFromUtf8(c.path));
    EXPECT_EQ(TextToUtf8(parts.fileName), c.fileName);
    EXPECT_EQ(TextToUtf8(parts.stem), c.stem);
    EXPECT_EQ(TextToUtf8(ToUpper(parts.extension)), c.upperExtension);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, SplitImagePathTest,
    ::testing::Values(SplitCase{"/scan/0001.jpg", "0001.jpg", "0001", "JPG"},
                      SplitCase{"/档案/文书-0001.Jpeg", "文书-0001.Jpeg", "文书-0001", "JPEG"},
                      SplitCase{"/scan/0001.a.tif", "0001.a.tif", "0001.a", "TIF"},
                      SplitCase{"/scan/README", "README", "", "README"},
                      SplitCase{"/a.b/noext", "noext", "", "NOEXT"},
                      SplitCase{"/scan/.jpg", ".jpg", "", "JPG"},
                      SplitCase{"/scan/0001.", "0001.", "0001", ""},
                      SplitCase{"x.jpg", "x.jpg", "x", "JPG"},
                      SplitCase{"/scan/图.档案", "图.档案", "图", "档案"}));

TEST(SplitImagePath, NameThatIsNotUtf8KeepsItsBytes) {
    // GBK bytes for 中文 as a name copied from another system.
    const std::string raw = "/scan/\xD6\xD0\xCE\xC4.tif";
    const ImagePathParts parts = SplitImagePath(TextFromUtf8(raw));
    EXPECT_EQ(TextToNativeName(parts.fileName), "\xD6\xD0\xCE\xC4.tif");
    EXPECT_EQ(TextToNativeName(parts.stem), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(TextToUtf8(parts.stem), "中文");
}

}  // namespace
}  // namespace quillmere::workflow
