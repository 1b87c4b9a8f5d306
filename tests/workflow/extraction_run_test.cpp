#include "workflow/extraction_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../support/fake_window.h"
#include "../support/jpeg_fixture.h"
#include "../support/temp_tree.h"
#include "../support/workbook_reader.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "sheet/xlsx_application.h"
#include "tests/support/fixture_writers.h"
#include "workflow/notes_text.h"
#include "workflow/window_handlers.h"

namespace quillmere::workflow {
namespace {

using quillmere::testing::FakeWindow;
using quillmere::testing::JpegFixture;
using quillmere::testing::MakeJpeg;
using quillmere::testing::ReadWorkbook;
using quillmere::testing::TempTree;
using quillmere::testing::Workbook;

constexpr std::time_t kMarch7th2015At060509Utc = 1425708309;

const std::vector<std::string> kHeader = {
    "档号", "扫描人", "设备制造商", "设备型号", "数字化时间（扫描时间）", "图像处理人", "数字化软件描述",
    "格式信息", "计算机文件名", "计算机文件大小（字节）", "数字化对象形态", "扫描分辨率（DPI）", "扫描色彩模式",
    "图像压缩方案"};

std::vector<std::string> RowOf(const quillmere::testing::WorkbookSheet& sheet, std::size_t row) {
    std::vector<std::string> values;
    for (std::size_t column = 1; column <= 14; ++column) values.push_back(sheet.At(row, column));
    return values;
}

class ExtractionRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.Directory("scan");
        window.Set(control::kFolder, Scan());
        window.SetDisabled(control::kStartButton, false);
        window.Set(control::kScanner, "张三");
        window.Set(control::kMaker, "Fujitsu");
        window.Set(control::kModel, "fi-7160");
        window.Set(control::kProcessor, "李四");
        window.Set(control::kSoftware, "PaperStream Capture");
    }

    std::string Scan(const std::string& relative = "") const {
        return relative.empty() ? tree.Path("scan") : tree.Path("scan/" + relative);
    }

    RunResult Run(RunSettings settings = {}) {
        sheet::XlsxApplicationFactory factory(output, [this](const std::string& path) { shown.push_back(path); });
        sheet::ExcelApp app(factory);
        sheet::ExcelWorkbooks workbook;
        return RunExtraction(window, fs, app, workbook, settings);
    }

    TempTree tree;
    std::string output = tree.Path("result.xlsx");
    FakeWindow window;
    RealFileSystem fs;
    std::vector<std::string> shown;
};

TEST_F(ExtractionRunTest, ThreeFilesLandInRowsTwoToFourInEntryOrder) {
    tree.File("scan/0001.jpg", MakeJpeg({.width = 8, .height = 8, .components = 3, .densityUnit = 1, .density = 300}));
    tree.File("scan/A/0002.jpg", MakeJpeg({.width = 16, .height = 4, .components = 1, .densityUnit = 2, .density = 118}));
    tree.File("scan/B/0003.txt", "not an image");
    tree.FileTime("scan/0001.jpg", kMarch7th2015At060509Utc);
    const auto jpegSize = std::to_string(std::filesystem::file_size(Scan("0001.jpg")));

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(window.statuses, (std::vector<std::string>{
                                   "开始扫描档案数字化图像文件，请稍候...",
                                   "共找到3个文件，下面开始提取元数据，请耐心等待...",
                                   "开始导出表头...",
                                   "开始导出表头...成功",
                                   "文件总数：3，正在提取第1个文件的元数据...",
                                   "文件总数：3，正在提取第2个文件的元数据...",
                                   "文件总数：3，正在提取第3个文件的元数据...",
                                   "",
                               }));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "提取元数据完成，本次共提取3个文件的元数据信息。");
    EXPECT_EQ(window.messages[0].flags, 0);
    EXPECT_EQ(window.position, kPositionMinimised);
    EXPECT_FALSE(window.IsDisabled(control::kStartButton));
    EXPECT_EQ(window.Content(control::kNotes), NotesText());
    EXPECT_EQ(window.Get(control::kFolder), Scan());  // no separator added to the box
    EXPECT_EQ(shown, std::vector<std::string>{output});

    const Workbook book = ReadWorkbook(output);
    ASSERT_TRUE(book.readable) << book.error;
    ASSERT_EQ(book.sheets.size(), 1u);
    const auto& sheet = book.sheets[0];
    EXPECT_EQ(RowOf(sheet, 1), kHeader);
    EXPECT_EQ(RowOf(sheet, 2),
              (std::vector<std::string>{"0001", "张三", "Fujitsu", "fi-7160", "2015年3月7日14时5分9秒", "李四",
                                        "PaperStream Capture", "JPG", "0001.jpg", jpegSize, "8*8", "300", "真彩色",
                                        "90%"}));
    // Directories come after the files of their parent, the last one pushed first;
    // the text file after a JPEG shows the values of a file that is no image.
    EXPECT_EQ(sheet.At(3, 9), "0003.txt");
    EXPECT_EQ(sheet.At(3, 10), "12");
    EXPECT_EQ(sheet.At(3, 11), "0*0");
    EXPECT_EQ(sheet.At(3, 12), "96");
    EXPECT_EQ(sheet.At(3, 13), "真彩色");
    EXPECT_EQ(sheet.At(3, 14), "90%");
    EXPECT_EQ(sheet.At(4, 9), "0002.jpg");
    EXPECT_EQ(sheet.At(4, 11), "16*4");
    EXPECT_EQ(sheet.At(4, 12), "300");
    EXPECT_EQ(sheet.At(4, 13), "256色");
    EXPECT_EQ(sheet.rows.size(), 4u);
}

