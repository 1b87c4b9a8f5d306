// The .xlsx workbook a run writes: header and rows as text cells exactly as
// given, a new sheet with its own header when one fills, the look a user
// opens it with, and nothing under its name before the save.
#include "sheet/xlsx_row_workbook.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/text_encoding.h"
#include "sheet/companion_files.h"
#include "runtime/display_width.h"
#include "tests/sheet/row_workbook_fixtures.h"
#include "tests/support/command_output.h"
#include "tests/support/temp_directory.h"
#include "tests/support/workbook_reader.h"

namespace quillmere::sheet {
namespace {

namespace fs = std::filesystem;
using fixtures::FileBytes;
using fixtures::FolderListing;
using fixtures::Layout;
using fixtures::NumberedRow;
using fixtures::Texts;
using fixtures::ThreeTitles;

class XlsxRowWorkbookTest : public ::testing::Test {
protected:
    std::string PathOf(const std::string& name) const { return directory_.path() + "/" + name; }

    std::unique_ptr<RowWorkbook> Create(const std::string& name, const WorkbookLayout& layout) {
        CreatedWorkbook created = XlsxRowWorkbook::Create(PathOf(name), layout);
        EXPECT_NE(created.workbook, nullptr) << created.failure.reason;
        return std::move(created.workbook);
    }

    static void Append(RowWorkbook& workbook, const std::vector<std::string>& row) {
        const std::vector<Text> cells = Texts(row);
        const auto failure = workbook.AppendRow(cells);
        ASSERT_FALSE(failure.has_value()) << failure->reason;
    }

