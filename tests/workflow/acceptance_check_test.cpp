// The acceptance check over whole runs in memory: a clean tree passes every
// rule, and each rule finds exactly the fault planted for it. The page
// sequence rule is also checked on its own over made-up rows.

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "../support/fake_window.h"
#include "../support/jpeg_fixture.h"
#include "../support/memory_workbook.h"
#include "runtime/memory_file_system.h"
#include "runtime/text_encoding.h"
#include "tests/support/fixture_writers.h"
#include "workflow/acceptance_check.h"
#include "workflow/acceptance_report.h"
#include "workflow/extraction_run.h"

namespace quillmere::workflow {
namespace {

namespace fixtures = quillmere::image::fixtures;
using quillmere::testing::FakeWindow;
using quillmere::testing::MemoryRow;
using quillmere::testing::MemorySheet;
using quillmere::testing::MemoryWorkbookMaker;

std::vector<unsigned char> BytesOf(const std::string& text) { return {text.begin(), text.end()}; }

// A colour scan at 300 dpi, quality 75; width makes each page's bytes its own.
std::vector<unsigned char> Scan(int width, int density = 300, int components = 3, int quality = 75) {
    return BytesOf(quillmere::testing::MakeJpeg({.width = width,
                                                 .height = 8,
                                                 .components = components,
                                                 .densityUnit = 1,
                                                 .density = density,
                                                 .quality = quality}));
}

// Three pages of A001, catalogued.
void CleanTree(MemoryFileSystem& fs) {
    fs.AddFileWithBytes("/scan/A001/A001-0001.jpg", Scan(8));
    fs.AddFileWithBytes("/scan/A001/A001-0002.jpg", Scan(9));
    fs.AddFileWithBytes("/scan/A001/A001-0003.jpg", Scan(10));
    fs.AddFileWithBytes("/rules/目录.csv", BytesOf("档号,页数\nA001,3\n"));
}

const char* const kEveryRule =
    "[验收要求]\n最低分辨率 = 300\n色彩模式 = 真彩色\n格式 = JPG\n最低JPEG质量 = 75\n检查文件 = 是\n"
    "格式一致 = 是\n页号 = 是\n重复页面 = 是\n目录 = 目录.csv\n摘要 = 是\n";

struct Checked {
    RunResult result;
    MemoryWorkbookMaker maker;
    FakeWindow window;