TEST_F(ExtractionRunTest, FolderWithoutFilesWritesTheHeaderOnly) {
    tree.Directory("scan/empty/deeper");

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(window.statuses.at(1), "共找到0个文件，下面开始提取元数据，请耐心等待...");
    EXPECT_EQ(window.statuses.at(3), "开始导出表头...成功");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "提取元数据完成，本次共提取0个文件的元数据信息。");
    EXPECT_EQ(window.position, kPositionMinimised);
    const Workbook book = ReadWorkbook(output);
    ASSERT_TRUE(book.readable) << book.error;
    ASSERT_EQ(book.sheets.size(), 1u);
    EXPECT_EQ(book.sheets[0].rows.size(), 1u);
    EXPECT_EQ(RowOf(book.sheets[0], 1), kHeader);
}

TEST_F(ExtractionRunTest, EveryValueStaysTextExactlyAsDerived) {
    tree.File("scan/0001.txt", "a");
    tree.File("scan/=x.txt", "b");
    window.Set(control::kScanner, "=1+1");
    window.Set(control::kSoftware, "12345678901234567890");
    window.Set(control::kMaker, "");

    ASSERT_EQ(Run().outcome, RunOutcome::Completed);

    const Workbook book = ReadWorkbook(output);
    ASSERT_TRUE(book.readable) << book.error;
    const auto& sheet = book.sheets.at(0);
    EXPECT_EQ(sheet.At(2, 1), "0001");
    EXPECT_EQ(sheet.At(3, 1), "=x");
    EXPECT_EQ(sheet.At(2, 2), "=1+1");
    EXPECT_EQ(sheet.At(2, 7), "12345678901234567890");
    for (std::size_t row = 2; row <= 3; ++row) {
        for (std::size_t column : {1u, 2u, 5u, 7u, 10u, 12u}) {
            EXPECT_EQ(sheet.TypeAt(row, column), 's') << "row " << row << " column " << column;
        }
    }
}

TEST_F(ExtractionRunTest, WorkbookThatCannotBeCreatedEndsTheRunWithTheMessage) {
    tree.File("scan/0001.txt", "a");
    output = tree.Path("no-such-folder/result.xlsx");

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::CreateFailed);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "Excel 程序创建失败！可能没有安装Excel2000或更高版本");
    EXPECT_EQ(window.messages[0].flags, 0);
    EXPECT_TRUE(window.IsDisabled(control::kStartButton));
    EXPECT_EQ(window.statuses.back(), "共找到1个文件，下面开始提取元数据，请耐心等待...");
    EXPECT_EQ(window.position, -1);
    EXPECT_TRUE(window.Content(control::kNotes).empty());
    EXPECT_TRUE(shown.empty());
}

