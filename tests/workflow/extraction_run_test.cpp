#include "workflow/extraction_run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../support/fake_window.h"
#include "../support/jpeg_fixture.h"
#include "../support/memory_workbook.h"
#include "../support/temp_tree.h"
#include "runtime/memory_file_system.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "tests/support/fixture_writers.h"
#include "workflow/notes_text.h"
#include "workflow/window_handlers.h"

namespace quillmere::workflow {
namespace {

using quillmere::testing::FakeWindow;
using quillmere::testing::JpegFixture;
using quillmere::testing::MakeJpeg;
using quillmere::testing::MemoryRow;
using quillmere::testing::MemoryWorkbookMaker;
using quillmere::testing::TempTree;

constexpr std::time_t kMarch7th2015At060509Utc = 1425708309;

const std::vector<std::string> kHeader = {
    "档号", "扫描人", "设备制造商", "设备型号", "数字化时间（扫描时间）", "图像处理人", "数字化软件描述",
    "格式信息", "计算机文件名", "计算机文件大小（字节）", "数字化对象形态", "扫描分辨率（DPI）", "扫描色彩模式",
    "图像压缩方案"};

std::vector<std::string> Utf8(const std::vector<Text>& texts) {
    std::vector<std::string> out;
    for (const Text& text : texts) out.push_back(TextToUtf8(text));
    return out;
}

BatchFacts Facts(const std::string& scanner, const std::string& maker, const std::string& model,
                 const std::string& processor, const std::string& software) {
    return {TextFromUtf8(scanner), TextFromUtf8(maker), TextFromUtf8(model), TextFromUtf8(processor),
            TextFromUtf8(software)};
}

class ExtractionRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.Directory("scan");
        window.SetFolderUtf8(Scan());
        window.startEnabled = true;
        window.facts = Facts("张三", "Fujitsu", "fi-7160", "李四", "PaperStream Capture");
    }

    std::string Scan(const std::string& relative = "") const {
        return relative.empty() ? tree.Path("scan") : tree.Path("scan/" + relative);
    }

    RunResult Run(RunSettings settings = {}) { return RunExtraction(window, fs, maker, settings); }

    std::string CompletionText(int files) const {
        return "提取元数据完成，本次共提取" + std::to_string(files) + "个文件的元数据信息。\n" + maker.path;
    }

    TempTree tree;
    FakeWindow window;
    RealFileSystem fs;
    MemoryWorkbookMaker maker;
};

TEST_F(ExtractionRunTest, ThreeFilesLandInRowsTwoToFourInEntryOrder) {
    tree.File("scan/0001.jpg", MakeJpeg({.width = 8, .height = 8, .components = 3, .densityUnit = 1, .density = 300}));
    tree.File("scan/A/0002.jpg", MakeJpeg({.width = 16, .height = 4, .components = 1, .densityUnit = 2, .density = 118, .quality = 40}));
    tree.File("scan/B/0003.txt", "not an image");
    tree.FileTime("scan/0001.jpg", kMarch7th2015At060509Utc);
    const auto jpegSize = std::to_string(std::filesystem::file_size(Scan("0001.jpg")));

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(result.workbookPath, maker.path);
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
    EXPECT_EQ(window.messages[0].text, CompletionText(3));
    EXPECT_EQ(window.messages[0].kind, MessageKind::Plain);
    EXPECT_TRUE(window.minimised);
    EXPECT_TRUE(window.startEnabled);
    EXPECT_EQ(window.log, NotesText());
    EXPECT_EQ(window.FolderUtf8(), Scan());  // no separator added to the box
    EXPECT_EQ(window.opened, std::vector<std::string>{maker.path});

    ASSERT_EQ(maker.creates, 1);
    EXPECT_EQ(Utf8(maker.layout.header), kHeader);
    EXPECT_EQ(maker.layout.rowsPerSheet, 1048576);
    EXPECT_TRUE(maker.committed);
    EXPECT_FALSE(maker.discarded);
    ASSERT_EQ(maker.sheets.size(), 1u);
    const auto& sheet = maker.sheets[0];
    ASSERT_EQ(sheet.size(), 4u);
    EXPECT_EQ(sheet[0], kHeader);
    EXPECT_EQ(sheet[1], (MemoryRow{"0001", "张三", "Fujitsu", "fi-7160", "2015年3月7日14时5分9秒", "李四",
                                   "PaperStream Capture", "JPG", "0001.jpg", jpegSize, "8*8", "300", "真彩色", "75%"}));
    // Directories come after the files of their parent, the last one pushed first;
    // the text file after a JPEG shows the values of a file that is no image.
    EXPECT_EQ(sheet[2], (MemoryRow{"0003", "张三", "Fujitsu", "fi-7160", sheet[2][4], "李四", "PaperStream Capture",
                                   "TXT", "0003.txt", "12", "0*0", "96", "真彩色", "90%"}));
    EXPECT_EQ(sheet[3][8], "0002.jpg");
    EXPECT_EQ(sheet[3][10], "16*4");
    EXPECT_EQ(sheet[3][11], "300");
    EXPECT_EQ(sheet[3][12], "256色");
    EXPECT_EQ(sheet[3][13], "40%");
    EXPECT_EQ(window.progress, (std::vector<std::pair<std::int64_t, std::int64_t>>{{1, 3}, {2, 3}, {3, 3}}));
}