    testing::TempDirectory directory_;
};

TEST_F(XlsxRowWorkbookTest, HeaderAndRowsAreTextCellsExactlyAsGiven) {
    const std::vector<std::string> header = {"档号", "值", "尾"};
    const std::vector<std::vector<std::string>> rows = {
        {"0001", "=1+1", "12345678901234567890"},
        {"", "中文 名称", "_x0041_"},
        {"1.5E3", "TRUE", "a\"b<c>&d"},
        {"2024-01-02", " leading space", "tab\there"},
    };
    auto workbook = Create("out.xlsx", Layout(header));
    ASSERT_NE(workbook, nullptr);
    for (const auto& row : rows) Append(*workbook, row);
    const auto failure = workbook->Commit();
    ASSERT_FALSE(failure.has_value()) << failure->reason;

    const testing::Workbook read = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(read.readable) << read.error;
    ASSERT_EQ(read.sheets.size(), 1u);
    EXPECT_EQ(read.sheets[0].name, "Sheet1");
    ASSERT_EQ(read.sheets[0].rows.size(), rows.size() + 1);
    for (std::size_t column = 0; column < header.size(); ++column) {
        EXPECT_EQ(read.sheets[0].At(1, column + 1), header[column]);
    }
    for (std::size_t row = 0; row < rows.size(); ++row) {
        for (std::size_t column = 0; column < header.size(); ++column) {
            const std::string& expected = rows[row][column];
            SCOPED_TRACE("row " + std::to_string(row + 2) + " column " + std::to_string(column + 1));
            if (expected.empty()) {
                EXPECT_EQ(read.sheets[0].TypeAt(row + 2, column + 1), 'e');
            } else {
                EXPECT_EQ(read.sheets[0].TypeAt(row + 2, column + 1), 's');
                EXPECT_EQ(fixtures::Shown(read.sheets[0].At(row + 2, column + 1)), expected);
            }
        }
    }
}

TEST_F(XlsxRowWorkbookTest, AFullSheetIsFollowedByTheNextWithItsOwnHeader) {
    // Three rows a sheet: the header and two rows.
    auto workbook = Create("out.xlsx", Layout(ThreeTitles(), 3));
    ASSERT_NE(workbook, nullptr);
    for (int number = 1; number <= 5; ++number) Append(*workbook, NumberedRow(number));
    const auto failure = workbook->Commit();
    ASSERT_FALSE(failure.has_value()) << failure->reason;

    const testing::Workbook read = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(read.readable) << read.error;
    ASSERT_EQ(read.sheets.size(), 3u);
    int number = 1;
    for (std::size_t sheet = 0; sheet < 3; ++sheet) {
        SCOPED_TRACE("sheet " + std::to_string(sheet + 1));
        EXPECT_EQ(read.sheets[sheet].name, "Sheet" + std::to_string(sheet + 1));
        EXPECT_EQ(read.sheets[sheet].At(1, 1), "档号");
        EXPECT_EQ(read.sheets[sheet].At(1, 3), "大小");
        const std::size_t dataRows = sheet < 2 ? 2 : 1;
        ASSERT_EQ(read.sheets[sheet].rows.size(), dataRows + 1);
        for (std::size_t row = 2; row <= dataRows + 1; ++row, ++number) {
            EXPECT_EQ(read.sheets[sheet].At(row, 1), "A" + std::to_string(number));
            EXPECT_EQ(read.sheets[sheet].At(row, 3), std::to_string(number));
        }
    }
}

TEST_F(XlsxRowWorkbookTest, ALastRowFarLongerThanUsualIsFoundByTheReadBack) {
    // Markup characters grow several times in the sheet's XML; the last
    // row is then hundreds of kilobytes from its sheet's end.
    const std::string huge(32767, '&');
    const std::string wide(30000, '"');
    auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    Append(*workbook, NumberedRow(1));
    Append(*workbook, {huge, wide, huge});
    const auto failure = workbook->Commit();
    ASSERT_FALSE(failure.has_value()) << failure->reason;
    const testing::Workbook read = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(read.readable) << read.error;
    EXPECT_EQ(read.sheets[0].At(3, 1), huge);
    EXPECT_EQ(read.sheets[0].At(3, 2), wide);
}

TEST_F(XlsxRowWorkbookTest, AWorkbookWithoutRowsHoldsTheHeader) {
    auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    ASSERT_FALSE(workbook->Commit().has_value());
    const testing::Workbook read = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(read.readable) << read.error;
    ASSERT_EQ(read.sheets.size(), 1u);
    ASSERT_EQ(read.sheets[0].rows.size(), 1u);
    EXPECT_EQ(read.sheets[0].At(1, 2), "文件名");
}

TEST_F(XlsxRowWorkbookTest, EverySheetOpensWithBoldHeaderFrozenPanesFilterAndFittingWidths) {
    const std::vector<std::string> header = {"档号", "文件名", "格式", "Size in bytes"};
    auto workbook = Create("out.xlsx", Layout(header, 4));
    ASSERT_NE(workbook, nullptr);
    const std::vector<std::vector<std::string>> rows = {
        {"WS-2024-000001", "扫描件第一卷第一页的文件名.tif", "TIFF", "1"},
        {"WS-2024-000002", "b.jpg", "JPEG", "123456789"},
        {"WS-2024-000003", "c.png", "PNG", "2"},
        {"WS-2024-000004", "d.png", "PNG", "3"},
    };
    for (const auto& row : rows) Append(*workbook, row);
    ASSERT_FALSE(workbook->Commit().has_value());

    const auto look = testing::RunCommand("/usr/bin/python3 " QUILLMERE_SOURCE_DIR "/tests/sheet/workbook_look.py " +
                                          testing::ShellQuoted(PathOf("out.xlsx")) + " 4");
    ASSERT_TRUE(look.succeeded) << look.output;
    const std::vector<std::string> lines = look.Lines();
    ASSERT_EQ(lines.size(), 2u) << look.output;  // 3 + 1 data rows
    const char* const filters[] = {"A1:D4", "A1:D2"};
    for (std::size_t sheet = 0; sheet < lines.size(); ++sheet) {
        SCOPED_TRACE(lines[sheet]);
        std::vector<std::string> fields;
        std::size_t at = 0;
        for (std::size_t tab; (tab = lines[sheet].find('\t', at)) != std::string::npos; at = tab + 1) {
            fields.push_back(lines[sheet].substr(at, tab - at));
        }
        fields.push_back(lines[sheet].substr(at));
        ASSERT_EQ(fields.size(), 5u);
        EXPECT_EQ(fields[0], "Sheet" + std::to_string(sheet + 1));
        EXPECT_EQ(fields[1], "A2");
        EXPECT_EQ(fields[2], filters[sheet]);
        EXPECT_EQ(fields[3], "1");
        std::vector<double> widths;
        at = 0;
        for (std::size_t comma; (comma = fields[4].find(',', at)) != std::string::npos; at = comma + 1) {
            widths.push_back(std::stod(fields[4].substr(at, comma - at)));
        }
        widths.push_back(std::stod(fields[4].substr(at)));
        ASSERT_EQ(widths.size(), 4u);
        for (std::size_t column = 0; column < 4; ++column) {
            std::size_t needed = DisplayWidth(header[column]);
            for (const auto& row : rows) needed = std::max(needed, DisplayWidth(row[column]));
            // The title and the widest value show whole, the filter button
            // beside the title too, and no column is absurdly wide.
            EXPECT_GE(widths[column], static_cast<double>(needed)) << "column " << column + 1;
            EXPECT_GE(widths[column], static_cast<double>(DisplayWidth(header[column])) + 2) << "column " << column + 1;
            EXPECT_LE(widths[column], static_cast<double>(needed) + 12) << "column " << column + 1;
        }
    }
    // The long Chinese file name counts double: 16 wide characters and 4
    // narrow ones need more room than the 20-character code beside it.
    // (Checked above per column; this pins the counting itself.)
    EXPECT_EQ(DisplayWidth("扫描件第一卷第一页的文件名.tif"), 30u);
}

TEST_F(XlsxRowWorkbookTest, NothingStandsUnderTheNameBeforeTheSaveAndOnlyTheWorkbookAfter) {
    auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    for (int number = 1; number <= 100; ++number) Append(*workbook, NumberedRow(number));
    EXPECT_FALSE(fs::exists(PathOf("out.xlsx")));
    // The workbook under construction is in the destination folder, hidden.
    const std::set<std::string> building = FolderListing(directory_.path());
    EXPECT_EQ(building.size(), 1u);
    for (const std::string& name : building) EXPECT_EQ(name.rfind(".out.xlsx.", 0), 0u) << name;

    ASSERT_FALSE(workbook->Commit().has_value());
    EXPECT_EQ(FolderListing(directory_.path()), std::set<std::string>{"out.xlsx"});
    EXPECT_EQ(workbook->Path(), PathOf("out.xlsx"));
    // Nothing more to do after the save; a late Discard removes nothing.
    workbook->Discard();
    workbook.reset();
    EXPECT_EQ(FolderListing(directory_.path()), std::set<std::string>{"out.xlsx"});
    EXPECT_TRUE(testing::ReadWorkbook(PathOf("out.xlsx")).readable);
}

TEST_F(XlsxRowWorkbookTest, TheSavedFileGetsTheModeOfANewFile) {
    auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    ASSERT_FALSE(workbook->Commit().has_value());
    const mode_t mask = ::umask(022);
    ::umask(mask);
    struct stat status {};
    ASSERT_EQ(::stat(PathOf("out.xlsx").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0666 & ~mask);
}

TEST_F(XlsxRowWorkbookTest, AReplacedFileKeepsItsMode) {
    fixtures::WriteFileBytes(PathOf("out.xlsx"), "old");
    ASSERT_EQ(::chmod(PathOf("out.xlsx").c_str(), 0640), 0);
    auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    ASSERT_FALSE(workbook->Commit().has_value());
    struct stat status {};
    ASSERT_EQ(::stat(PathOf("out.xlsx").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_TRUE(testing::ReadWorkbook(PathOf("out.xlsx")).readable);
}

TEST_F(XlsxRowWorkbookTest, ANameThatIsALinkIsSavedThroughAndTheLinkStays) {
    ASSERT_EQ(::mkdir(PathOf("real").c_str(), 0755), 0);
    fixtures::WriteFileBytes(PathOf("real/target.xlsx"), "old");
    ASSERT_EQ(::symlink("real/target.xlsx", PathOf("out.xlsx").c_str()), 0);
    auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    Append(*workbook, NumberedRow(5));
    ASSERT_FALSE(workbook->Commit().has_value());
    EXPECT_TRUE(fs::is_symlink(PathOf("out.xlsx")));
    EXPECT_EQ(FolderListing(PathOf("real")), std::set<std::string>{"target.xlsx"});
    EXPECT_EQ(FolderListing(directory_.path()), (std::set<std::string>{"out.xlsx", "real"}));
    const testing::Workbook read = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(read.readable) << read.error;
    EXPECT_EQ(read.sheets[0].At(2, 1), "A5");
}

TEST_F(XlsxRowWorkbookTest, ANameAsLongAsTheFileSystemAllowsIsSaved) {
    // The temporary names beside it must not grow past 255 bytes.
    const std::string name = std::string(200, 'a') + std::string(10, 'b') + "档案" + std::string(30, 'c') + ".xlsx";
    ASSERT_EQ(name.size(), 251u);
    auto workbook = Create(name, Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    Append(*workbook, NumberedRow(1));
    const auto failure = workbook->Commit();
    ASSERT_FALSE(failure.has_value()) << failure->reason;
    EXPECT_EQ(FolderListing(directory_.path()), std::set<std::string>{name});
}

TEST_F(XlsxRowWorkbookTest, DiscardAndDestructionLeaveAnEarlierFileByteIdenticalAndNothingElse) {
    const std::string earlier = "an earlier workbook's bytes";
    fixtures::WriteFileBytes(PathOf("out.xlsx"), earlier);
    for (const bool discard : {true, false}) {
        SCOPED_TRACE(discard ? "Discard" : "destructor");
        auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
        ASSERT_NE(workbook, nullptr);
        for (int number = 1; number <= 50; ++number) Append(*workbook, NumberedRow(number));
        if (discard) {
            workbook->Discard();
            EXPECT_TRUE(workbook->Commit().has_value()) << "a discarded workbook cannot be saved";
        }
        workbook.reset();
        EXPECT_EQ(FileBytes(PathOf("out.xlsx")), earlier);
        EXPECT_EQ(FolderListing(directory_.path()), std::set<std::string>{"out.xlsx"});
    }
}

TEST_F(XlsxRowWorkbookTest, ACommittedWorkbookReplacesAnEarlierFile) {
    fixtures::WriteFileBytes(PathOf("out.xlsx"), "old");
    auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    Append(*workbook, NumberedRow(7));
    ASSERT_FALSE(workbook->Commit().has_value());
    const testing::Workbook read = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(read.readable) << read.error;
    EXPECT_EQ(read.sheets[0].At(2, 1), "A7");
    EXPECT_EQ(FolderListing(directory_.path()), std::set<std::string>{"out.xlsx"});
}

TEST_F(XlsxRowWorkbookTest, TwoWorkbooksSavedUnderOneNameLeaveOneWholeWorkbook) {
    auto first = Create("out.xlsx", Layout(ThreeTitles()));
    auto second = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    for (int number = 1; number <= 300; ++number) {
        Append(*first, NumberedRow(number));
        Append(*second, NumberedRow(1000 + number));
    }
    ASSERT_FALSE(first->Commit().has_value());
    ASSERT_FALSE(second->Commit().has_value());
    const testing::Workbook read = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(read.readable) << read.error;
    ASSERT_EQ(read.sheets[0].rows.size(), 301u);
    EXPECT_EQ(read.sheets[0].At(2, 1), "A1001");
    EXPECT_EQ(read.sheets[0].At(301, 1), "A1300");
    EXPECT_EQ(FolderListing(directory_.path()), std::set<std::string>{"out.xlsx"});
}

TEST_F(XlsxRowWorkbookTest, RowsOfTheWrongWidthAreRefusedAndTheWorkbookStaysUsable) {
    auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    const std::vector<Text> shortRow = Texts({"only", "two"});
    const auto failure = workbook->AppendRow(shortRow);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->path, PathOf("out.xlsx"));
    Append(*workbook, NumberedRow(1));
    ASSERT_FALSE(workbook->Commit().has_value());
    const testing::Workbook read = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(read.readable) << read.error;
    ASSERT_EQ(read.sheets[0].rows.size(), 2u);
    EXPECT_EQ(read.sheets[0].At(2, 1), "A1");
}

// The unlinked files open in this process: descriptor and where it was.
std::map<std::string, std::string> DeletedOpenFiles() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (!error && target.find(" (deleted)") != std::string::npos) files[entry.path().filename()] = target;
    }
    return files;
}

TEST_F(XlsxRowWorkbookTest, RowsGoStraightIntoTheHiddenWorkbookAndNowhereElse) {
    const auto before = DeletedOpenFiles();
    auto workbook = Create("out.xlsx", Layout(ThreeTitles(), 500));
    ASSERT_NE(workbook, nullptr);
    const auto hiddenSize = [&] {
        const std::set<std::string> names = FolderListing(directory_.path());
        return names.size() == 1 ? fs::file_size(PathOf(*names.begin())) : std::uintmax_t{0};
    };
    std::uintmax_t size = hiddenSize();
    // Each few thousand rows add to the file being built, sheet after sheet.
    for (int round = 0; round < 4; ++round) {
        for (int number = 1; number <= 5000; ++number) Append(*workbook, NumberedRow(round * 5000 + number));
        const std::uintmax_t grown = hiddenSize();
        EXPECT_GT(grown, size) << round;
        size = grown;
    }
    // No file that was opened and unlinked (a temporary file) anywhere.
    for (const auto& [fd, target] : DeletedOpenFiles()) {
        if (!before.contains(fd) || before.at(fd) != target) ADD_FAILURE() << target;
    }
    ASSERT_FALSE(workbook->Commit().has_value());
    EXPECT_EQ(testing::ReadWorkbook(PathOf("out.xlsx")).sheets.size(), 41u);
}

TEST_F(XlsxRowWorkbookTest, NamedSheetsFollowTheRowsWithHeadersOfTheirOwnAndACompanionIsSavedBeside) {
    // Three rows a sheet, so that the rows and the named sheet each continue.
    auto workbook = Create("out.xlsx", Layout(ThreeTitles(), 3));
    ASSERT_NE(workbook, nullptr);
    for (int number = 1; number <= 3; ++number) Append(*workbook, NumberedRow(number));
    ASSERT_FALSE(workbook->StartSheet("检验结果", Texts({"档号", "检验项", "要求", "实际"})).has_value());
    for (int number = 1; number <= 3; ++number) {
        Append(*workbook, {"B" + std::to_string(number), "缺页", "连续", "缺第" + std::to_string(number) + "页"});
    }
    ASSERT_FALSE(workbook->StartSheet("检验汇总", Texts({"检验项"})).has_value());
    Append(*workbook, {"结论"});
    const std::string manifest = "0123  A/1.jpg\n";
    ASSERT_FALSE(workbook->AddCompanionFile(".sha256", manifest).has_value());
    EXPECT_EQ(FolderListing(directory_.path()).count("out.sha256"), 0u) << "nothing under a name before the save";
    const auto failure = workbook->Commit();
    ASSERT_FALSE(failure.has_value()) << failure->reason;

    EXPECT_EQ(FolderListing(directory_.path()), (std::set<std::string>{"out.xlsx", "out.sha256"}));
    EXPECT_EQ(FileBytes(PathOf("out.sha256")), manifest);
    const testing::Workbook read = testing::ReadWorkbook(PathOf("out.xlsx"));
    ASSERT_TRUE(read.readable) << read.error;
    std::vector<std::string> names;
    for (const auto& sheet : read.sheets) names.push_back(sheet.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Sheet1", "Sheet2", "检验结果", "检验结果2", "检验汇总"}));
    EXPECT_EQ(read.sheets[1].At(2, 1), "A3");
    for (const std::size_t sheet : {2, 3}) {
        EXPECT_EQ(read.sheets[sheet].At(1, 4), "实际");
        EXPECT_EQ(read.sheets[sheet].At(1, 5), "<none>");
    }
    EXPECT_EQ(read.sheets[2].At(3, 4), "缺第2页");
    EXPECT_EQ(read.sheets[3].At(2, 1), "B3");
    ASSERT_EQ(read.sheets[4].rows.size(), 2u);
    EXPECT_EQ(read.sheets[4].At(2, 1), "结论");
    // Each sheet's filter covers its own columns.
    const auto xml = testing::RunCommand(
        "/usr/bin/python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).read(\"xl/workbook.xml\").decode())' " +
        testing::ShellQuoted(PathOf("out.xlsx")));
    EXPECT_NE(xml.output.find("$A$1:$D$3"), std::string::npos) << xml.output;
    EXPECT_NE(xml.output.find("$A$1:$A$2"), std::string::npos) << xml.output;
}

TEST_F(XlsxRowWorkbookTest, ANamedSheetOrCompanionThatCannotBeMadeFailsTheWorkbookAndLeavesNothing) {
    fixtures::WriteFileBytes(PathOf("out.xlsx"), "earlier");
    {
        auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
        ASSERT_NE(workbook, nullptr);
        const auto refused = workbook->StartSheet("a/b", Texts({"x"}));
        ASSERT_TRUE(refused.has_value());
        EXPECT_EQ(refused->reason, "工作表名“a/b”无效");
        Append(*workbook, NumberedRow(1));  // a refused name leaves the workbook usable
        ASSERT_FALSE(workbook->StartSheet("检验结果", Texts({"x"})).has_value());
        EXPECT_TRUE(workbook->AppendRow(Texts(NumberedRow(2))).has_value()) << "the named sheet has one column";
        ASSERT_FALSE(workbook->Commit().has_value());
    }
    fs::create_directory(PathOf("out.sha256"));
    auto workbook = Create("out.xlsx", Layout(ThreeTitles()));
    ASSERT_NE(workbook, nullptr);
    const std::string before = FileBytes(PathOf("out.xlsx"));
    const auto failure = workbook->AddCompanionFile(".sha256", "x");
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->path, PathOf("out.sha256"));
    EXPECT_EQ(failure->reason, "同名的不是普通文件");
    EXPECT_TRUE(workbook->Commit().has_value());
    EXPECT_EQ(FileBytes(PathOf("out.xlsx")), before);
    EXPECT_EQ(FolderListing(directory_.path()), (std::set<std::string>{"out.xlsx", "out.sha256"}));
}

TEST(CompanionPathTest, ReplacesTheExtensionOfTheFileNameOnly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/a/out.xlsx", "/a/out.sha256"},
        {"out.csv", "out.sha256"},
        {"/a.b/out", "/a.b/out.sha256"},
        {"/a/.hidden", "/a/.hidden.sha256"},
        {"/a/x.y.xlsx", "/a/x.y.sha256"},
    };
    for (const auto& [path, expected] : cases) EXPECT_EQ(CompanionPath(path, ".sha256"), expected) << path;
}

}  // namespace
}  // namespace quillmere::sheet
