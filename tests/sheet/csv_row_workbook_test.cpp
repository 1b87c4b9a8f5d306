// The CSV the extractor writes: what Python's csv module reads back equals
// the rows, the bytes follow RFC 4180 with a BOM and CRLF, and the save is
// as safe as the workbook's.
#include "sheet/csv_row_workbook.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sheet/workbook_makers.h"
#include "tests/sheet/row_workbook_fixtures.h"
#include "tests/support/command_output.h"
#include "tests/support/temp_directory.h"
#include "tests/support/workbook_reader.h"

namespace quillmere::sheet {
namespace {

using fixtures::FileBytes;
using fixtures::FolderListing;
using fixtures::Layout;
using fixtures::Texts;

// The records as Python's csv module reads the file.
std::vector<std::vector<std::string>> ReadCsv(const std::string& path) {
    const auto dump = testing::RunCommand("/usr/bin/python3 " QUILLMERE_SOURCE_DIR "/tests/sheet/dump_csv.py " +
                                          testing::ShellQuoted(path));
    EXPECT_TRUE(dump.succeeded) << dump.output;
    std::vector<std::vector<std::string>> records;
    for (const std::string& line : dump.Lines()) {
        std::vector<std::string> fields;
        std::size_t at = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', at);
            const std::string hex = line.substr(at, tab == std::string::npos ? std::string::npos : tab - at);
            fields.push_back(hex == "-" ? "" : testing::FromHex(hex));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        records.push_back(std::move(fields));
    }
    return records;
}

const std::vector<std::string> kHeader = {"档号", "文件名", "备注"};
const std::vector<std::vector<std::string>> kRows = {
    {"0001", "a,b.jpg", "say \"hi\""},
    {"", "line\r\nbreak", "lone\rcr and lone\nlf"},
    {"中文档号", "\"", ","},
    {"=1+1", "  spaced  ", "000123"},
};

class CsvRowWorkbookTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return directory_.path() + "/" + name; }

    void WriteRows(const std::string& path) {
        CreatedWorkbook created = CreateRowWorkbook(path, Layout(kHeader));
        ASSERT_NE(created.workbook, nullptr) << created.failure.reason;
        for (const auto& row : kRows) {
            const std::vector<Text> cells = Texts(row);
            ASSERT_FALSE(created.workbook->AppendRow(cells).has_value());
        }
        const auto failure = created.workbook->Commit();
        ASSERT_FALSE(failure.has_value()) << failure->reason;
    }

    testing::TempDirectory directory_;
};

TEST_F(CsvRowWorkbookTest, PythonReadsBackTheHeaderAndEveryRowExactly) {
    WriteRows(PathOf("out.csv"));
    const auto records = ReadCsv(PathOf("out.csv"));
    ASSERT_EQ(records.size(), kRows.size() + 1);
    EXPECT_EQ(records[0], kHeader);
    for (std::size_t row = 0; row < kRows.size(); ++row) EXPECT_EQ(records[row + 1], kRows[row]) << "row " << row + 1;
}

TEST_F(CsvRowWorkbookTest, BytesStartWithTheByteOrderMarkAndEndEveryRecordWithCrLf) {
    WriteRows(PathOf("out.csv"));
    const std::string bytes = FileBytes(PathOf("out.csv"));
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.substr(3, bytes.find('\n') + 1 - 3), "档号,文件名,备注\r\n");
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    // Outside quoted fields every line feed follows a carriage return.
    bool quoted = false;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (bytes[at] == '"') quoted = !quoted;
        if (!quoted && bytes[at] == '\n') {
            EXPECT_EQ(bytes[at - 1], '\r') << "at byte " << at;
        }
    }
    EXPECT_FALSE(quoted);
    EXPECT_NE(bytes.find("\"a,b.jpg\",\"say \"\"hi\"\"\""), std::string::npos);
    EXPECT_NE(bytes.find("\r\n,\"line\r\nbreak\","), std::string::npos);
    EXPECT_NE(bytes.find("\r\n=1+1,  spaced  ,000123\r\n"), std::string::npos);
}

TEST_F(CsvRowWorkbookTest, TheCsvHoldsTheSameRowsAsTheWorkbook) {
    WriteRows(PathOf("out.csv"));
    WriteRows(PathOf("out.xlsx"));
    const auto records = ReadCsv(PathOf("out.csv"));
    const testing::Workbook workbook = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(workbook.readable) << workbook.error;
    ASSERT_EQ(records.size(), workbook.sheets[0].rows.size());
    for (std::size_t row = 0; row < records.size(); ++row) {
        for (std::size_t column = 0; column < kHeader.size(); ++column) {
            const std::string cell = workbook.sheets[0].At(row + 1, column + 1);
            EXPECT_EQ(records[row][column], cell == "<none>" ? "" : fixtures::Shown(cell)) << "row " << row + 1 << " column " << column + 1;
        }
    }
}