// After the completion box: the notes, an empty status, the button, and
// only then the workbook handed over and the window out of the way.
TEST_F(ExtractionRunTest, CompletedRunSavesBeforeTellingAndHandsTheWorkbookOverLast) {
    tree.File("scan/1.txt", "x");

    ASSERT_EQ(Run().outcome, RunOutcome::Completed);

    const std::vector<std::string> tail(window.events.end() - 7, window.events.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"saving", "message", "notes", "status:", "start:on", "open", "minimise"}));
}

TEST_F(ExtractionRunTest, FolderWithoutFilesSavesTheHeaderOnly) {
    tree.Directory("scan/empty/deeper");

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(window.statuses.at(1), "共找到0个文件，下面开始提取元数据，请耐心等待...");
    EXPECT_EQ(window.statuses.at(3), "开始导出表头...成功");
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, CompletionText(0));
    EXPECT_TRUE(window.minimised);
    EXPECT_TRUE(maker.committed);
    ASSERT_EQ(maker.sheets.size(), 1u);
    EXPECT_EQ(maker.sheets[0], std::vector<MemoryRow>{kHeader});
}

TEST_F(ExtractionRunTest, EveryValueIsHandedOverExactlyAsDerived) {
    tree.File("scan/0001.txt", "a");
    tree.File("scan/=x.txt", "b");
    window.facts = Facts("=1+1", "", "fi-7160", "李四", "12345678901234567890");

    ASSERT_EQ(Run().outcome, RunOutcome::Completed);

    const auto rows = maker.FileRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "0001");
    EXPECT_EQ(rows[1][0], "=x");
    EXPECT_EQ(rows[0][1], "=1+1");
    EXPECT_EQ(rows[0][2], "");  // an empty box is an empty cell, not a skipped one
    EXPECT_EQ(rows[0][6], "12345678901234567890");
}

TEST_F(ExtractionRunTest, WorkbookThatCannotBeCreatedIsToldWithPathAndReason) {
    tree.File("scan/0001.txt", "a");
    maker.createFailure = sheet::WorkbookFailure{"/documents/Quillmere/scan-元数据-20150307-140509.xlsx", "文件系统只读"};

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::CreateFailed);
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text,
              "无法创建工作簿：/documents/Quillmere/scan-元数据-20150307-140509.xlsx（文件系统只读）");
    EXPECT_EQ(window.messages[0].kind, MessageKind::Warning);
    // The window stays usable: the operator can fix the folder and start again.
    EXPECT_TRUE(window.startEnabled);
    EXPECT_EQ(window.statuses.back(), "共找到1个文件，下面开始提取元数据，请耐心等待...");
    EXPECT_FALSE(window.minimised);
    EXPECT_TRUE(window.log.empty());
    EXPECT_TRUE(window.opened.empty());
}

