// Writes real workbooks through the controls and the .xlsx application and
// reads them back with an independent reader (openpyxl).
#include "sheet/xlsx_application.h"
#include "sheet/excel_controls.h"
#include "sheet/xlsx_sheet_writer.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/text_encoding.h"

namespace quillmere::sheet {
namespace {

namespace fs = std::filesystem;

struct ReadCell {
    std::string dataType;    // openpyxl's: "s" for a string
    std::string pythonType;  // "str", "int", "NoneType", ...
    std::optional<std::string> value;      // as stored
    std::optional<std::string> unescaped;  // after the .xlsx "_xHHHH_" rule
};

struct ReadWorkbook {
    bool ok = false;
    std::vector<std::string> sheets;
    std::map<std::string, ReadCell> cells;  // "Sheet1!A1"
};

std::optional<std::string> FromHex(const std::string& hex) {
    if (hex == "-") return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}

ReadWorkbook ReadBack(const fs::path& file) {
    const std::string command = "/usr/bin/python3 '" QUILLMERE_SOURCE_DIR "/tests/sheet/dump_xlsx.py' '" +
                                file.string() + "'";
    struct PipeCloser {
        void operator()(FILE* pipe) const { pclose(pipe); }
    };
    std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
    ReadWorkbook result;
    if (!pipe) return result;
    std::string output;
    char buffer[4096];
    while (const std::size_t n = fread(buffer, 1, sizeof buffer, pipe.get())) output.append(buffer, n);
    result.ok = pclose(pipe.release()) == 0;
    if (!result.ok) ADD_FAILURE() << "the reader failed on " << file << " (is python3-openpyxl installed?)";

    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (fields.size() == 2 && fields[0] == "sheet") {
            result.sheets.push_back(fields[1]);
        } else if (fields.size() == 7 && fields[0] == "cell") {
            result.cells[fields[1] + "!" + fields[2]] = {fields[3], fields[4], FromHex(fields[5]), FromHex(fields[6])};
        } else {
            ADD_FAILURE() << "unexpected reader output: " << line;
        }
    }
    return result;
}

class TemporaryDirectory {
public:
    TemporaryDirectory() {
        std::string pattern = (fs::temp_directory_path() / "quillmere-sheet-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TemporaryDirectory() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void WriteCell(ExcelWorkbooks& workbook, const std::string& cell, const Text& value) {
    workbook.SetRangeStart(Text(cell));
    workbook.SetRangeEnd(Text(cell));
    workbook.SetValue(value);
}

class XlsxApplicationTest : public ::testing::Test {
protected:
    TemporaryDirectory directory;
    fs::path output = directory.path() / "元数据.xlsx";
    std::vector<std::string> shown;
    XlsxApplicationFactory factory{output.string(), [this](const std::string& path) { shown.push_back(path); }};
    ExcelApp app{factory};
    ExcelWorkbooks workbook;

    void Attach() {
        ASSERT_FALSE(directory.path().empty());
        ASSERT_TRUE(app.CreateApplication()) << factory.CreateFailure();
        ASSERT_TRUE(workbook.Associate(app));
    }
    ReadWorkbook SaveAndRead() {
        app.SetVisible(true);
        EXPECT_EQ(app.SaveFailure(), "");
        return ReadBack(output);
    }
};

TEST_F(XlsxApplicationTest, EveryValueArrivesAsTheSameText) {
    Attach();
    const std::vector<std::string> values = {
        "档号",
        "文书-0001",
        "真彩色",
        "数字化时间（扫描时间）",
        "0001",
        "=1+1",
        "12345678901234567890",
        "2024-01-02 10:11:12",
        "90%",
        "1E5",
        "TRUE",
        "2480*3508",
        " leading and trailing ",
        "tab\there, line\nthere",
        "\x01" "control",
        "_x0041_ stays literal",
        "𠀀 beyond the BMP",
    };
    for (std::size_t i = 0; i < values.size(); ++i) {
        WriteCell(workbook, "B" + std::to_string(i + 1), TextFromUtf8(values[i]));
    }
    const ReadWorkbook read = SaveAndRead();
    ASSERT_TRUE(read.ok);
    ASSERT_EQ(read.cells.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::string key = "Sheet1!B" + std::to_string(i + 1);
        ASSERT_EQ(read.cells.count(key), 1u) << key;
        const ReadCell& cell = read.cells.at(key);
        EXPECT_EQ(cell.dataType, "s") << values[i];
        EXPECT_EQ(cell.pythonType, "str") << values[i];
        EXPECT_EQ(cell.unescaped, values[i]);
    }
    // Plain texts need no unescaping at all.
    EXPECT_EQ(read.cells.at("Sheet1!B1").value, "档号");
    EXPECT_EQ(read.cells.at("Sheet1!B7").value, "12345678901234567890");
}

TEST_F(XlsxApplicationTest, CellsLandAtTheAddressesGiven) {
    Attach();
    const std::vector<std::pair<std::string, std::string>> writes = {
        {"A1", "a1"}, {"N1", "n1"}, {"c2", "c2"}, {"$D$2", "d2"}, {"AA3", "aa3"}, {"XFD1048576", "last"},
    };
    for (const auto& [cell, value] : writes) WriteCell(workbook, cell, Text(value));
    const ReadWorkbook read = SaveAndRead();
    ASSERT_TRUE(read.ok);
    const std::map<std::string, std::string> expected = {
        {"Sheet1!A1", "a1"}, {"Sheet1!N1", "n1"},   {"Sheet1!C2", "c2"},
        {"Sheet1!D2", "d2"}, {"Sheet1!AA3", "aa3"}, {"Sheet1!XFD1048576", "last"},
    };
    std::map<std::string, std::string> actual;
    for (const auto& [key, cell] : read.cells) actual[key] = cell.value.value_or("<none>");
    EXPECT_EQ(actual, expected);
}

TEST_F(XlsxApplicationTest, EmptyTextMakesAnEmptyCellThatReplacesTheValue) {
    Attach();
    WriteCell(workbook, "A1", Text("before"));
    WriteCell(workbook, "B1", Text("kept"));
    WriteCell(workbook, "A1", Text());
    WriteCell(workbook, "C1", Text());
    const ReadWorkbook read = SaveAndRead();
    ASSERT_TRUE(read.ok);
    // An .xlsx string cell cannot be empty here; the reader sees no value.
    for (const char* key : {"Sheet1!A1", "Sheet1!C1"}) {
        if (read.cells.count(key)) {
            EXPECT_EQ(read.cells.at(key).value, std::nullopt) << key;
        }
    }
    EXPECT_EQ(read.cells.at("Sheet1!B1").value, "kept");
}

TEST_F(XlsxApplicationTest, SecondSheetIsWrittenAfterTheFirst) {
    Attach();
    WriteCell(workbook, "A1", TextFromUtf8("档号"));
    WriteCell(workbook, "A1048576", Text("last row of sheet 1"));
    ASSERT_TRUE(workbook.AddSheet());
    WriteCell(workbook, "A1", TextFromUtf8("档号"));
    WriteCell(workbook, "A2", Text("first row after the header"));
    const ReadWorkbook read = SaveAndRead();
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.sheets, (std::vector<std::string>{"Sheet1", "Sheet2"}));
    EXPECT_EQ(read.cells.at("Sheet1!A1048576").value, "last row of sheet 1");
    EXPECT_EQ(read.cells.at("Sheet2!A1").value, "档号");
    EXPECT_EQ(read.cells.at("Sheet2!A2").value, "first row after the header");
    EXPECT_EQ(read.cells.size(), 4u);
}

TEST_F(XlsxApplicationTest, RowsAreWrittenTopDownAndAnEarlierRowIsRefused) {
    Attach();
    WriteCell(workbook, "C2", Text("c2"));
    WriteCell(workbook, "A2", Text("a2"));  // same row, any column order
    WriteCell(workbook, "A5", Text("a5"));
    WriteCell(workbook, "A3", Text("too late"));
    WriteCell(workbook, "B5", Text("b5"));
    const ReadWorkbook read = SaveAndRead();
    ASSERT_TRUE(read.ok);
    std::vector<std::string> keys;
    for (const auto& [key, cell] : read.cells) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"Sheet1!A2", "Sheet1!A5", "Sheet1!B5", "Sheet1!C2"}));
}