TEST_F(CsvRowWorkbookTest, ManyRowsStayInOneFileWithOneHeader) {
    CreatedWorkbook created = CreateRowWorkbook(PathOf("many.CSV"), Layout(kHeader, 3));
    ASSERT_NE(created.workbook, nullptr);
    for (int number = 1; number <= 20000; ++number) {
        const std::vector<Text> cells = Texts({std::to_string(number), "x", "y"});
        ASSERT_FALSE(created.workbook->AppendRow(cells).has_value());
    }
    ASSERT_FALSE(created.workbook->Commit().has_value());
    const auto records = ReadCsv(PathOf("many.CSV"));
    ASSERT_EQ(records.size(), 20001u);
    EXPECT_EQ(records[0], kHeader);
    EXPECT_EQ(records[20000][0], "20000");
}

TEST_F(CsvRowWorkbookTest, DiscardLeavesAnEarlierFileAndNothingElse) {
    fixtures::WriteFileBytes(PathOf("out.csv"), "earlier");
    {
        CreatedWorkbook created = CreateRowWorkbook(PathOf("out.csv"), Layout(kHeader));
        ASSERT_NE(created.workbook, nullptr);
        for (int number = 1; number <= 30000; ++number) {
            const std::vector<Text> cells = Texts({std::to_string(number), "x", "y"});
            ASSERT_FALSE(created.workbook->AppendRow(cells).has_value());
        }
        EXPECT_EQ(FileBytes(PathOf("out.csv")), "earlier");
    }
    EXPECT_EQ(FileBytes(PathOf("out.csv")), "earlier");
    EXPECT_EQ(FolderListing(directory_.path()), std::set<std::string>{"out.csv"});
}

TEST_F(CsvRowWorkbookTest, NamedSheetsAndCompanionsAreFilesBesideTheRowsSavedOnlyWithThem) {
    const auto fill = [](RowWorkbook& workbook) {
        for (const auto& row : kRows) ASSERT_FALSE(workbook.AppendRow(Texts(row)).has_value());
        ASSERT_FALSE(workbook.StartSheet("检验结果", Texts({"档号", "实际"})).has_value());
        ASSERT_FALSE(workbook.AppendRow(Texts({"A002", "缺第0002页"})).has_value());
        EXPECT_TRUE(workbook.AppendRow(Texts(kRows[0])).has_value()) << "the named sheet has two columns";
        ASSERT_FALSE(workbook.StartSheet("检验汇总", Texts({"结论"})).has_value());
        ASSERT_FALSE(workbook.AppendRow(Texts({"不合格"})).has_value());
        ASSERT_FALSE(workbook.AddCompanionFile(".sha256", "digests\n").has_value());
    };
    {
        CreatedWorkbook discarded = CreateRowWorkbook(PathOf("out.csv"), Layout(kHeader));
        ASSERT_NE(discarded.workbook, nullptr);
        fill(*discarded.workbook);
    }
    EXPECT_EQ(FolderListing(directory_.path()), std::set<std::string>{}) << "a discarded run leaves nothing";

    CreatedWorkbook created = CreateRowWorkbook(PathOf("out.csv"), Layout(kHeader));
    ASSERT_NE(created.workbook, nullptr);
    fill(*created.workbook);
    const auto failure = created.workbook->Commit();
    ASSERT_FALSE(failure.has_value()) << failure->reason;
    EXPECT_EQ(FolderListing(directory_.path()),
              (std::set<std::string>{"out.csv", "out-检验结果.csv", "out-检验汇总.csv", "out.sha256"}));
    EXPECT_EQ(ReadCsv(PathOf("out.csv")).size(), kRows.size() + 1);
    EXPECT_EQ(ReadCsv(PathOf("out-检验结果.csv")),
              (std::vector<std::vector<std::string>>{{"档号", "实际"}, {"A002", "缺第0002页"}}));
    EXPECT_EQ(FileBytes(PathOf("out-检验汇总.csv")), "\xEF\xBB\xBF结论\r\n不合格\r\n");
    EXPECT_EQ(FileBytes(PathOf("out.sha256")), "digests\n");
}

TEST(CsvFieldTest, QuotesOnlyWhatMustBeQuoted) {
    const struct {
        const char* text;
        const char* field;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"cr\r", "\"cr\r\""},
        {"lf\n", "\"lf\n\""},
        {"\"", "\"\"\"\""},
        {" space ", " space "},
        {"中文", "中文"},
    };
    for (const auto& c : cases) {
        std::string out = "<";
        AppendCsvField(out, c.text);
        EXPECT_EQ(out, std::string("<") + c.field) << c.text;
    }
}

}  // namespace
}  // namespace quillmere::sheet