TEST_F(ExtractionRunTest, FailedSaveIsToldInsteadOfTheCompletionMessage) {
    for (const int atRow : {0, 2}) {
        SCOPED_TRACE(atRow ? "a row fails" : "the commit fails");
        FakeWindow fresh;
        window = fresh;
        window.SetFolderUtf8(Scan());
        window.startEnabled = true;
        window.pathLogWanted = true;
        tree.File("scan/1.txt", "x");
        tree.File("scan/2.txt", "x");
        tree.File("scan/3.txt", "x");
        maker.failAtRow = atRow;
        maker.commitFailure.reset();
        if (atRow == 0) maker.commitFailure = sheet::WorkbookFailure{"/out/批次.xlsx", "磁盘空间不足"};
        maker.rowFailure = {"/out/批次.xlsx", "磁盘空间不足"};

        const RunResult result = Run();

        EXPECT_EQ(result.outcome, RunOutcome::SaveFailed);
        EXPECT_FALSE(result.saved);
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].text, "工作簿保存失败：/out/批次.xlsx（磁盘空间不足）");
        EXPECT_EQ(window.messages[0].kind, MessageKind::Warning);
        EXPECT_FALSE(window.minimised);
        EXPECT_EQ(window.status, Text());
        EXPECT_TRUE(window.startEnabled);
        EXPECT_TRUE(window.opened.empty());
        EXPECT_FALSE(maker.committed);
        EXPECT_TRUE(maker.discarded);
        if (atRow == 2) {
            EXPECT_EQ(result.filesWritten, 1);
            EXPECT_EQ(window.LogUtf8(), Scan("1.txt") + "\r\n");  // the log shows how far it came
        }
    }
}

TEST_F(ExtractionRunTest, WorkbookTheDesktopCannotOpenIsToldWithItsPathAndTheWindowStays) {
    tree.File("scan/1.txt", "x");
    window.openSucceeds = false;

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_TRUE(result.saved);
    ASSERT_EQ(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[0].text, CompletionText(1));
    EXPECT_EQ(window.messages[1].kind, MessageKind::Warning);
    EXPECT_NE(window.messages[1].text.find(maker.path), std::string::npos) << window.messages[1].text;
    EXPECT_FALSE(window.minimised);
    EXPECT_TRUE(window.startEnabled);
    EXPECT_EQ(window.status, Text());
}

TEST_F(ExtractionRunTest, ClosedWhileTheCompletionBoxIsUpHandsNothingOver) {
    tree.File("scan/1.txt", "x");
    window.onMessage = [this] { window.closeRequested = true; };

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_TRUE(maker.committed);
    EXPECT_TRUE(window.opened.empty());
    EXPECT_FALSE(window.minimised);
    EXPECT_EQ(window.messages.size(), 1u);
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
        window.SetFolderUtf8(c.folder);
        window.startEnabled = true;

        EXPECT_EQ(Run().outcome, RunOutcome::NotStarted) << c.folder;
        ASSERT_EQ(window.messages.size(), 1u) << c.folder;
        EXPECT_EQ(window.messages[0].text, c.message);
        EXPECT_EQ(window.messages[0].kind, MessageKind::Warning);
        EXPECT_TRUE(window.startEnabled);
        EXPECT_TRUE(window.statuses.empty());
        EXPECT_EQ(maker.creates, 0);
    }
}

TEST_F(ExtractionRunTest, BatchFactTypedDuringTheRunAppliesFromTheNextRow) {
    for (const char* name : {"1.txt", "2.txt", "3.txt"}) tree.File(std::string("scan/") + name, "x");
    window.onProcessEvents = [this] {
        if (window.statuses.back() == "文件总数：3，正在提取第2个文件的元数据...") {
            window.facts.scanner = TextFromUtf8("王五");
        }
    };

    ASSERT_EQ(Run().outcome, RunOutcome::Completed);

    const auto rows = maker.FileRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], "张三");
    EXPECT_EQ(rows[1][1], "王五");
    EXPECT_EQ(rows[2][1], "王五");
    EXPECT_EQ(window.batchFactReads, 3);  // once per row
}

TEST_F(ExtractionRunTest, WantedPathLogListsEachPathUntilTheRunCompletes) {
    tree.File("scan/1.txt", "x");
    tree.File("scan/2.txt", "x");
    window.pathLogWanted = true;
    std::string logAtSecondFile;
    window.onProcessEvents = [&] {
        if (window.statuses.back() == "文件总数：2，正在提取第2个文件的元数据...") logAtSecondFile = window.LogUtf8();
    };

    ASSERT_EQ(Run().outcome, RunOutcome::Completed);

    // The first file's line was appended after its row, before the second file's status.
    EXPECT_EQ(logAtSecondFile, Scan("1.txt") + "\r\n");
    EXPECT_EQ(window.log, NotesText());
}