TEST_F(XlsxApplicationTest, RangeRefusesAddressesOutsideTheSheetAndReportsRefusedWrites) {
    const auto application = factory.Create();
    ASSERT_NE(application, nullptr);
    ASSERT_NE(application->Workbooks()->Add(), nullptr);
    const auto sheet = application->Sheets()->Item(1);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(application->Sheets()->Item(2), nullptr);

    for (const char* bad : {"", "A0", "A1048577", "XFE1", "A1:B2", "Sheet1!A1"}) {
        EXPECT_EQ(sheet->Range(bad, bad), nullptr) << bad;
        EXPECT_EQ(sheet->Range("A1", bad), nullptr) << bad;
    }

    const auto row4 = sheet->Range("A4", "A4");
    const auto row3 = sheet->Range("A3", "A3");
    ASSERT_NE(row4, nullptr);
    ASSERT_NE(row3, nullptr);
    EXPECT_TRUE(row4->SetValue("x"));
    EXPECT_FALSE(row3->SetValue("earlier row"));
    EXPECT_FALSE(row4->SetValue(std::string(32768, 'y')));  // past the cell's text limit
    EXPECT_TRUE(row4->SetValue(std::string(32767, 'y')));
    EXPECT_EQ(row4->Value(), std::nullopt);  // written rows are not kept for reading

    const auto block = sheet->Range("C6", "B5");
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(block->SetValue("filled"));
    EXPECT_FALSE(sheet->Range("A6", "XFD1048576")->SetValue("far too many cells"));

    std::string failure;
    ASSERT_TRUE(application->SetVisible(true, failure)) << failure;
    const ReadWorkbook read = ReadBack(output);
    ASSERT_TRUE(read.ok);
    std::vector<std::string> keys;
    for (const auto& [key, cell] : read.cells) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"Sheet1!A4", "Sheet1!B5", "Sheet1!B6", "Sheet1!C5", "Sheet1!C6"}));
    EXPECT_EQ(read.cells.at("Sheet1!A4").value, std::string(32767, 'y'));
    EXPECT_EQ(read.cells.at("Sheet1!C6").value, "filled");
}

