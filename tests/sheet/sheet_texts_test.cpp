// The small texts of the sheet layer, table by table: failure reasons,
// output kinds by extension, display widths.
#include <cerrno>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "runtime/display_width.h"
#include "sheet/failure_reason.h"
#include "sheet/workbook_makers.h"

namespace quillmere::sheet {
namespace {

TEST(FailureReasonTest, CausesAUserCanActOnAreNamedInChinese) {
    const struct {
        int error;
        const char* reason;
    } cases[] = {
        {ENOSPC, "磁盘空间不足"}, {EDQUOT, "磁盘空间不足"}, {EFBIG, "文件过大"},
        {EACCES, "没有写入权限"}, {EPERM, "没有写入权限"},   {EROFS, "文件系统只读"},
        {ENOENT, "文件夹不存在"}, {ENOTDIR, "文件夹不存在"}, {EISDIR, "同名的不是普通文件"},
        {ENAMETOOLONG, "文件名过长"}, {EILSEQ, "文件系统不接受文件名中的字符"},
    };
    for (const auto& c : cases) EXPECT_EQ(FailureReason(c.error), c.reason) << std::strerror(c.error);
}

TEST(FailureReasonTest, OtherErrorsKeepTheSystemsText) {
    for (const int error : {EIO, EMFILE}) EXPECT_EQ(FailureReason(error), std::strerror(error));
}

TEST(OutputKindTest, TheExtensionDecidesInAnyCase) {
    const struct {
        const char* path;
        std::optional<OutputKind> kind;
    } cases[] = {
        {"out.xlsx", OutputKind::kXlsx},
        {"/data/Batch.XLSX", OutputKind::kXlsx},
        {"a.b.XlSx", OutputKind::kXlsx},
        {"out.csv", OutputKind::kCsv},
        {"dir.xlsx/OUT.CSV", OutputKind::kCsv},
        {"out.xls", std::nullopt},
        {"out.txt", std::nullopt},
        {"out", std::nullopt},
        {"out.xlsx.bak", std::nullopt},
        {"outxlsx", std::nullopt},
        {".xlsx", std::nullopt},
        {"dir/.csv", std::nullopt},
        {"dir.csv/", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(OutputKindOf(c.path), c.kind) << c.path;
}

TEST(DisplayWidthTest, WideCharactersCountTwo) {
    const struct {
        const char* text;
        std::size_t width;
    } cases[] = {
        {"", 0},
        {"abc", 3},
        {"档号", 4},
        {"第12页.jpg", 10},
        {"ｆｕｌｌ", 8},         // full-width forms
        {"カナ", 4},
        {"한국", 4},
        {"é", 1},
        {"\xF0\xA0\x80\x80", 2},  // U+20000, CJK extension B
        {"\xFF\xFE", 2},          // stray bytes count one each
        {"\xE6\xA1", 2},          // a cut character: its bytes
    };
    for (const auto& c : cases) EXPECT_EQ(DisplayWidth(c.text), c.width) << c.text;
}

}  // namespace
}  // namespace quillmere::sheet
