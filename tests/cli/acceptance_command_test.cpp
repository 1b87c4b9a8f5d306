// The extractor with --rules and --digests: a refused rules file, exit 3 on
// findings, the report sheets read back with openpyxl, and a manifest that
// sha256sum -c verifies in the image folder.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../support/english_locale.h"
#include "../support/extractor_command.h"
#include "../support/jpeg_fixture.h"
#include "../support/temp_tree.h"
#include "../support/workbook_reader.h"

namespace quillmere::cli {
namespace {

using quillmere::testing::TempTree;

using CommandResult = quillmere::testing::CommandRun;
using quillmere::testing::RunExtractor;
using quillmere::testing::ShellQuoted;

std::string Scan(int width) {
    return quillmere::testing::MakeJpeg(
        {.width = width, .height = 8, .components = 3, .densityUnit = 1, .density = 300, .quality = 75});
}

// Two archive numbers; A002 lacks its page 2.
void Batch(const TempTree& tree) {
    tree.File("scan/A001/A001-0001.jpg", Scan(8));
    tree.File("scan/A001/A001-0002.jpg", Scan(9));
    tree.File("scan/A002/A002-0001.jpg", Scan(10));
    tree.File("scan/A002/A002-0003.jpg", Scan(11));
    tree.File("rules/目录.csv", "档号,页数\nA001,2\nA002,3\n");
    tree.File("rules/验收.ini",
              "[验收要求]\n最低分辨率 = 300\n检查文件 = 是\n页号 = 是\n重复页面 = 是\n目录 = 目录.csv\n");
}

TEST(AcceptanceCommand, ARulesFileNotUnderstoodIsRefusedWithItsLineAndNothingRuns) {
    TempTree tree;
    Batch(tree);
    tree.File("rules/bad.ini", "[验收要求]\n页号 = 是\n\n最低分辩率 = 300\n");
    const CommandResult result =
        RunExtractor({"--rules", tree.Path("rules/bad.ini"), "-o", tree.Path("out.xlsx"), tree.Path("scan")});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.output,
              "quillmere-extract: 检验要求文件" + tree.Path("rules/bad.ini") + "第4行：不认识的键“最低分辩率”\n");
    EXPECT_FALSE(std::filesystem::exists(tree.Path("out.xlsx")));

    const CommandResult missing =
        RunExtractor({"--rules", tree.Path("rules/none.ini"), "-o", tree.Path("out.xlsx"), tree.Path("scan")});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.output.find("无法读取检验要求文件"), std::string::npos) << missing.output;
}