TEST_F(XlsxApplicationTest, UnwritableOutputPathMakesCreateApplicationFalse) {
    const fs::path missingDirectory = directory.path() / "no such folder" / "out.xlsx";
    const fs::path aDirectory = directory.path() / "a folder.xlsx";
    fs::create_directory(aDirectory);
    for (const fs::path& path : {missingDirectory, aDirectory, fs::path()}) {
        XlsxApplicationFactory unwritable(path.string(), nullptr);
        ExcelApp control(unwritable);
        EXPECT_FALSE(control.CreateApplication()) << path;
        EXPECT_NE(unwritable.CreateFailure(), "") << path;
    }
    EXPECT_TRUE(fs::is_directory(aDirectory));
    EXPECT_FALSE(fs::exists(missingDirectory.parent_path()));
}

TEST_F(XlsxApplicationTest, ProbingLeavesNoFileAndKeepsAnExistingOne) {
    Attach();
    EXPECT_FALSE(fs::exists(output));  // nothing until the workbook is shown
    app.Release();
    workbook.Release();
    // Given up unshown, the workbook is still saved rather than lost.
    EXPECT_TRUE(fs::exists(output));

    {
        std::ofstream(output, std::ios::binary | std::ios::trunc) << "previous content";
    }
    ASSERT_TRUE(app.CreateApplication());
    std::ifstream existing(output, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(existing), {}), "previous content");
}

