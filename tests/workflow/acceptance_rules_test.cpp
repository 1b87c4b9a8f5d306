// The rules file, the catalogue it names, and the archive and page number a
// file name carries.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/memory_file_system.h"
#include "runtime/text_encoding.h"
#include "workflow/acceptance_rules.h"
#include "workflow/catalogue.h"
#include "workflow/page_name.h"

namespace quillmere::workflow {
namespace {

std::vector<unsigned char> BytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::string> Utf8(const std::vector<Text>& texts) {
    std::vector<std::string> utf8;
    for (const Text& text : texts) utf8.push_back(TextToUtf8(text));
    return utf8;
}

// ---- archive and page number ----

struct PageNameCase {
    const char* stem;
    const char* folder;
    const char* archive;
    const char* page;  // nullptr: none
};

TEST(PageName, CutFromTheStemOrTakenFromTheFolder) {
    const PageNameCase cases[] = {
        {"文书-2023-0001-0003", "x", "文书-2023-0001", "0003"},
        {"A001_12", "x", "A001", "12"},
        {"A001.0007", "x", "A001", "0007"},
        {"A001 0007", "x", "A001", "0007"},
        {"A001·0007", "x", "A001", "0007"},
        {"A001--0007", "x", "A001-", "0007"},  // one separator goes, not two
        {"A0010007", "x", "A", "0010007"},     // no separator: the digits run back to the letter
        {"0003", "文书-2023-0001", "文书-2023-0001", "0003"},
        {"-0003", "A002", "A002", "0003"},  // only a separator before the digits
        {"封面", "A002", "封面", nullptr},
        {"A001-0003a", "x", "A001-0003a", nullptr},
        {"", "A002", "A002", nullptr},
    };
    for (const PageNameCase& c : cases) {
        SCOPED_TRACE(c.stem);
        const PageName name = PageNameOf(TextFromUtf8(c.stem), TextFromUtf8(c.folder));
        EXPECT_EQ(TextToUtf8(name.archiveNumber), c.archive);
        if (c.page == nullptr) {
            EXPECT_FALSE(name.pageDigits);
        } else {
            ASSERT_TRUE(name.pageDigits);
            EXPECT_EQ(TextToUtf8(*name.pageDigits), c.page);
        }
    }
}

TEST(PageName, ATrailByteThatIsADigitIsNoPageNumber) {
    // GB18030 writes U+20AC (€) as A2E3 and many rare characters in four
    // bytes whose second and fourth are ASCII digits: 0x81 0x30 0x81 0x30 is U+0080.
    const Text stem(std::string("A001-\x81\x30\x81\x30"));
    const PageName name = PageNameOf(stem, Text("x"));
    EXPECT_FALSE(name.pageDigits);
    EXPECT_EQ(name.archiveNumber, stem);
}

TEST(PageName, FolderNameIsTheComponentBeforeTheFileName) {
    EXPECT_EQ(TextToUtf8(FolderNameOf(TextFromUtf8("/scan/文书-0001/0003.jpg"))), "文书-0001");
    EXPECT_EQ(TextToUtf8(FolderNameOf(TextFromUtf8("/0003.jpg"))), "");
    EXPECT_EQ(TextToUtf8(FolderNameOf(TextFromUtf8("scan/0003.jpg"))), "scan");
}

// ---- the rules file ----

TEST(AcceptanceRules, EveryKeyReadAsTheFileStatesIt) {
    const RulesReading reading = ParseAcceptanceRules(
        "\xEF\xBB\xBF; 某档案馆 2024 年移交要求\r\n"
        "[验收要求]\r\n"
        "最低分辨率 = 300            ; 分辨率\r\n"
        "色彩模式 = 真彩色, 256色\r\n"
        "格式 = jpg，TIF、Jpeg\r\n"
        "# a comment\n"
        "  最低JPEG质量 = 75\n"
        "检查文件 = 是\n"
        "格式一致 = yes\n"
        "页号 = 1\n"
        "起始页号 = 0\n"
        "重复页面 = 否\n"
        "目录 = 目录.csv\n"
        "目录档号列 = 案卷档号\n"
        "目录页数列 = 图像数\n"
        "摘要 = 是\n");
    ASSERT_TRUE(reading.rules) << reading.failure.line << " " << reading.failure.reason;
    const AcceptanceRules& rules = *reading.rules;
    EXPECT_EQ(rules.lowestResolution, 300);
    ASSERT_TRUE(rules.colourModes);
    EXPECT_EQ(Utf8(*rules.colourModes), (std::vector<std::string>{"真彩色", "256色"}));
    ASSERT_TRUE(rules.formats);
    EXPECT_EQ(Utf8(*rules.formats), (std::vector<std::string>{"JPG", "TIF", "JPEG"}));
    EXPECT_EQ(rules.lowestJpegQuality, 75);
    EXPECT_TRUE(rules.checkFiles);
    EXPECT_TRUE(rules.oneFormat);
    EXPECT_TRUE(rules.pageSequence);
    EXPECT_EQ(rules.firstPage, 0);
    EXPECT_FALSE(rules.repeatedPages);
    EXPECT_EQ(rules.cataloguePath, "目录.csv");
    EXPECT_EQ(rules.catalogueLine, 13);
    EXPECT_EQ(TextToUtf8(rules.catalogueArchiveColumn), "案卷档号");
    EXPECT_EQ(TextToUtf8(rules.cataloguePagesColumn), "图像数");
    EXPECT_TRUE(rules.digests);
    EXPECT_TRUE(rules.NeedsDigests());
}

TEST(AcceptanceRules, KeysLeftOutLeaveTheirRulesOff) {
    const RulesReading reading = ParseAcceptanceRules("[验收要求]\n");
    ASSERT_TRUE(reading.rules);
    const AcceptanceRules& rules = *reading.rules;
    EXPECT_FALSE(rules.lowestResolution || rules.colourModes || rules.formats || rules.lowestJpegQuality);
    EXPECT_FALSE(rules.checkFiles || rules.oneFormat || rules.pageSequence || rules.repeatedPages || rules.digests);
    EXPECT_EQ(rules.firstPage, 1);
    EXPECT_TRUE(rules.cataloguePath.empty());
    EXPECT_FALSE(rules.NeedsDigests());
    EXPECT_TRUE(ParseAcceptanceRules("[验收要求]\n重复页面 = 是\n").rules->NeedsDigests());
}

TEST(AcceptanceRules, WrittenBackTheyReadTheSame) {
    const RulesReading reading = ParseAcceptanceRules(
        "[验收要求]\n最低分辨率=300\n色彩模式=真彩色,2色\n格式=JPG\n最低JPEG质量=80\n检查文件=是\n"
        "页号=是\n起始页号=0\n重复页面=是\n目录=/data/目录.csv\n摘要=是\n");
    ASSERT_TRUE(reading.rules);
    const std::string written = FormatAcceptanceRules(*reading.rules);
    const RulesReading again = ParseAcceptanceRules(written);
    ASSERT_TRUE(again.rules) << written;
    EXPECT_EQ(FormatAcceptanceRules(*again.rules), written);
    EXPECT_NE(written.find("起始页号 = 0\n"), std::string::npos);
    EXPECT_NE(written.find("目录 = /data/目录.csv\n"), std::string::npos);
}

struct BadRules {
    const char* text;
    int line;
    const char* reason;
};

TEST(AcceptanceRules, ALineNotUnderstoodIsRefusedWithItsNumber) {
    const BadRules cases[] = {
        {"[验收要求]\n最低分辨率 = 300\n最低分辩率 = 200\n", 3, "不认识的键“最低分辩率”"},
        {"[验收要求]\n\n最低分辨率 = 三百\n", 3, "“最低分辨率”的值“三百”无效，应为正整数（DPI）"},
        {"[验收要求]\n最低分辨率 = 0\n", 2, "“最低分辨率”的值“0”无效，应为正整数（DPI）"},
        {"[验收要求]\n最低JPEG质量 = 101\n", 2, "“最低JPEG质量”的值“101”无效，应为1到100的整数"},
        {"[验收要求]\n起始页号 = 2\n", 2, "“起始页号”的值“2”无效，应为0或1"},
        {"[验收要求]\n页号 = 对\n", 2, "“页号”的值“对”无效，应为是或否"},
        {"[验收要求]\n色彩模式 = 彩色\n", 2, "“色彩模式”的值“彩色”无效，应为真彩色或“数字+色”（如256色），以逗号分隔"},
        {"[验收要求]\n格式 = ,\n", 2, "“格式”的值“,”无效，应为格式名（如JPG, TIF），以逗号分隔"},
        {"[验收要求]\n页号 = 是\n页号 = 否\n", 3, "键“页号”出现了两次"},
        {"; 说明\n最低分辨率 = 300\n[验收要求]\n", 2, "键“最低分辨率”前缺少[验收要求]节"},
        {"[验收要求]\n格式 = JPG\n[其他]\n页号 = 是\n", 4, "不认识的节[其他]"},
        {"[验收要求]\n格式一致\n", 2, "无法识别这一行（应为“键 = 值”、[节] 或注释）"},
        {"[验收要求]\n格式 = JPG\n[验收要求\n", 3, "无法识别这一行（应为“键 = 值”、[节] 或注释）"},
        {"[验收要求]\n目录 = x\n目录 = "
         "0123456789012345678901234567890123456789012345678901234567890123456789"
         "0123456789012345678901234567890123456789012345678901234567890123456789"
         "0123456789012345678901234567890123456789012345678901234567890123456789.csv\n",
         3, "这一行太长"},
    };
    for (const BadRules& c : cases) {
        SCOPED_TRACE(c.text);
        const RulesReading reading = ParseAcceptanceRules(c.text);
        EXPECT_FALSE(reading.rules);
        EXPECT_EQ(reading.failure.line, c.line);
        EXPECT_EQ(reading.failure.reason, c.reason);
    }
}

TEST(AcceptanceRules, TheCatalogueIsReadBesideTheRulesFile) {
    MemoryFileSystem fs;
    fs.AddFileWithBytes("/rules/验收.ini", BytesOf("[验收要求]\n页号 = 是\n目录 = 目录.csv\n"));
    fs.AddFileWithBytes("/rules/目录.csv", BytesOf("档号,题名,页数\nA001,会议纪要,3\n"));
    const RulesReading reading = LoadAcceptanceRules(fs, "/rules/验收.ini");
    ASSERT_TRUE(reading.rules) << reading.failure.reason;
    ASSERT_TRUE(reading.rules->catalogue);
    ASSERT_EQ(reading.rules->catalogue->entries.size(), 1u);
    EXPECT_EQ(reading.rules->catalogue->entries[0].pages, 3);
}

TEST(AcceptanceRules, AMissingOrBadCatalogueIsRefusedAtTheLineThatNamesIt) {
    MemoryFileSystem fs;
    fs.AddFileWithBytes("/rules/missing.ini", BytesOf("[验收要求]\n页号 = 是\n目录 = 没有.csv\n"));
    fs.AddFileWithBytes("/rules/bad.ini", BytesOf("[验收要求]\n目录 = /data/目录.csv\n页号 = 是\n"));
    fs.AddFileWithBytes("/data/目录.csv", BytesOf("档号,页数\nA001,三\n"));

    const RulesReading missing = LoadAcceptanceRules(fs, "/rules/missing.ini");
    EXPECT_FALSE(missing.rules);
    EXPECT_EQ(missing.failure.line, 3);
    EXPECT_TRUE(missing.failure.reason.starts_with("无法读取目录文件/rules/没有.csv：")) << missing.failure.reason;

    const RulesReading bad = LoadAcceptanceRules(fs, "/rules/bad.ini");
    EXPECT_FALSE(bad.rules);
    EXPECT_EQ(bad.failure.line, 2);
    EXPECT_EQ(bad.failure.reason, "目录文件第2行：“页数”不是页数：“三”（/data/目录.csv）");
    EXPECT_EQ(DescribeRulesFailure("/rules/bad.ini", bad.failure),
              "检验要求文件/rules/bad.ini第2行：目录文件第2行：“页数”不是页数：“三”（/data/目录.csv）");

    const RulesReading none = LoadAcceptanceRules(fs, "/rules/none.ini");
    EXPECT_FALSE(none.rules);
    EXPECT_EQ(none.failure.line, 0);
    EXPECT_TRUE(none.failure.reason.starts_with("无法读取检验要求文件：")) << none.failure.reason;
}

// ---- the catalogue ----

struct CatalogueRow {
    std::string archive;
    std::int64_t pages;
    int line;
};

std::vector<CatalogueRow> RowsOf(const CatalogueReading& reading) {
    std::vector<CatalogueRow> rows;
    for (const CatalogueEntry& entry : reading.catalogue->entries) {
        rows.push_back({TextToUtf8(entry.archiveNumber), entry.pages, entry.line});
    }
    return rows;
}

bool operator==(const CatalogueRow& a, const CatalogueRow& b) {
    return a.archive == b.archive && a.pages == b.pages && a.line == b.line;
}

TEST(Catalogue, ReadInUtf8WithBomAndInGb18030) {
    const std::string utf8 =
        "序号,档号,题名,页数\r\n1, 文书-2023-0001 ,\"会议纪要,第一次\",12\r\n"
        "2,文书-2023-0002,\"多行\r\n题名\",3\r\n,,合计,15\r\n";
    const std::string gb18030 = TextFromUtf8(utf8).bytes();
    ASSERT_NE(gb18030, utf8);  // the Chinese really is in another encoding
    const std::vector<CatalogueRow> expected = {{"文书-2023-0001", 12, 2}, {"文书-2023-0002", 3, 3}};
    for (const std::string& bytes : {"\xEF\xBB\xBF" + utf8, utf8, gb18030}) {
        const CatalogueReading reading = ParseCatalogue(bytes, TextFromUtf8("档号"), TextFromUtf8("页数"));
        ASSERT_TRUE(reading.catalogue) << reading.failure.Filled();
        EXPECT_EQ(RowsOf(reading), expected);
    }
}

TEST(Catalogue, WhatCannotBeReadIsRefusedWithItsLine) {
    const struct {
        std::string bytes;
        const char* failure;
    } cases[] = {
        {"档号,页码\nA,1\n", "目录文件第1行没有“页数”列"},
        {"题名,页数\nA,1\n", "目录文件第1行没有“档号”列"},
        {"档号,页数\nA,1\nB,1.5\n", "目录文件第3行：“页数”不是页数：“1.5”"},
        {"档号,页数\nA,1\nB,\n", "目录文件第3行：“页数”不是页数：“”"},
        {"档号,页数\nA,1\nB,2\n A ,3\n", "目录文件第4行：档号“A”重复（第2行已有）"},
        {"\xFF\xFE\x63\x68", "目录文件是UTF-16编码，请另存为“CSV（逗号分隔）”或“CSV UTF-8”"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failure);
        const CatalogueReading reading = ParseCatalogue(c.bytes, TextFromUtf8("档号"), TextFromUtf8("页数"));
        EXPECT_FALSE(reading.catalogue);
        EXPECT_EQ(reading.failure.Filled(), c.failure);
    }
}

}  // namespace
}  // namespace quillmere::workflow