TEST_F(ExtractionRunTest, PathLogTickedMidRunListsFromTheNextFileOn) {
    for (const char* name : {"1.txt", "2.txt", "3.txt"}) tree.File(std::string("scan/") + name, "x");
    std::string logBeforeCompletion;
    window.onProcessEvents = [&] {
        if (window.statuses.back() == "文件总数：3，正在提取第2个文件的元数据...") window.pathLogWanted = true;
        if (window.statuses.back() == "文件总数：3，正在提取第3个文件的元数据...") logBeforeCompletion = window.LogUtf8();
    };

    ASSERT_EQ(Run().outcome, RunOutcome::Completed);

    EXPECT_EQ(logBeforeCompletion, Scan("2.txt") + "\r\n");
}

TEST_F(ExtractionRunTest, LayoutAsksForANewSheetWhenOneIsFull) {
    for (int i = 1; i <= 5; ++i) tree.File("scan/" + std::to_string(i) + ".txt", "x");

    const RunResult result = Run({.pool = FixedPreparePool(2), .rowsPerSheet = 3});

    EXPECT_EQ(result.filesWritten, 5);
    EXPECT_EQ(maker.layout.rowsPerSheet, 3);
    EXPECT_EQ(window.messages.at(0).text, CompletionText(5));
    ASSERT_EQ(maker.sheets.size(), 3u);
    const std::vector<std::vector<std::string>> expectedNames = {{"1.txt", "2.txt"}, {"3.txt", "4.txt"}, {"5.txt"}};
    for (std::size_t s = 0; s < 3; ++s) {
        EXPECT_EQ(maker.sheets[s][0], kHeader);
        ASSERT_EQ(maker.sheets[s].size(), expectedNames[s].size() + 1);
        for (std::size_t r = 0; r < expectedNames[s].size(); ++r) EXPECT_EQ(maker.sheets[s][r + 1][8], expectedNames[s][r]);
    }
}

TEST_F(ExtractionRunTest, FilesNoDecoderAcceptedAreReportedWithTheProbesReason) {
    tree.File("scan/1.jpg", MakeJpeg({}));
    tree.File("scan/2.txt", "not an image");

    ASSERT_EQ(Run().outcome, RunOutcome::Completed);

    ASSERT_EQ(window.notRead.size(), 1u);
    EXPECT_EQ(window.notRead[0].first, Scan("2.txt"));
    EXPECT_FALSE(window.notRead[0].second.empty());
}

TEST(ExtractionRunFolders, FoldersThatCannotBeReadAreNamedAndCountedInTheCompletionMessage) {
    MemoryFileSystem fs;
    const std::string jpeg = MakeJpeg({});
    fs.AddFileWithBytes("/scan/0001.jpg", std::vector<unsigned char>(jpeg.begin(), jpeg.end()));
    fs.AddFile("/scan/locked/inner.jpg");
    fs.MakeUnreadable("/scan/locked");
    fs.AddFile("/scan/share/a.jpg");
    fs.AddFile("/scan/share/b.jpg");
    fs.BreakListingAfter("/scan/share", 1, "Input/output error");
    FakeWindow window;
    window.SetFolderUtf8("/scan");
    MemoryWorkbookMaker maker;

    const RunResult result = RunExtraction(window, fs, maker, RunSettings{});

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(result.fileCount, 2);  // 0001.jpg and the a.jpg read before the error
    EXPECT_EQ(result.unreadFolders, 2);
    EXPECT_EQ(window.unreadFolders, (std::vector<std::pair<std::string, std::string>>{
                                        {"/scan/share/", "Input/output error"},
                                        {"/scan/locked/", "Permission denied"},
                                    }));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "提取元数据完成，本次共提取2个文件的元数据信息。\n" + maker.path +
                                           "\n有2个文件夹无法读取，其中的文件未能全部提取。");
}