TEST_F(XlsxApplicationTest, ReleasedUnshownWorkbookKeepsItsRows) {
    Attach();
    WriteCell(workbook, "A1", TextFromUtf8("档号"));
    workbook.Release();
    app.Release();
    EXPECT_TRUE(shown.empty());
    const ReadWorkbook read = ReadBack(output);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.cells.at("Sheet1!A1").value, "档号");
}

TEST_F(XlsxApplicationTest, VisibleSavesOnceThenReportsThePath) {
    Attach();
    WriteCell(workbook, "A1", Text("x"));
    app.SetVisible(false);
    EXPECT_FALSE(fs::exists(output));
    app.SetVisible(true);
    EXPECT_EQ(shown, (std::vector<std::string>{output.string()}));
    EXPECT_TRUE(fs::exists(output));
    app.SetVisible(true);
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(app.SaveFailure(), "");
    // The saved workbook takes no more writes.
    WriteCell(workbook, "A2", Text("after the save"));
    EXPECT_EQ(ReadBack(output).cells.size(), 1u);
}

TEST_F(XlsxApplicationTest, FailedSaveIsReportedAndNothingIsShown) {
    const fs::path folder = directory.path() / "vanishing";
    fs::create_directory(folder);
    output = folder / "out.xlsx";
    XlsxApplicationFactory vanishing(output.string(), [this](const std::string& path) { shown.push_back(path); });
    ExcelApp control(vanishing);
    ASSERT_TRUE(control.CreateApplication());
    ASSERT_TRUE(workbook.Associate(control));
    WriteCell(workbook, "A1", Text("x"));
    fs::remove(folder);
    control.SetVisible(true);
    EXPECT_NE(control.SaveFailure(), "");
    EXPECT_TRUE(shown.empty());
    control.SetVisible(true);  // the workbook is gone; the failure is reported again
    EXPECT_NE(control.SaveFailure(), "");
}

TEST_F(XlsxApplicationTest, SecondWorkbookInTheSameInstanceIsRefused) {
    Attach();
    WriteCell(workbook, "A1", Text("first"));
    ASSERT_TRUE(workbook.Associate(app));  // true, but without a sheet
    WriteCell(workbook, "A2", Text("nowhere"));
    const ReadWorkbook read = SaveAndRead();
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.cells.size(), 1u);
    EXPECT_EQ(read.cells.at("Sheet1!A1").value, "first");
}

TEST_F(XlsxApplicationTest, EachCreateMakesANewInstance) {
    const auto first = factory.Create();
    const auto second = factory.Create();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->Workbooks()->Add(), nullptr);
    EXPECT_NE(second->Workbooks()->Add(), nullptr);
    EXPECT_EQ(first->Application(), first);
}

TEST(XlsxLiteralText, EscapesOnlyWhatAReaderWouldUnescape) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"plain", "plain"},
        {"_", "_"},
        {"a_b_c", "a_b_c"},
        {"_x0041_", "_x005F_x0041_"},
        {"_X00aF_", "_x005F_X00aF_"},
        {"__x0041_", "__x005F_x0041_"},
        {"_x0041", "_x0041"},
        {"_x004G_", "_x004G_"},
        {"_x0041__x0042_", "_x005F_x0041__x005F_x0042_"},
        {"文_x7AE0_书", "文_x005F_x7AE0_书"},
        {"a\uFFFEb\uFFFF", "a_xFFFE_b_xFFFF_"},
        {"\uFFFD\uEFBF", "\uFFFD\uEFBF"},
    };
    for (const auto& [input, expected] : cases) {
        std::string out = "keep:";
        AppendXlsxLiteralText(out, input);
        EXPECT_EQ(out, "keep:" + expected) << input;
    }
}

}  // namespace
}  // namespace quillmere::sheet