    const MemorySheet* Sheet(const std::string& name) const {
        for (const auto& [sheetName, sheet] : maker.namedSheets) {
            if (sheetName == name) return &sheet;
        }
        return nullptr;
    }
    // The findings' rows, header left out.
    std::vector<MemoryRow> Findings() const {
        const MemorySheet* sheet = Sheet("检验结果");
        return sheet ? std::vector<MemoryRow>(sheet->begin() + 1, sheet->end()) : std::vector<MemoryRow>{};
    }
};

void RunChecked(MemoryFileSystem& fs, const std::string& rulesText, Checked& checked, int jobs = 0) {
    fs.AddFileWithBytes("/rules/验收.ini", BytesOf(rulesText));
    const RulesReading rules = LoadAcceptanceRules(fs, "/rules/验收.ini");
    ASSERT_TRUE(rules.rules) << rules.failure.line << rules.failure.reason;
    checked.window.SetFolderUtf8("/scan");
    RunSettings settings;
    settings.pool = FixedPreparePool(jobs);
    settings.acceptance = *rules.rules;
    checked.result = RunExtraction(checked.window, fs, checked.maker, settings);
}

TEST(AcceptanceCheck, ACleanTreePassesEveryRule) {
    for (const int jobs : {0, 2}) {
        SCOPED_TRACE(jobs);
        MemoryFileSystem fs;
        CleanTree(fs);
        Checked checked;
        RunChecked(fs, kEveryRule, checked, jobs);
        ASSERT_EQ(checked.result.outcome, RunOutcome::Completed);
        EXPECT_EQ(checked.result.findings, 0);
        EXPECT_TRUE(checked.Findings().empty());
        // The rows' own sheet is untouched: three file rows, fourteen columns.
        ASSERT_EQ(checked.maker.FileRows().size(), 3u);
        EXPECT_EQ(checked.maker.sheets.front().front().size(), 14u);

        std::vector<std::string> names;
        for (const auto& [name, sheet] : checked.maker.namedSheets) names.push_back(name);
        EXPECT_EQ(names, (std::vector<std::string>{"检验结果", "检验汇总", "文件摘要"}));
        EXPECT_EQ(checked.Sheet("检验结果")->front(),
                  (MemoryRow{"档号", "计算机文件名", "相对路径", "检验项", "要求", "实际"}));

        const MemorySheet& summary = *checked.Sheet("检验汇总");
        EXPECT_EQ(summary.front(), (MemoryRow{"检验项", "要求", "问题数"}));
        EXPECT_EQ(summary[1], (MemoryRow{"分辨率", "不低于300DPI", "0"}));
        EXPECT_EQ(summary[summary.size() - 3], (MemoryRow{"检验文件数", "", "3"}));
        EXPECT_EQ(summary[summary.size() - 2], (MemoryRow{"问题总数", "", "0"}));
        EXPECT_EQ(summary.back(), (MemoryRow{"结论", "", "合格"}));
        EXPECT_EQ(summary.size(), 1u + 18u + 3u);  // every item listed once, with the totals

        const MemorySheet& digests = *checked.Sheet("文件摘要");
        ASSERT_EQ(digests.size(), 4u);
        EXPECT_EQ(digests[1][0], "A001");
        EXPECT_EQ(digests[1][2], "A001/A001-0001.jpg");
        EXPECT_EQ(digests[1][3], std::to_string(fs.Status("/scan/A001/A001-0001.jpg").size));
        EXPECT_EQ(digests[1][4].size(), 64u);
        EXPECT_EQ(digests[1][5].size(), 64u);

        ASSERT_EQ(checked.maker.companionFiles.size(), 1u);
        EXPECT_EQ(checked.maker.companionFiles[0].first, ".sha256");
        EXPECT_EQ(checked.maker.companionFiles[0].second, digests[1][5] + "  A001/A001-0001.jpg\n" + digests[2][5] +
                                                              "  A001/A001-0002.jpg\n" + digests[3][5] +
                                                              "  A001/A001-0003.jpg\n");

        ASSERT_EQ(checked.window.messages.size(), 1u);
        EXPECT_EQ(checked.window.messages[0].text,
                  "提取元数据完成，本次共提取3个文件的元数据信息。\n验收检查：全部合格。\n" + checked.maker.path);
    }
}

struct PlantedFault {
    const char* name;
    const char* rules;  // the rule under test alone
    std::function<void(MemoryFileSystem&)> plant;
    std::vector<MemoryRow> findings;  // exact; an 实际 ending in "…" is matched as a prefix
};

std::vector<PlantedFault> PlantedFaults() {
    return {
        {"分辨率",
         "最低分辨率 = 300",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-0002.jpg", Scan(9, 200)); },
         {{"A001", "A001-0002.jpg", "A001/A001-0002.jpg", "分辨率", "不低于300DPI", "200DPI"}}},
        {"色彩模式",
         "色彩模式 = 真彩色",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-0002.jpg", Scan(9, 300, 1)); },
         {{"A001", "A001-0002.jpg", "A001/A001-0002.jpg", "色彩模式", "真彩色", "256色"}}},
        {"格式",
         "格式 = JPG, JPEG",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-0004.png", fixtures::WritePng({})); },
         {{"A001", "A001-0004.png", "A001/A001-0004.png", "格式", "JPG、JPEG", "PNG"}}},
        {"扩展名与内容",
         "检查文件 = 是",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-0002.jpg", fixtures::WritePng({})); },
         {{"A001", "A001-0002.jpg", "A001/A001-0002.jpg", "扩展名与内容", "内容与扩展名相符",
           "扩展名为JPG，内容为PNG图像"}}},
        {"JPEG质量",
         "最低JPEG质量 = 75",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-0002.jpg", Scan(9, 300, 3, 50)); },
         {{"A001", "A001-0002.jpg", "A001/A001-0002.jpg", "JPEG质量", "不低于75%", "50%"}}},
        {"空文件",
         "检查文件 = 是",
         [](MemoryFileSystem& fs) { fs.AddFile("/scan/A001/A001-0004.jpg", 0); },
         {{"A001", "A001-0004.jpg", "A001/A001-0004.jpg", "空文件", "文件不为空", "0字节"}}},
        {"无法识别",
         "检查文件 = 是",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-0004.tif", BytesOf("II*\0 broken")); },
         {{"A001", "A001-0004.tif", "A001/A001-0004.tif", "无法识别", "能识别为图像", "无法解码：…"}}},
        {"非图像文件",
         "检查文件 = 是",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/Thumbs.db", BytesOf("cache")); },
         {{"Thumbs", "Thumbs.db", "A001/Thumbs.db", "非图像文件", "只含图像文件", "DB文件"}}},
        {"格式一致",
         "格式一致 = 是",
         [](MemoryFileSystem& fs) {
             fixtures::TiffPage page;
             fs.AddFileWithBytes("/scan/A001/A001-0004.tif", fixtures::WriteTiff({page}));
         },
         {{"A001", "A001-0004.tif", "A001/A001-0004.tif", "格式一致", "与本批主要格式JPG一致", "TIF"}}},
        {"命名",
         "页号 = 是",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-封面.jpg", Scan(11)); },
         {{"A001-封面", "A001-封面.jpg", "A001/A001-封面.jpg", "命名", "档号加页号（页号为数字，从1起）",
           "文件名不以页号结尾"}}},
        {"缺页",
         "页号 = 是",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-0005.jpg", Scan(11)); },
         {{"A001", "", "A001/", "缺页", "页号0001至0005连续", "缺第0004页"}}},
        {"页号重复",
         "页号 = 是",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/补扫/A001-0002.jpg", Scan(12)); },
         {{"A001", "A001-0002.jpg", "A001/补扫/A001-0002.jpg", "页号重复", "页号只出现一次",
           "页号0002与A001/A001-0002.jpg相同"}}},
        {"页号位数",
         "页号 = 是",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-004.jpg", Scan(12)); },
         {{"A001", "A001-004.jpg", "A001/A001-004.jpg", "页号位数", "页号4位", "3位（004）"}}},
        {"重复页面（同一档号）",
         "重复页面 = 是",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A001/A001-0003.jpg", Scan(8)); },
         {{"A001", "A001-0003.jpg", "A001/A001-0003.jpg", "重复页面", "同一档号内无重复页面",
           "与A001/A001-0001.jpg内容相同"}}},
        // The scan takes the later folder first, so A002's copy is the one the other is compared with.
        {"重复页面（不同档号）",
         "重复页面 = 是",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A002/A002-0001.jpg", Scan(9)); },
         {{"A001", "A001-0002.jpg", "A001/A001-0002.jpg", "重复页面", "不同档号间无重复页面",
           "与A002/A002-0001.jpg内容相同（档号A002）"}}},
        {"目录页数",
         "目录 = 目录.csv",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/rules/目录.csv", BytesOf("档号,页数\nA001,4\n")); },
         {{"A001", "", "A001/", "目录页数", "页数4（目录第2行）", "3个图像文件"}}},
        {"目录无图像",
         "目录 = 目录.csv",
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/rules/目录.csv", BytesOf("档号,页数\nA001,3\nA002,5\n")); },
         {{"A002", "", "", "目录无图像", "页数5（目录第3行）", "没有图像文件"}}},
        {"图像无目录",
         "目录 = 目录.csv",
         // Named by page number alone: the folder gives the archive number.
         [](MemoryFileSystem& fs) { fs.AddFileWithBytes("/scan/A002/0001.jpg", Scan(20)); },
         {{"A002", "", "A002/", "图像无目录", "档号列在目录中", "1个图像文件，目录中没有此档号"}}},
        {"摘要",
         "摘要 = 是",
         [](MemoryFileSystem& fs) { fs.AddSpecialFile("/scan/A001/pipe"); },
         {{"A001", "pipe", "A001/pipe", "摘要", "能完整读取并计算摘要", "不是普通文件"}}},
    };
}

bool CellMatches(const std::string& actual, const std::string& expected) {
    constexpr std::string_view kAnyRest = "…";
    if (std::string_view(expected).ends_with(kAnyRest)) {
        return actual.starts_with(expected.substr(0, expected.size() - kAnyRest.size()));
    }
    return actual == expected;
}

TEST(AcceptanceCheck, EachRuleFindsExactlyItsPlantedFault) {
    for (const PlantedFault& fault : PlantedFaults()) {
        SCOPED_TRACE(fault.name);
        MemoryFileSystem fs;
        CleanTree(fs);
        fault.plant(fs);
        Checked checked;
        RunChecked(fs, std::string("[验收要求]\n") + fault.rules + "\n", checked);
        ASSERT_EQ(checked.result.outcome, RunOutcome::Completed);
        const std::vector<MemoryRow> findings = checked.Findings();
        ASSERT_EQ(findings.size(), fault.findings.size());
        for (std::size_t i = 0; i < findings.size(); ++i) {
            ASSERT_EQ(findings[i].size(), 6u);
            for (std::size_t column = 0; column < 6; ++column) {
                EXPECT_TRUE(CellMatches(findings[i][column], fault.findings[i][column]))
                    << "column " << column << ": " << findings[i][column] << " vs " << fault.findings[i][column];
            }
        }
        EXPECT_EQ(checked.result.findings, static_cast<std::int64_t>(fault.findings.size()));
        ASSERT_EQ(checked.window.messages.size(), 1u);
        EXPECT_NE(checked.window.messages[0].text.find("验收检查：发现1个问题，见工作表“检验结果”。\n"),
                  std::string::npos)
            << checked.window.messages[0].text;
        const MemorySheet& summary = *checked.Sheet("检验汇总");
        EXPECT_EQ(summary.back(), (MemoryRow{"结论", "", "不合格"}));
    }
}

TEST(AcceptanceCheck, WithoutRulesTheRunWritesNoReport) {
    MemoryFileSystem fs;
    CleanTree(fs);
    FakeWindow window;
    window.SetFolderUtf8("/scan");
    MemoryWorkbookMaker maker;
    const RunResult result = RunExtraction(window, fs, maker, RunSettings{});
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_FALSE(result.findings);
    EXPECT_TRUE(maker.namedSheets.empty());
    EXPECT_TRUE(maker.companionFiles.empty());
    EXPECT_EQ(window.messages.at(0).text, "提取元数据完成，本次共提取3个文件的元数据信息。\n" + maker.path);
}

TEST(AcceptanceCheck, AReportThatCannotBeWrittenSavesNothing) {
    MemoryFileSystem fs;
    CleanTree(fs);
    Checked checked;
    checked.maker.startSheetFailure = sheet::WorkbookFailure{checked.maker.path, "磁盘空间不足"};
    RunChecked(fs, "[验收要求]\n页号 = 是\n", checked);
    EXPECT_EQ(checked.result.outcome, RunOutcome::SaveFailed);
    EXPECT_FALSE(checked.maker.committed);
    EXPECT_TRUE(checked.maker.discarded);
    ASSERT_EQ(checked.window.messages.size(), 1u);
    EXPECT_EQ(checked.window.messages[0].text, "工作簿保存失败：" + checked.maker.path + "（磁盘空间不足）");
}

// ---- the page sequence over made-up rows ----

// A row with only the columns the check reads filled in.
std::vector<Text> RowFor(const std::string& path) {
    const std::string name = path.substr(path.rfind('/') + 1);
    const std::size_t dot = name.rfind('.');
    std::vector<Text> row(14);
    row[0] = TextFromUtf8(name.substr(0, dot));
    row[7] = TextFromUtf8(name.substr(dot + 1));
    row[8] = TextFromUtf8(name);
    row[9] = Text("1000");
    row[11] = Text("300");
    row[12] = TextFromUtf8("真彩色");
    row[13] = Text("75%");
    return row;
}

// Paths held as a run's file list holds them: the check keeps them by reference.
std::deque<Text> PathTexts(const std::vector<std::string>& paths) {
    std::deque<Text> texts;
    for (const std::string& path : paths) texts.push_back(TextFromUtf8(path));
    return texts;
}

// The check over made-up rows of decoded JPEGs: every finding as its six
// texts, and how many files it kept.
struct CheckedRows {
    std::vector<std::vector<std::string>> findings;
    std::size_t filesKept = 0;
};

CheckedRows CheckRows(const AcceptanceRules& rules, const std::vector<std::string>& paths) {
    const std::deque<Text> pathTexts = PathTexts(paths);
    AcceptanceCheck check(rules, Text("/scan"));
    for (std::size_t i = 0; i < paths.size(); ++i) {
        check.AddFile(RowFor(paths[i]), pathTexts[i], {.decoded = true, .format = image::ImageFormat::Jpg});
    }
    check.Finish();
    EXPECT_EQ(check.FilesChecked(), static_cast<std::int64_t>(paths.size()));
    CheckedRows checked;
    for (std::size_t i = 0; i < check.FindingCount(); ++i) {
        const Finding finding = check.FindingAt(i);
        checked.findings.push_back({TextToUtf8(finding.archiveNumber), TextToUtf8(finding.fileName),
                                    TextToUtf8(finding.relativePath), CheckItemName(finding.item),
                                    TextToUtf8(finding.requirement), TextToUtf8(finding.actual)});
    }
    checked.filesKept = check.Files().size();
    return checked;
}

// The page sequence's findings without the file name column.
std::vector<std::vector<std::string>> SequenceFindings(const std::vector<std::string>& paths, int firstPage = 1) {
    AcceptanceRules rules;
    rules.pageSequence = true;
    rules.firstPage = firstPage;
    std::vector<std::vector<std::string>> findings = CheckRows(rules, paths).findings;
    for (std::vector<std::string>& finding : findings) finding.erase(finding.begin() + 1);
    return findings;
}

TEST(PageSequence, GapsRepeatsAndWidthsPerArchiveNumber) {
    const struct {
        const char* name;
        std::vector<std::string> paths;
        int firstPage;
        std::vector<std::vector<std::string>> findings;
    } cases[] = {
        {"complete, from stems", {"/scan/a/A-01.jpg", "/scan/a/A-02.jpg", "/scan/b/B-01.jpg"}, 1, {}},
        {"complete, from folder names", {"/scan/A/001.jpg", "/scan/A/002.jpg", "/scan/B/001.jpg"}, 1, {}},
        {"stem and folder naming the same archive number", {"/scan/A/001.jpg", "/scan/x/A-002.jpg"}, 1, {}},
        {"gaps",
         {"/scan/A-0002.jpg", "/scan/A-0005.jpg"},
         1,
         {{"A", "", "缺页", "页号0001至0005连续", "缺第0001页"},
          {"A", "", "缺页", "页号0001至0005连续", "缺第0003页"},
          {"A", "", "缺页", "页号0001至0005连续", "缺第0004页"}}},
        {"a long gap told once",
         {"/scan/d/A-0001.jpg", "/scan/d/A-9999.jpg"},
         1,
         {{"A", "d/", "缺页", "页号0001至9999连续", "缺第0002至9998页（共9997页）"}}},
        {"start 0", {"/scan/A-00.jpg", "/scan/A-01.jpg"}, 0, {}},
        {"start 1 with a page 0",
         {"/scan/A-00.jpg", "/scan/A-01.jpg"},
         1,
         {{"A", "A-00.jpg", "命名", "页号从1起", "页号00"}}},
        {"repeats, also by value across widths",
         {"/scan/A-01.jpg", "/scan/A-02.jpg", "/scan/x/A-02.jpg", "/scan/A-002.jpg"},
         1,
         {{"A", "x/A-02.jpg", "页号重复", "页号只出现一次", "页号02与A-02.jpg相同"},
          {"A", "A-002.jpg", "页号位数", "页号2位", "3位（002）"},
          {"A", "A-002.jpg", "页号重复", "页号只出现一次", "页号002与A-02.jpg相同"}}},
        {"mixed widths: the most common width is the archive's",
         {"/scan/A-1.jpg", "/scan/A-002.jpg", "/scan/A-003.jpg"},
         1,
         {{"A", "A-1.jpg", "页号位数", "页号3位", "1位（1）"}}},
        {"no page number",
         {"/scan/A-01.jpg", "/scan/A-封底.jpg"},
         1,
         {{"A-封底", "A-封底.jpg", "命名", "档号加页号（页号为数字，从1起）", "文件名不以页号结尾"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SequenceFindings(c.paths, c.firstPage), c.findings);
    }
}

// Findings keep what they name while the batch goes on: later files bring
// new formats and archive numbers, and a check of per-file rules alone
// keeps only the files that have findings.
TEST(AcceptanceCheckOverRows, EachFindingNamesItsOwnFileWhateverFollows) {
    const std::vector<std::string> paths = {"/scan/A-1.bmp",    "/scan/x/B-1.png", "/scan/C-1.jpg",  "/scan/D-1.gif",
                                            "/scan/档案-1.tif", "/scan/y/E-1.pcx", "/scan/F-1.wbmp", "/scan/G-1.jpeg"};
    for (const bool keepEveryFile : {false, true}) {
        SCOPED_TRACE(keepEveryFile);
        AcceptanceRules rules;
        rules.formats = std::vector<Text>{Text("jpg")};
        rules.pageSequence = keepEveryFile;  // one page 1 per archive: nothing to find
        const CheckedRows checked = CheckRows(rules, paths);
        const std::vector<std::vector<std::string>> expected = {
            {"A", "A-1.bmp", "A-1.bmp", "格式", "jpg", "bmp"},
            {"B", "B-1.png", "x/B-1.png", "格式", "jpg", "png"},
            {"D", "D-1.gif", "D-1.gif", "格式", "jpg", "gif"},
            {"档案", "档案-1.tif", "档案-1.tif", "格式", "jpg", "tif"},
            {"E", "E-1.pcx", "y/E-1.pcx", "格式", "jpg", "pcx"},
            {"F", "F-1.wbmp", "F-1.wbmp", "格式", "jpg", "wbmp"},
            {"G", "G-1.jpeg", "G-1.jpeg", "格式", "jpg", "jpeg"},
        };
        EXPECT_EQ(checked.findings, expected);
        EXPECT_EQ(checked.filesKept, keepEveryFile ? paths.size() : expected.size());
    }
}

// ---- the manifest ----

TEST(Sha256Manifest, PathsThatNeedItAreEscapedAsSha256sumDoes) {
    AcceptanceRules rules;
    rules.digests = true;
    const std::vector<std::string> paths = {"/scan/a/1.jpg", "/scan/a\\b.jpg", "/scan/c.jpg"};
    const std::deque<Text> pathTexts = PathTexts(paths);
    AcceptanceCheck check(rules, Text("/scan"));
    DigestResult digest{FileDigests{}, {}};
    digest.digests->sha256.fill(0xAB);
    const DigestResult failed{std::nullopt, "文件未能完整读取"};
    const DigestResult* digestOf[] = {&digest, &digest, &failed};
    for (std::size_t i = 0; i < paths.size(); ++i) {
        check.AddFile(RowFor(paths[i]), pathTexts[i], {.decoded = true, .digest = digestOf[i]});
    }
    check.Finish();
    std::string expected;
    for (std::size_t i = 0; i < 32; ++i) expected += "ab";
    EXPECT_EQ(Sha256Manifest(check), expected + "  a/1.jpg\n\\" + expected + "  a\\\\b.jpg\n");
    ASSERT_EQ(check.FindingCount(), 1u);
    EXPECT_EQ(check.FindingAt(0).item, CheckItem::Digest);
}

}  // namespace
}  // namespace quillmere::workflow