TEST_F(ExtractionRunTest, UnusableFolderStartsNothing) {
    struct Case {
        std::string folder;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"", "请先选择图像文件夹。"},
        {tree.Path("missing"), "图像文件夹不存在或无法读取：" + tree.Path("missing")},
    };
    for (const Case& c : cases) {
        FakeWindow fresh;
        window = fresh;
        window.Set(control::kFolder, c.folder);
        window.SetDisabled(control::kStartButton, false);

        EXPECT_EQ(Run().outcome, RunOutcome::NotStarted) << c.folder;
        ASSERT_EQ(window.messages.size(), 1u) << c.folder;
        EXPECT_EQ(window.messages[0].text, c.message);
        EXPECT_EQ(window.messages[0].flags, kMessageWarning);
        EXPECT_FALSE(window.IsDisabled(control::kStartButton));
        EXPECT_TRUE(window.statuses.empty());
        EXPECT_FALSE(std::filesystem::exists(output));
    }
}

TEST_F(ExtractionRunTest, BatchFactTypedDuringTheRunAppliesFromTheNextRow) {
    for (const char* name : {"1.txt", "2.txt", "3.txt"}) tree.File(std::string("scan/") + name, "x");
    window.onProcessEvents = [this] {
        if (window.statuses.back() == "文件总数：3，正在提取第2个文件的元数据...") window.Set(control::kScanner, "王五");
    };

    ASSERT_EQ(Run().outcome, RunOutcome::Completed);

    const Workbook book = ReadWorkbook(output);
    ASSERT_TRUE(book.readable) << book.error;
    EXPECT_EQ(book.sheets.at(0).At(2, 2), "张三");
    EXPECT_EQ(book.sheets.at(0).At(3, 2), "王五");
    EXPECT_EQ(book.sheets.at(0).At(4, 2), "王五");
}

TEST_F(ExtractionRunTest, CheckedBoxListsEachPathUntilTheRunCompletes) {
    tree.File("scan/1.txt", "x");
    tree.File("scan/2.txt", "x");
    window.checked[std::string(control::kShowNames)] = true;
    std::string notesAtSecondFile;
    window.onProcessEvents = [&] {
        if (window.statuses.back() == "文件总数：2，正在提取第2个文件的元数据...") {
            notesAtSecondFile = window.Get(control::kNotes);
        }
    };

    ASSERT_EQ(Run().outcome, RunOutcome::Completed);

    // The first file's line was appended after its row, before the second file's status.
    EXPECT_EQ(notesAtSecondFile, Scan("1.txt") + "\r\n");
    EXPECT_EQ(window.Content(control::kNotes), NotesText());
}

TEST_F(ExtractionRunTest, RowsPastTheSheetLimitGoOnInNewSheetsWithTheirOwnHeader) {
    for (int i = 1; i <= 5; ++i) tree.File("scan/" + std::to_string(i) + ".txt", "x");

    const RunResult result = Run({.pool = FixedPreparePool(2), .rowsPerSheet = 3});

    EXPECT_EQ(result.filesWritten, 5);
    EXPECT_EQ(window.messages.at(0).text, "提取元数据完成，本次共提取5个文件的元数据信息。");
    const Workbook book = ReadWorkbook(output);
    ASSERT_TRUE(book.readable) << book.error;
    ASSERT_EQ(book.sheets.size(), 3u);
    const std::vector<std::vector<std::string>> expectedNames = {{"1.txt", "2.txt"}, {"3.txt", "4.txt"}, {"5.txt"}};
    for (std::size_t s = 0; s < 3; ++s) {
        EXPECT_EQ(book.sheets[s].name, "Sheet" + std::to_string(s + 1));
        EXPECT_EQ(RowOf(book.sheets[s], 1), kHeader);
        ASSERT_EQ(book.sheets[s].rows.size(), expectedNames[s].size() + 1);
        for (std::size_t r = 0; r < expectedNames[s].size(); ++r) {
            EXPECT_EQ(book.sheets[s].At(r + 2, 9), expectedNames[s][r]);
        }
    }
}