TEST(ExtractionRunFolders, EveryFolderReadLeavesTheCompletionMessageAsItIs) {
    MemoryFileSystem fs;
    fs.AddFile("/scan/a/0001.jpg");
    FakeWindow window;
    window.SetFolderUtf8("/scan");
    MemoryWorkbookMaker maker;
    const RunResult result = RunExtraction(window, fs, maker, RunSettings{});
    EXPECT_EQ(result.unreadFolders, 0);
    EXPECT_TRUE(window.unreadFolders.empty());
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "提取元数据完成，本次共提取1个文件的元数据信息。\n" + maker.path);
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

    std::vector<std::vector<MemoryRow>> runs;
    for (const int jobs : {0, 1, 8}) {
        const RunResult result = Run({.pool = FixedPreparePool(jobs), .rowsPerSheet = kRowsPerSheet});
        ASSERT_EQ(result.outcome, RunOutcome::Completed) << jobs << " workers";
        ASSERT_EQ(result.filesWritten, kFiles);
        ASSERT_EQ(maker.sheets.size(), 2u) << jobs << " workers";
        runs.push_back(maker.FileRows());
    }
    // The probes really ran: pixel size and resolution of one file of each kind.
    const auto rowNamed = [&](const std::string& name) -> MemoryRow {
        for (const MemoryRow& row : runs[0]) {
            if (row[8] == name) return row;
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
        const MemoryRow row = rowNamed(probed.name);
        ASSERT_EQ(row.size(), 14u) << probed.name;
        EXPECT_EQ(row[10], probed.size) << probed.name;
        EXPECT_EQ(row[11], probed.dpi) << probed.name;
    }
    for (std::size_t run = 1; run < runs.size(); ++run) {
        ASSERT_EQ(runs[run].size(), runs[0].size());
        for (std::size_t row = 0; row < runs[0].size(); ++row) EXPECT_EQ(runs[run][row], runs[0][row]) << "run " << run << " row " << row;
    }
}

TEST_F(ExtractionRunTest, ClosingTheWindowMidRunSavesTheRowsWrittenAndAsksNothing) {
    for (const char* name : {"1.txt", "2.txt", "3.txt"}) tree.File(std::string("scan/") + name, "x");
    window.onProcessEvents = [this] {
        if (window.statuses.back() == "文件总数：3，正在提取第2个文件的元数据...") window.closeRequested = true;
    };

    const RunResult result = Run({.pool = FixedPreparePool(2)});

    EXPECT_EQ(result.outcome, RunOutcome::Interrupted);
    EXPECT_TRUE(result.saved);
    EXPECT_EQ(result.filesWritten, 2);
    EXPECT_TRUE(window.messages.empty());
    EXPECT_TRUE(window.opened.empty());
    EXPECT_TRUE(maker.committed);
    const auto rows = maker.FileRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][8], "2.txt");
}

TEST_F(ExtractionRunTest, StopThatSavesNothingDiscardsTheRows) {
    for (const char* name : {"1.txt", "2.txt", "3.txt"}) tree.File(std::string("scan/") + name, "x");
    window.onProcessEvents = [this] {
        if (window.statuses.back() == "文件总数：3，正在提取第2个文件的元数据...") window.closeRequested = true;
    };

    const RunResult result = Run({.pool = {}, .rowsPerSheet = sheet::kSheetRowLimit, .whenStopped = WhenStopped::SaveNothing});

    EXPECT_EQ(result.outcome, RunOutcome::Interrupted);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.filesWritten, 2);
    EXPECT_FALSE(maker.committed);
    EXPECT_TRUE(maker.discarded);
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(ExtractionRunTest, ClosedDuringTheScanCreatesNoWorkbook) {
    tree.File("scan/A/1.txt", "x");
    window.onProcessEvents = [this] { window.closeRequested = true; };

    const RunResult result = Run();

    EXPECT_EQ(result.outcome, RunOutcome::Interrupted);
    EXPECT_EQ(maker.creates, 0);
    EXPECT_TRUE(window.messages.empty());
}

// The save runs on a thread of its own while the run keeps the window's
// events turning; a close asked for meanwhile waits for the save, then the
// run ends as a close during the rows ends it.
class SaveBesideEventsTest : public ExtractionRunTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SaveBesideEventsTest, TheWindowsEventsTurnWhileTheWorkbookIsSaved) {
    const bool closeDuringSave = GetParam();
    for (const char* name : {"1.txt", "2.txt"}) tree.File(std::string("scan/") + name, "x");
    std::atomic<bool> saving{false};
    std::atomic<int> turnsDuringSave{0};
    std::thread::id commitThread;
    // The commit lasts until the window has turned three times (or ten seconds have passed).
    maker.onCommit = [&] {
        commitThread = std::this_thread::get_id();
        saving = true;
        for (int waited = 0; turnsDuringSave < 3 && waited < 10000; ++waited) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        saving = false;
    };
    window.onProcessEvents = [&] {
        if (!saving) return;
        if (++turnsDuringSave == 2 && closeDuringSave) window.closeRequested = true;
    };

