// The workbook owner's handling of libxlsxwriter's temporary row files:
// rows pass through a buffer of our own, and no file is left open after a
// close or a discard, whatever the worksheets hold.
#include "sheet/xlsx_workbook_file.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_directory.h"
#include "tests/support/workbook_reader.h"

namespace quillmere::sheet {
namespace {

namespace fs = std::filesystem;

int OpenFileCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

class XlsxWorkbookFileTest : public ::testing::Test {
protected:
    std::string OutputPath() const { return (fs::path(directory_.path()) / "out.xlsx").string(); }

    testing::TempDirectory directory_;
};

TEST_F(XlsxWorkbookFileTest, CloseLeavesNoRowFileOpenWhetherTheSheetHoldsRowsOrNot) {
    const int before = OpenFileCount();
    XlsxWorkbookFile file = XlsxWorkbookFile::Start(OutputPath());
    lxw_worksheet* filled = file.AddWorksheet("Sheet1");
    lxw_worksheet* empty = file.AddWorksheet("Sheet2");
    ASSERT_NE(filled, nullptr);
    ASSERT_NE(empty, nullptr);
    ASSERT_EQ(worksheet_write_string(filled, 0, 0, "kept", nullptr), LXW_NO_ERROR);
    EXPECT_GT(OpenFileCount(), before);

    ASSERT_EQ(file.Close(), LXW_NO_ERROR);
    EXPECT_EQ(OpenFileCount(), before);
    const testing::Workbook workbook = testing::ReadWorkbook(OutputPath());
    ASSERT_TRUE(workbook.readable) << workbook.error;
    ASSERT_EQ(workbook.sheets.size(), 2u);
    EXPECT_EQ(workbook.sheets[0].At(1, 1), "kept");
    EXPECT_TRUE(workbook.sheets[1].rows.empty());
}

TEST_F(XlsxWorkbookFileTest, DiscardLeavesNoRowFileOpenAndWritesNothing) {
    const int before = OpenFileCount();
    XlsxWorkbookFile file = XlsxWorkbookFile::Start(OutputPath());
    lxw_worksheet* worksheet = file.AddWorksheet("Sheet1");
    ASSERT_NE(worksheet, nullptr);
    for (lxw_row_t row = 0; row < 100; ++row) {
        ASSERT_EQ(worksheet_write_string(worksheet, row, 0, "dropped", nullptr), LXW_NO_ERROR);
    }

    file.Discard();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(OpenFileCount(), before);
    EXPECT_FALSE(fs::exists(OutputPath()));
}

TEST_F(XlsxWorkbookFileTest, RowsFarBeyondOneBufferArriveWhole) {
    constexpr lxw_row_t kRows = 20000;  // several megabytes of sheet XML
    XlsxWorkbookFile file = XlsxWorkbookFile::Start(OutputPath());
    lxw_worksheet* worksheet = file.AddWorksheet("Sheet1");
    ASSERT_NE(worksheet, nullptr);
    for (lxw_row_t row = 0; row < kRows; ++row) {
        const std::string value = "row " + std::to_string(row + 1);
        for (lxw_col_t column = 0; column < 14; ++column) {
            ASSERT_EQ(worksheet_write_string(worksheet, row, column, value.c_str(), nullptr), LXW_NO_ERROR);
        }
    }
    ASSERT_EQ(file.Close(), LXW_NO_ERROR);

    const testing::Workbook workbook = testing::ReadWorkbook(OutputPath());
    ASSERT_TRUE(workbook.readable) << workbook.error;
    ASSERT_EQ(workbook.sheets.size(), 1u);
    ASSERT_EQ(workbook.sheets[0].rows.size(), kRows);
    EXPECT_EQ(workbook.sheets[0].At(1, 1), "row 1");
    EXPECT_EQ(workbook.sheets[0].At(kRows / 2, 7), "row " + std::to_string(kRows / 2));
    EXPECT_EQ(workbook.sheets[0].At(kRows, 14), "row " + std::to_string(kRows));
}

}  // namespace
}  // namespace quillmere::sheet
