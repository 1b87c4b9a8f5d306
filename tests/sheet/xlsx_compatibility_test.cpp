// Our streamed workbook against libxlsxwriter's for the same rows: every
// part the same XML (compare_xlsx_xml.py lists the allowed differences),
// and the same values in every cell through openpyxl, LibreOffice and
// Gnumeric.
#include <xlsxwriter.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/text_encoding.h"
#include "runtime/display_width.h"
#include "sheet/xlsx_parts.h"
#include "sheet/xlsx_row_workbook.h"
#include "tests/sheet/row_workbook_fixtures.h"
#include "tests/support/command_output.h"
#include "tests/support/temp_directory.h"

namespace quillmere::sheet {
namespace {

using fixtures::Texts;
using testing::RunCommand;
using testing::ShellQuoted;

const std::vector<std::string> kHeader = {"档号", "文件名", "大小"};
constexpr std::int64_t kRowsPerSheet = 4;  // the header and three rows

std::vector<std::vector<std::string>> Rows() {
    return {
        {"扫描件第一页.jpg", "0007", "=1+1"},
        {std::string("a\x01" "b\x1f" "c"), "l\rm\nn", " leading space"},
        {std::string(32767, 'x'), "", "trailing tab\t"},
        {"_x0041_ stays literal", "&<>\"'", "第二张表"},
        {"12345678901234567890", "1.5E3", "TRUE"},
    };
}

// The workbook the library writes for the same rows, with the look ours has.
void WriteReference(const std::string& path) {
    std::vector<std::size_t> widths;
    for (const std::string& title : kHeader) widths.push_back(DisplayWidth(title));
    for (const auto& row : Rows()) {
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], DisplayWidth(row[column]));
        }
    }
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    ASSERT_NE(workbook, nullptr);
    lxw_format* plain = workbook_add_format(workbook);
    lxw_format* bold = workbook_add_format(workbook);
    format_set_bold(bold);
    const auto rows = Rows();
    std::size_t next = 0;
    for (int sheetNumber = 1; next < rows.size(); ++sheetNumber) {
        lxw_worksheet* sheet = workbook_add_worksheet(workbook, ("Sheet" + std::to_string(sheetNumber)).c_str());
        worksheet_freeze_panes(sheet, 1, 0);
        for (std::size_t column = 0; column < kHeader.size(); ++column) {
            worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(column), kHeader[column].c_str(), bold);
        }
        lxw_row_t row = 1;
        for (; row < kRowsPerSheet && next < rows.size(); ++row, ++next) {
            for (std::size_t column = 0; column < kHeader.size(); ++column) {
                std::string text;
                AppendXlsxLiteralText(text, rows[next][column]);
                if (text.empty()) {
                    worksheet_write_blank(sheet, row, static_cast<lxw_col_t>(column), plain);
                } else {
                    ASSERT_EQ(worksheet_write_string(sheet, row, static_cast<lxw_col_t>(column), text.c_str(), nullptr),
                              LXW_NO_ERROR);
                }
            }
        }
        for (std::size_t column = 0; column < widths.size(); ++column) {
            worksheet_set_column(sheet, static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                                 std::clamp(static_cast<double>(widths[column]) + 5, 8.0, 60.0), nullptr);
        }
        worksheet_autofilter(sheet, 0, 0, row - 1, static_cast<lxw_col_t>(kHeader.size() - 1));
    }
    ASSERT_EQ(workbook_close(workbook), LXW_NO_ERROR);
}

class XlsxCompatibilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ours_ = directory_.path() + "/ours.xlsx";
        reference_ = directory_.path() + "/reference.xlsx";
        CreatedWorkbook created = XlsxRowWorkbook::Create(ours_, fixtures::Layout(kHeader, kRowsPerSheet));
        ASSERT_NE(created.workbook, nullptr) << created.failure.reason;
        for (const auto& row : Rows()) {
            const auto cells = Texts(row);
            ASSERT_FALSE(created.workbook->AppendRow(cells).has_value());
        }
        ASSERT_FALSE(created.workbook->Commit().has_value());
        WriteReference(reference_);
    }

    static std::string Script(const char* name) {
        return "/usr/bin/python3 " + ShellQuoted(std::string(QUILLMERE_SOURCE_DIR) + "/tests/sheet/" + name);
    }

    testing::TempDirectory directory_;
    std::string ours_;
    std::string reference_;
};