// Each worker count must write the very same workbook, cell by cell: a tree
// of nested folders mixing JPEG, PNG, TIFF, BMP, damaged and non-image files,
// more files than the prepared ring holds, and a second sheet.
TEST_F(ExtractionRunTest, AnyNumberOfWorkersWritesTheSameWorkbook) {
    namespace fx = quillmere::image::fixtures;
    const auto text = [](const fx::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); };
    const std::string bmp = [] {
        std::string bytes = "BM" + std::string(52, '\0');
        bytes[10] = 54;
        bytes[14] = 40;
        bytes[18] = 7;   // width
        bytes[22] = 5;   // height
        bytes[26] = 1;   // planes
        bytes[28] = 24;  // bits per pixel
        bytes[38] = static_cast<char>(0x13);  // 2835 pixels per metre: 72 dpi
        bytes[39] = 0x0B;
        return bytes + std::string(7 * 3 + 3, '\0') + std::string(4 * (7 * 3 + 3), '\0');
    }();
    constexpr int kFiles = 300;
    for (int i = 0; i < kFiles; ++i) {
        const std::string folder = "v" + std::to_string(i % 3) + "/b" + std::to_string(i % 7) + "/";
        const std::string stem = "scan/" + folder + std::to_string(10000 + i);
        switch (i % 6) {
            case 0:
            {
                fx::JpegSpec jpeg;
                jpeg.width = 8u + static_cast<std::uint32_t>(i);
                jpeg.height = 9;
                jpeg.components = 1 + 2 * (i % 2);
                jpeg.xDensity = jpeg.yDensity = static_cast<std::uint16_t>(100 + i);
                tree.File(stem + ".jpg", text(fx::WriteJpeg(jpeg)));
                break;
            }
            case 1:
                tree.File(stem + ".png", text(fx::WritePng({.width = 5u + static_cast<std::uint32_t>(i % 11), .phys = true,
                                                            .xPerUnit = 11811, .yPerUnit = 11811})));
                break;
            case 2:
                tree.File(stem + ".tif", text(fx::WriteTiff({{.width = 3u + static_cast<std::uint32_t>(i % 5), .resolution = true,
                                                              .xResolution = 600, .yResolution = 600}})));
                break;
            case 3: tree.File(stem + ".bmp", bmp); break;
            case 4: tree.File(stem + ".jpg", "\xFF\xD8\xFF\xE0 damaged " + std::to_string(i)); break;
            default: tree.File(stem + ".txt", std::string(static_cast<std::size_t>(i), 'x')); break;
        }
    }
    constexpr std::int64_t kRowsPerSheet = 200;  // 199 files in the first sheet, the rest in a second

    std::vector<Workbook> books;
    for (const int jobs : {0, 1, 8}) {
        std::filesystem::remove(output);
        const RunResult result = Run({.pool = FixedPreparePool(jobs), .rowsPerSheet = kRowsPerSheet});
        ASSERT_EQ(result.outcome, RunOutcome::Completed) << jobs << " workers";
        ASSERT_EQ(result.filesWritten, kFiles);
        books.push_back(ReadWorkbook(output));
        ASSERT_TRUE(books.back().readable) << books.back().error;
        ASSERT_EQ(books.back().sheets.size(), 2u) << jobs << " workers";
    }
    // The probes really ran: pixel size and resolution of one file of each kind.
    const auto rowNamed = [&](const std::string& name) -> std::vector<std::string> {
        for (const auto& sheet : books[0].sheets) {
            for (std::size_t row = 2; row <= sheet.rows.size(); ++row) {
                if (sheet.At(row, 9) == name) return RowOf(sheet, row);
            }
        }
        return {};
    };
    const struct {
        const char* name;
        const char* size;
        const char* dpi;
    } kProbed[] = {
        {"10000.jpg", "8*9", "100"}, {"10001.png", "6*4", "300"}, {"10002.tif", "5*4", "600"},
        {"10003.bmp", "7*5", "72"},  {"10005.txt", "0*0", "96"},
    };
    for (const auto& probed : kProbed) {
        const std::vector<std::string> row = rowNamed(probed.name);
        ASSERT_EQ(row.size(), 14u) << probed.name;
        EXPECT_EQ(row[10], probed.size) << probed.name;
        EXPECT_EQ(row[11], probed.dpi) << probed.name;
    }

    const Workbook& inline_ = books[0];
    for (std::size_t b = 1; b < books.size(); ++b) {
        for (std::size_t s = 0; s < 2; ++s) {
            const auto& expected = inline_.sheets[s];
            const auto& actual = books[b].sheets[s];
            ASSERT_EQ(actual.rows.size(), expected.rows.size()) << "sheet " << s + 1;
            for (std::size_t row = 1; row <= expected.rows.size(); ++row) {
                EXPECT_EQ(RowOf(actual, row), RowOf(expected, row)) << "book " << b << " sheet " << s + 1 << " row " << row;
            }
        }
    }
}