    const RunResult result = Run();

    EXPECT_NE(commitThread, std::this_thread::get_id());
    EXPECT_GE(turnsDuringSave.load(), 3);
    EXPECT_TRUE(result.saved);
    EXPECT_TRUE(maker.committed);
    EXPECT_EQ(maker.FileRows().size(), 2u);
    if (closeDuringSave) {
        EXPECT_EQ(result.outcome, RunOutcome::Interrupted);
        EXPECT_TRUE(window.messages.empty());
        EXPECT_TRUE(window.opened.empty());
        EXPECT_FALSE(window.minimised);
    } else {
        EXPECT_EQ(result.outcome, RunOutcome::Completed);
        ASSERT_EQ(window.messages.size(), 1u);
        EXPECT_EQ(window.messages[0].text, CompletionText(2));
        EXPECT_EQ(window.opened, std::vector<std::string>{maker.path});
    }
}

INSTANTIATE_TEST_SUITE_P(LeftAloneOrClosed, SaveBesideEventsTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "ClosedDuringTheSave" : "LeftAlone");
                         });

TEST_F(ExtractionRunTest, ASaveOnTheRunThreadTurnsNoEvents) {
    tree.File("scan/1.txt", "x");
    std::thread::id commitThread;
    int turnsBeforeTheSave = -1;
    maker.onCommit = [&] {
        commitThread = std::this_thread::get_id();
        turnsBeforeTheSave = window.processEventsCalls;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };

    RunSettings settings;
    settings.saveThread = SaveThread::RunThread;
    const RunResult result = Run(settings);

    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(commitThread, std::this_thread::get_id());
    EXPECT_EQ(window.processEventsCalls, turnsBeforeTheSave);
}

class WindowHandlersTest : public ExtractionRunTest {
protected:
    void SetUp() override {
        ExtractionRunTest::SetUp();
        window.folder = Text();
        window.startEnabled = false;
    }
    WindowHandlers handlers{window, fs, maker, RunSettings{}};
};

TEST_F(WindowHandlersTest, ChoosingAFolderFillsTheBoxAndEnablesTheButton) {
    handlers.ShowNotesText();
    EXPECT_EQ(window.log, NotesText());
    EXPECT_TRUE(TextToUtf8(NotesText()).starts_with("\r\n重要说明"));

    window.chooserAnswer = TextFromUtf8(Scan());
    handlers.ChooseImageFolder();
    EXPECT_EQ(window.FolderUtf8(), Scan());
    EXPECT_TRUE(window.startEnabled);

    // Cancelling empties the box and leaves the button as it was.
    window.chooserAnswer = Text();
    handlers.ChooseImageFolder();
    EXPECT_EQ(window.FolderUtf8(), "");
    EXPECT_TRUE(window.startEnabled);
}

TEST_F(WindowHandlersTest, CancelledChooserLeavesADisabledButtonDisabled) {
    window.chooserAnswer = Text();
    handlers.ChooseImageFolder();
    EXPECT_FALSE(window.startEnabled);
}

TEST_F(WindowHandlersTest, FolderChosenDuringARunEnablesTheButtonOnlyAfterIt) {
    tree.File("scan/1.txt", "x");
    window.SetFolderUtf8(Scan());
    window.startEnabled = true;
    bool checkedDuringRun = false;
    window.onProcessEvents = [&] {
        if (checkedDuringRun || window.statuses.back() != "文件总数：1，正在提取第1个文件的元数据...") return;
        checkedDuringRun = true;
        window.chooserAnswer = TextFromUtf8(tree.Path("other"));
        handlers.ChooseImageFolder();
        EXPECT_EQ(window.FolderUtf8(), tree.Path("other"));
        EXPECT_FALSE(window.startEnabled);
        // A second click while the run goes on starts nothing.
        EXPECT_EQ(handlers.StartExtraction().outcome, RunOutcome::NotStarted);
    };

    const RunResult result = handlers.StartExtraction();

    EXPECT_TRUE(checkedDuringRun);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(maker.creates, 1);
    EXPECT_TRUE(window.startEnabled);
}

}  // namespace
}  // namespace quillmere::workflow