TEST(AcceptanceCommand, AnEnglishRunRefusesTheRulesInEnglishKeepingTheFilesOwnWords) {
    if (testing::EnglishLocaleFolder().empty()) GTEST_SKIP() << "localedef could not make an English locale";
    TempTree tree;
    Batch(tree);
    tree.File("rules/bad.ini", "[验收要求]\n页号 = 是\n\n最低分辩率 = 300\n");
    tree.File("rules/value.ini", "[验收要求]\n最低JPEG质量 = 高\n");
    tree.File("rules/catalogue.ini", "[验收要求]\n目录 = 坏目录.csv\n");
    tree.File("rules/坏目录.csv", "档号,页数\nA001,二\n");
    const std::string english = testing::EnglishLocaleSettings();
    const struct {
        const char* rules;
        std::string line;
    } cases[] = {
        {"rules/bad.ini", "rules file " + tree.Path("rules/bad.ini") + ", line 4: unknown key \"最低分辩率\""},
        {"rules/value.ini", "rules file " + tree.Path("rules/value.ini") +
                                ", line 2: the value of \"最低JPEG质量\", \"高\", is not valid; it should be a whole "
                                "number from 1 to 100"},
        {"rules/catalogue.ini", "rules file " + tree.Path("rules/catalogue.ini") +
                                    ", line 2: line 2 of the catalogue file: \"页数\" is not a page count: \"二\" (" +
                                    tree.Path("rules/坏目录.csv") + ")"},
        {"rules/none.ini", "rules file " + tree.Path("rules/none.ini") + ": cannot read the rules file: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rules);
        const CommandResult result =
            RunExtractor({"--rules", tree.Path(c.rules), "-o", tree.Path("out.xlsx"), tree.Path("scan")}, english);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_TRUE(result.output.starts_with("quillmere-extract: " + c.line)) << result.output;
    }
}

TEST(AcceptanceCommand, FindingsExitThreeWithTheirSheetsBesideTheUnchangedRows) {
    TempTree tree;
    Batch(tree);
    const CommandResult plain = RunExtractor({"-o", tree.Path("plain.xlsx"), tree.Path("scan")});
    ASSERT_EQ(plain.exitCode, 0) << plain.output;
    const CommandResult result = RunExtractor(
        {"--rules", tree.Path("rules/验收.ini"), "--digests", "-o", tree.Path("out.xlsx"), tree.Path("scan")});
    EXPECT_EQ(result.exitCode, 3) << result.output;
    EXPECT_EQ(result.LastLine(), "验收检查：发现2个问题，见工作表“检验结果”。");

    const testing::Workbook book = testing::ReadWorkbook(tree.Path("out.xlsx"));
    ASSERT_TRUE(book.readable) << book.error;
    ASSERT_EQ(book.sheets.size(), 4u);
    EXPECT_EQ(book.sheets[1].name, "检验结果");
    EXPECT_EQ(book.sheets[2].name, "检验汇总");
    EXPECT_EQ(book.sheets[3].name, "文件摘要");
    // The fourteen-column sheet is exactly the one a run without rules writes.
    const testing::Workbook plainBook = testing::ReadWorkbook(tree.Path("plain.xlsx"));
    ASSERT_TRUE(plainBook.readable);
    EXPECT_EQ(book.sheets[0].rows.size(), plainBook.sheets[0].rows.size());
    for (std::size_t row = 1; row <= plainBook.sheets[0].rows.size(); ++row) {
        for (std::size_t column = 1; column <= 14; ++column) {
            EXPECT_EQ(book.sheets[0].At(row, column), plainBook.sheets[0].At(row, column));
        }
    }

    const testing::WorkbookSheet& findings = book.sheets[1];
    ASSERT_EQ(findings.rows.size(), 3u);
    const std::vector<std::vector<std::string>> expected = {
        {"档号", "计算机文件名", "相对路径", "检验项", "要求", "实际"},
        {"A002", "", "A002/", "缺页", "页号0001至0003连续", "缺第0002页"},
        {"A002", "", "A002/", "目录页数", "页数3（目录第3行）", "2个图像文件"},
    };
    for (std::size_t row = 0; row < expected.size(); ++row) {
        for (std::size_t column = 0; column < 6; ++column) {
            const std::string cell = findings.At(row + 1, column + 1);
            EXPECT_EQ(cell == "<none>" ? "" : cell, expected[row][column]) << row << "," << column;
        }
        if (row > 0) { EXPECT_EQ(findings.TypeAt(row + 1, 1), 's'); }
    }
    const testing::WorkbookSheet& summary = book.sheets[2];
    EXPECT_EQ(summary.At(summary.rows.size(), 1), "结论");
    EXPECT_EQ(summary.At(summary.rows.size(), 3), "不合格");
    EXPECT_EQ(summary.At(summary.rows.size() - 2, 3), "4");  // files checked
    const testing::WorkbookSheet& digests = book.sheets[3];
    ASSERT_EQ(digests.rows.size(), 5u);
    // One row per file, in the order of the rows' sheet.
    std::vector<std::string> paths;
    for (std::size_t row = 2; row <= digests.rows.size(); ++row) {
        paths.push_back(digests.At(row, 3));
        EXPECT_EQ(digests.At(row, 2), book.sheets[0].At(row, 9)) << row;
        EXPECT_EQ(digests.At(row, 6).size(), 64u) << row;
    }
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"A001/A001-0001.jpg", "A001/A001-0002.jpg", "A002/A002-0001.jpg",
                                               "A002/A002-0003.jpg"}));
}

TEST(AcceptanceCommand, TheManifestVerifiesTheDeliveryWithSha256sum) {
    TempTree tree;
    Batch(tree);
    const CommandResult result = RunExtractor({"--digests", "-o", tree.Path("out.xlsx"), tree.Path("scan")});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.LastLine(), "验收检查：全部合格。");
    ASSERT_TRUE(std::filesystem::exists(tree.Path("out.sha256")));

    const std::string verify = "cd " + ShellQuoted(tree.Path("scan")) + " && sha256sum -c --quiet ../out.sha256 2>&1";
    EXPECT_TRUE(testing::RunCommand(verify).succeeded);
    {
        std::fstream file(tree.Path("scan/A002/A002-0003.jpg"), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(20);
        file.put('\x5A');
    }
    const testing::CommandOutput changed = testing::RunCommand(verify);
    EXPECT_FALSE(changed.succeeded);
    EXPECT_NE(changed.output.find("A002/A002-0003.jpg: FAILED"), std::string::npos) << changed.output;
}

TEST(AcceptanceCommand, CsvFindingsGoBesideTheRows) {
    TempTree tree;
    Batch(tree);
    const CommandResult result =
        RunExtractor({"--rules", tree.Path("rules/验收.ini"), "-o", tree.Path("out.csv"), tree.Path("scan")});
    EXPECT_EQ(result.exitCode, 3) << result.output;
    EXPECT_EQ(result.LastLine(), "验收检查：发现2个问题，见" + tree.Path("out") + "-检验结果.csv。");
    EXPECT_TRUE(std::filesystem::exists(tree.Path("out-检验结果.csv")));
}

}  // namespace
}  // namespace quillmere::cli