TEST_F(ExtractionRunTest, ClosingTheWindowMidRunKeepsTheRowsWritten) {
    for (const char* name : {"1.txt", "2.txt", "3.txt"}) tree.File(std::string("scan/") + name, "x");
    window.onProcessEvents = [this] {
        if (window.statuses.back() == "文件总数：3，正在提取第2个文件的元数据...") window.closeRequested = true;
    };

    const RunResult result = Run({.pool = FixedPreparePool(2)});

    EXPECT_EQ(result.outcome, RunOutcome::Interrupted);
    EXPECT_EQ(result.filesWritten, 2);
    EXPECT_TRUE(window.messages.empty());
    const Workbook book = ReadWorkbook(output);
    ASSERT_TRUE(book.readable) << book.error;
    ASSERT_EQ(book.sheets.at(0).rows.size(), 3u);
    EXPECT_EQ(book.sheets[0].At(3, 9), "2.txt");
}

class WindowHandlersTest : public ExtractionRunTest {
protected:
    void SetUp() override {
        ExtractionRunTest::SetUp();
        window.Set(control::kFolder, "");
        window.SetDisabled(control::kStartButton, true);
    }
    sheet::XlsxApplicationFactory factory{output, nullptr};
    sheet::ExcelApp app{factory};
    sheet::ExcelWorkbooks workbook;
    WindowHandlers handlers{window, fs, app, workbook, RunSettings{}};
};

TEST_F(WindowHandlersTest, ChoosingAFolderFillsTheBoxAndEnablesTheButton) {
    handlers.ShowNotesText();
    EXPECT_EQ(window.Content(control::kNotes), NotesText());
    EXPECT_TRUE(TextToUtf8(NotesText()).starts_with("\r\n重要说明"));

    window.chooserAnswer = TextFromUtf8(Scan());
    handlers.ChooseImageFolder();
    EXPECT_EQ(window.Get(control::kFolder), Scan());
    EXPECT_FALSE(window.IsDisabled(control::kStartButton));

    // Cancelling empties the box and leaves the button as it was.
    window.chooserAnswer = Text();
    handlers.ChooseImageFolder();
    EXPECT_EQ(window.Get(control::kFolder), "");
    EXPECT_FALSE(window.IsDisabled(control::kStartButton));
}

TEST_F(WindowHandlersTest, FolderChosenDuringARunEnablesTheButtonOnlyAfterIt) {
    tree.File("scan/1.txt", "x");
    window.Set(control::kFolder, Scan());
    window.SetDisabled(control::kStartButton, false);
    bool checkedDuringRun = false;
    window.onProcessEvents = [&] {
        if (checkedDuringRun || window.statuses.back() != "文件总数：1，正在提取第1个文件的元数据...") return;
        checkedDuringRun = true;
        window.chooserAnswer = TextFromUtf8(tree.Path("other"));
        handlers.ChooseImageFolder();
        EXPECT_EQ(window.Get(control::kFolder), tree.Path("other"));
        EXPECT_TRUE(window.IsDisabled(control::kStartButton));
        // A second click while the run goes on starts nothing.
        EXPECT_EQ(handlers.StartExtraction().outcome, RunOutcome::NotStarted);
    };

    const RunResult result = handlers.StartExtraction();

    EXPECT_TRUE(checkedDuringRun);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_FALSE(window.IsDisabled(control::kStartButton));
}

}  // namespace
}  // namespace quillmere::workflow