TEST_F(XlsxCompatibilityTest, EveryPartHasTheLibrarysElementsAndAttributes) {
    const auto compared = RunCommand(Script("compare_xlsx_xml.py") + " " + ShellQuoted(ours_) + " " +
                                     ShellQuoted(reference_) + " 2>&1");
    EXPECT_TRUE(compared.succeeded) << compared.output;
    EXPECT_EQ(compared.output, "");
}

TEST_F(XlsxCompatibilityTest, SpreadsheetProgramsReadTheSameValuesFromBoth) {
    for (const char* reader : {"openpyxl", "soffice", "ssconvert"}) {
        SCOPED_TRACE(reader);
        const auto mine = RunCommand(Script("read_cells.py") + " " + reader + " " + ShellQuoted(ours_) + " 2>&1");
        const auto theirs =
            RunCommand(Script("read_cells.py") + " " + reader + " " + ShellQuoted(reference_) + " 2>&1");
        ASSERT_TRUE(mine.succeeded) << mine.output;
        ASSERT_TRUE(theirs.succeeded) << theirs.output;
        // Two sheets of a header and up to three rows each.
        EXPECT_EQ(mine.Lines().size(), 7u) << mine.output;
        EXPECT_EQ(mine.output, theirs.output);
    }
}

TEST_F(XlsxCompatibilityTest, OpenpyxlSeesTheTextsExactlyAsGiven) {
    const auto read = RunCommand(Script("read_cells.py") + " openpyxl " + ShellQuoted(ours_) + " 2>&1");
    ASSERT_TRUE(read.succeeded) << read.output;
    const auto lines = read.Lines();
    ASSERT_EQ(lines.size(), 7u) << read.output;
    EXPECT_EQ(lines[0], R"(["Sheet1", "档号", "文件名", "大小"])");
    EXPECT_EQ(lines[1], R"(["Sheet1", "扫描件第一页.jpg", "0007", "=1+1"])");
    EXPECT_EQ(lines[3], R"(["Sheet1", ")" + std::string(32767, 'x') + R"(", "", "trailing tab\t"])");
    EXPECT_EQ(lines[4], R"(["Sheet2", "档号", "文件名", "大小"])");
    // openpyxl leaves the .xlsx character escapes as they stand (LibreOffice
    // decodes them: see below), so a literal "_x0041_" shows escaped here.
    EXPECT_EQ(lines[5], R"(["Sheet2", "_x005F_x0041_ stays literal", "&<>\"'", "第二张表"])");
    EXPECT_EQ(lines[6], R"(["Sheet2", "12345678901234567890", "1.5E3", "TRUE"])");
}

TEST_F(XlsxCompatibilityTest, LibreOfficeSeesTheTextsExactlyAsGiven) {
    const auto read = RunCommand(Script("read_cells.py") + " soffice " + ShellQuoted(ours_) + " 2>&1");
    ASSERT_TRUE(read.succeeded) << read.output;
    const auto lines = read.Lines();
    ASSERT_EQ(lines.size(), 7u) << read.output;
    EXPECT_EQ(lines[1], R"(["Sheet1", "扫描件第一页.jpg", "0007", "=1+1"])");
    EXPECT_EQ(lines[5], R"(["Sheet2", "_x0041_ stays literal", "&<>\"'", "第二张表"])");
    EXPECT_EQ(lines[6], R"(["Sheet2", "12345678901234567890", "1.5E3", "TRUE"])");
}

}  // namespace
}  // namespace quillmere::sheet
