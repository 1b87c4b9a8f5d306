// The command-line extractor as a user meets it: exit codes, messages, and
// the workbook it writes.

#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../support/extractor_command.h"
#include "../support/jpeg_fixture.h"
#include "../support/temp_tree.h"
#include "../support/workbook_reader.h"
#include "cli/command_line.h"

namespace quillmere::cli {
namespace {

using quillmere::testing::TempTree;

using CommandResult = quillmere::testing::CommandRun;
using quillmere::testing::RunExtractor;
using quillmere::testing::ShellQuoted;

TEST(ExtractCommand, UsageErrorsExitWithTwoAndOneLine) {
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{}, "没有指定图像文件夹"},
        {{"--colour", "x", "-o", "a.xlsx", "dir"}, "未知选项“--colour”"},
        {{"-o", "a.xlsx", "--jobs", "many", "dir"}, "--jobs 需要 0 到 256 的整数，而不是“many”"},
        {{"dir"}, "没有指定输出工作簿"},
        {{"-o", "a.xlsx", "dir", "other"}, "只能指定一个图像文件夹"},
        {{"dir", "-o"}, "选项 --output 需要一个值"},
        {{"-o", "a.txt", "dir"}, "输出文件名须以 .xlsx 或 .csv 结尾，而不是“a.txt”"},
        {{"-o", "batch", "dir"}, "输出文件名须以 .xlsx 或 .csv 结尾，而不是“batch”"},
        {{"-o", "a.xls", "dir"}, "输出文件名须以 .xlsx 或 .csv 结尾，而不是“a.xls”"},
        {{"-o", "a.xlsx", ""}, "图像文件夹不能是空的名字"},
    };
    for (const Case& c : cases) {
        const CommandResult result = RunExtractor(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << result.output;
        EXPECT_NE(result.output.find("quillmere-extract: " + c.says), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("请用“quillmere-extract --help”查看用法。"), std::string::npos) << result.output;
    }
}

TEST(ExtractCommand, HelpAndVersionSucceed) {
    const CommandResult help = RunExtractor({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("-o 输出.xlsx|输出.csv 文件夹"), std::string::npos) << help.output;
    const CommandResult version = RunExtractor({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output.rfind("quillmere-extract ", 0), 0u);
}

TEST(ExtractCommand, MissingFolderOrUnwritableOutputExitWithOne) {
    TempTree tree;
    tree.File("scan/1.txt", "x");
    const CommandResult missing = RunExtractor({"-o", tree.Path("a.xlsx"), tree.Path("nowhere")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.output.find("图像文件夹不存在或无法读取：" + tree.Path("nowhere")), std::string::npos)
        << missing.output;
    EXPECT_FALSE(std::filesystem::exists(tree.Path("a.xlsx")));

    const CommandResult unwritable = RunExtractor({"-o", tree.Path("no/such/dir/a.xlsx"), tree.Path("scan")});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_EQ(unwritable.output,
              "quillmere-extract: 无法创建工作簿：" + tree.Path("no/such/dir/a.xlsx") + "（文件夹不存在）\n");
}

// Each failure is one line that names the path and says why.
TEST(ExtractCommand, ReadOnlyDestinationIsOneLineWithPathAndReason) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    TempTree tree;
    tree.File("scan/1.txt", "x");
    tree.Directory("locked");
    std::filesystem::permissions(tree.Path("locked"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);

    const CommandResult result = RunExtractor({"-o", tree.Path("locked/a.csv"), tree.Path("scan")});

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "quillmere-extract: 无法创建工作簿：" + tree.Path("locked/a.csv") + "（没有写入权限）\n");
    EXPECT_TRUE(std::filesystem::is_empty(tree.Path("locked")));
}

// Output names at the edge of what a file name may be, and a link to a
// file not yet there: saved, or one line naming the path and the reason,
// with nothing left in the folder.
TEST(ExtractCommand, LongNamesAndLinksToNothingAreSavedOrNamedPlainly) {
    std::string longest;  // 250 bytes with the extension
    while (longest.size() < 245) longest += "档";
    longest.resize(243);
    longest += "ab.xlsx";
    struct Case {
        std::string name;
        std::string linkTo;  // when the name is a link
        std::string reason;  // empty when it saves
    };
    const std::vector<Case> cases = {
        {longest, "", ""},
        {longest.substr(0, 243) + "abcdefgh.xlsx", "", "文件名过长"},  // 256 bytes
        {"out.xlsx", "not-yet.xlsx", "链接指向的文件不存在"},
        {"out.csv", "not-yet.csv", "链接指向的文件不存在"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.name.size()) + " bytes: " + c.name);
        TempTree tree;
        tree.File("scan/1.txt", "x");
        tree.Directory("out");
        const std::string output = tree.Path("out/" + c.name);
        if (!c.linkTo.empty()) { ASSERT_EQ(::symlink(c.linkTo.c_str(), output.c_str()), 0); }
        const CommandResult result = RunExtractor({"-o", output, tree.Path("scan")});
        std::set<std::string> listing;
        for (const auto& entry : std::filesystem::directory_iterator(tree.Path("out"))) {
            listing.insert(entry.path().filename().string());
        }
        if (c.reason.empty()) {
            EXPECT_EQ(result.exitCode, 0) << result.output;
            EXPECT_EQ(listing, std::set<std::string>{c.name});
        } else {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_EQ(result.output, "quillmere-extract: 无法创建工作簿：" + output + "（" + c.reason + "）\n");
            EXPECT_EQ(listing, c.linkTo.empty() ? std::set<std::string>{} : std::set<std::string>{c.name});
        }
    }
}

// A name the destination's file system cannot hold (FAT and exFAT refuse a
// ':' with EINVAL, which no other reason explains): one line naming the path
// and the reason, nothing left in the folder.
TEST(ExtractCommand, ANameTheFileSystemRefusesIsNamedAsSuch) {
    const std::string shim = std::string("LD_PRELOAD=") + QUILLMERE_FAT_NAMES_SHIM +
                             " ASAN_OPTIONS=verify_asan_link_order=0";
    for (const char* name : {"扫描:第一批.xlsx", "a:b.csv"}) {
        SCOPED_TRACE(name);
        TempTree tree;
        tree.File("scan/1.txt", "x");
        tree.Directory("out");
        const std::string output = tree.Path(std::string("out/") + name);
        const CommandResult result = RunExtractor({"-o", output, tree.Path("scan")}, shim);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.output, "quillmere-extract: 无法创建工作簿：" + output + "（文件系统不接受文件名中的字符）\n");
        EXPECT_TRUE(std::filesystem::is_empty(tree.Path("out")));
    }
}

TEST(ExtractCommand, WritesTheWorkbookWithTheBatchFacts) {
    TempTree tree;
    tree.File("scan/0001.jpg", quillmere::testing::MakeJpeg({}));
    tree.File("scan/sub/0002.txt", "x");
    const CommandResult result = RunExtractor({"--scanner", "张三", "--maker=Epson", "--model", "DS-50000",
                                               "--processor", "李四", "--software", "Epson Scan", "-j", "3", "-o",
                                               tree.Path("out.xlsx"), tree.Path("scan")});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(result.output, "提取元数据完成，本次共提取2个文件的元数据信息。\n" + tree.Path("out.xlsx") + "\n");

    const auto book = quillmere::testing::ReadWorkbook(tree.Path("out.xlsx"));
    ASSERT_TRUE(book.readable) << book.error;
    const auto& sheet = book.sheets.at(0);
    EXPECT_EQ(sheet.rows.size(), 3u);
    const std::vector<std::string> facts = {sheet.At(2, 2), sheet.At(2, 3), sheet.At(2, 4), sheet.At(2, 6),
                                            sheet.At(2, 7)};
    EXPECT_EQ(facts, (std::vector<std::string>{"张三", "Epson", "DS-50000", "李四", "Epson Scan"}));
    EXPECT_EQ(sheet.At(2, 11), "8*8");
    EXPECT_EQ(sheet.At(3, 9), "0002.txt");
}

// The lines of a text, without their line ends.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

TEST(ExtractCommand, VerboseNamesEachFileNotReadWithItsReasonAndCountsThem) {
    TempTree tree;
    tree.File("scan/0001.jpg", quillmere::testing::MakeJpeg({}));
    tree.File("scan/0002.txt", "not an image");
    tree.File("scan/0003.png", std::string("\x89PNG\r\n\x1a\n", 8));  // the signature, then nothing
    ASSERT_EQ(mkfifo(tree.Path("scan/0004.pipe").c_str(), 0600), 0);
    tree.File("scan/sub/0005.jpg", quillmere::testing::MakeJpeg({}));

    for (const bool verbose : {false, true}) {
        SCOPED_TRACE(verbose);
        std::vector<std::string> arguments = {"-j", "2", "-o", tree.Path("out.xlsx"), tree.Path("scan")};
        if (verbose) arguments.insert(arguments.begin(), "--verbose");
        const CommandResult result = RunExtractor(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const std::vector<std::string> lines = Lines(result.output);
        std::vector<std::string> notRead;
        for (const std::string& line : lines) {
            if (line.starts_with(tree.Path("scan/"))) notRead.push_back(line);
        }
        if (!verbose) {
            EXPECT_EQ(notRead, std::vector<std::string>{}) << result.output;
            EXPECT_EQ(result.output.find("未能读取"), std::string::npos) << result.output;
            continue;
        }
        // In entry order, each with the reason of the decoder whose signature
        // it carries, that no format was recognised, or why it was not opened.
        EXPECT_EQ(notRead, (std::vector<std::string>{
                               tree.Path("scan/0002.txt") + ": 未知或错误的图像格式",
                               tree.Path("scan/0003.png") + ": PNG: Read Error",
                               tree.Path("scan/0004.pipe") + ": not a regular file",
                           }))
            << result.output;
        // The count, then the completion lines, whose last is the workbook.
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[lines.size() - 3], "3个文件未能读取（共5个文件）");
        EXPECT_EQ(lines.back(), tree.Path("out.xlsx"));
    }
}

// A folder whose reading breaks off with an I/O error keeps the rows of what
// was read, and the run says the folder was not read whole.
TEST(ExtractCommand, FolderWhoseReadingBreaksOffIsCountedAndNamed) {
    TempTree tree;
    tree.File("scan/0001.jpg", quillmere::testing::MakeJpeg({}));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}) {
        tree.File(std::string("scan/flaky/") + name, quillmere::testing::MakeJpeg({}));
    }
    // Four entries, then EIO: "." and ".." come wherever the file system
    // puts them, so two or three of the five files are read.
    const std::string shim = std::string("LD_PRELOAD=") + QUILLMERE_READDIR_ERROR_SHIM +
                             " QUILLMERE_READDIR_FAIL=flaky QUILLMERE_READDIR_AFTER=4 ASAN_OPTIONS=verify_asan_link_order=0";
    const CommandResult result =
        RunExtractor({"--verbose", "-o", tree.Path("out.xlsx"), tree.Path("scan")}, shim);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const std::vector<std::string> lines = Lines(result.output);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "有1个文件夹无法读取，其中的文件未能全部提取。") << result.output;
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         tree.Path("scan/flaky/") + ": 无法读取文件夹：Input/output error"),
              1)
        << result.output;
    // 0001.jpg and the files read before the error, each with its row.
    const auto book = quillmere::testing::ReadWorkbook(tree.Path("out.xlsx"));
    ASSERT_EQ(book.sheets.size(), 1u) << book.error;
    const std::size_t files = book.sheets[0].rows.size() - 1;
    EXPECT_GE(files, 3u);
    EXPECT_LE(files, 4u);
    EXPECT_NE(result.output.find("本次共提取" + std::to_string(files) + "个文件的元数据信息。"), std::string::npos)
        << result.output;
}

// Runs the extractor as it is installed for an unprivileged user: a copy of
// the executable in the tree (whose path that user can enter), started as
// nobody when the test runs as root, since root reads every folder.
CommandResult RunExtractorAsUser(const TempTree& tree, const std::vector<std::string>& arguments) {
    std::string prefix;
    std::string executable = QUILLMERE_BINARY_DIR "/cli/quillmere-extract";
    if (geteuid() == 0) {
        const std::string copy = tree.Path("bin/quillmere-extract");
        std::filesystem::create_directories(tree.Path("bin"));
        std::filesystem::copy_file(executable, copy, std::filesystem::copy_options::overwrite_existing);
        chmod(tree.root().c_str(), 0755);
        chmod(tree.Path("bin").c_str(), 0755);
        chmod(copy.c_str(), 0755);
        executable = copy;
        prefix = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups ";
    }
    std::string command = prefix + executable;
    for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
    return quillmere::testing::RunJoined(command);
}

TEST(ExtractCommand, FoldersThatCannotBeReadAreCountedAndNamed) {
    if (geteuid() == 0 && access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "root reads every folder";
    TempTree tree;
    tree.File("scan/0001.jpg", quillmere::testing::MakeJpeg({}));
    tree.File("scan/locked/inner.jpg", quillmere::testing::MakeJpeg({}));
    tree.File("scan/open/0002.jpg", quillmere::testing::MakeJpeg({}));
    tree.Directory("out");
    ASSERT_EQ(chmod(tree.Path("scan/locked").c_str(), 0), 0);
    ASSERT_EQ(chmod(tree.Path("out").c_str(), 0777), 0);

    for (const bool verbose : {false, true}) {
        SCOPED_TRACE(verbose);
        std::vector<std::string> arguments = {"-o", tree.Path("out/out.xlsx"), tree.Path("scan")};
        if (verbose) arguments.insert(arguments.begin(), "--verbose");
        const CommandResult result = RunExtractorAsUser(tree, arguments);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        const std::vector<std::string> lines = Lines(result.output);
        ASSERT_FALSE(lines.empty());
        // The rows are those of the files that could be seen; the last line says what could not.
        EXPECT_NE(result.output.find("本次共提取2个文件的元数据信息。"), std::string::npos) << result.output;
        EXPECT_EQ(lines.back(), "有1个文件夹无法读取，其中的文件未能全部提取。") << result.output;
        const std::string named = tree.Path("scan/locked/") + ": 无法读取文件夹：Permission denied";
        EXPECT_EQ(std::count(lines.begin(), lines.end(), named), verbose ? 1 : 0) << result.output;
        const auto book = quillmere::testing::ReadWorkbook(tree.Path("out/out.xlsx"));
        ASSERT_EQ(book.sheets.size(), 1u) << book.error;
        ASSERT_EQ(book.sheets[0].rows.size(), 3u);  // the header and two files
        EXPECT_EQ(book.sheets[0].At(2, 9), "0001.jpg");
        EXPECT_EQ(book.sheets[0].At(3, 9), "0002.jpg");
    }
    chmod(tree.Path("scan/locked").c_str(), 0755);
}

TEST(ParseCommandLine, VerboseInBothSpellings) {
    for (const char* spelling : {"--verbose", "-v"}) {
        const ParsedCommandLine parsed = ParseCommandLine({spelling, "-o", "out.xlsx", "folder"});
        ASSERT_TRUE(parsed.error.empty()) << parsed.error;
        EXPECT_TRUE(parsed.options.verbose) << spelling;
    }
    EXPECT_FALSE(ParseCommandLine({"-o", "out.xlsx", "folder"}).options.verbose);
}

std::string Hex(const std::string& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

// The rows of a CSV file as Python's csv module reads it (a byte-order mark
// allowed), one line per row, each cell as the hex of its UTF-8, joined by
// tabs.
std::vector<std::string> CsvRows(const std::string& path) {
    const std::string command = "python3 -c '"
                                "import csv, sys\n"
                                "with open(sys.argv[1], newline=\"\", encoding=\"utf-8-sig\") as f:\n"
                                "    for row in csv.reader(f): print(\"\\t\".join(c.encode().hex() for c in row))\n"
                                "' " + ShellQuoted(path);
    std::vector<std::string> rows;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char line[16384];
    while (fgets(line, sizeof line, pipe.get())) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        rows.push_back(text);
    }
    return rows;
}

TEST(ExtractCommand, CsvHoldsTheSameRowsAsTheWorkbook) {
    TempTree tree;
    tree.File("scan/0001.jpg", quillmere::testing::MakeJpeg({}));
    tree.File("scan/a,b \"quoted\".txt", "x");
    tree.File("scan/sub/00020.tif", "not really a tiff");
    const std::vector<std::string> facts = {"--scanner", "张三, \"老\"", "--maker", "=1+1", "--model", "0007",
                                            "--processor", "李四", "--software", "line1\nline2"};
    std::vector<std::string> xlsxArguments = facts, csvArguments = facts;
    xlsxArguments.insert(xlsxArguments.end(), {"-o", tree.Path("out.xlsx"), tree.Path("scan")});
    csvArguments.insert(csvArguments.end(), {"-o", tree.Path("out.csv"), tree.Path("scan")});
    ASSERT_EQ(RunExtractor(xlsxArguments, "TZ=CST-8").exitCode, 0);
    const CommandResult csv = RunExtractor(csvArguments, "TZ=CST-8");
    ASSERT_EQ(csv.exitCode, 0) << csv.output;
    EXPECT_EQ(csv.output, "提取元数据完成，本次共提取3个文件的元数据信息。\n" + tree.Path("out.csv") + "\n");

    const auto book = quillmere::testing::ReadWorkbook(tree.Path("out.xlsx"));
    ASSERT_TRUE(book.readable) << book.error;
    std::vector<std::string> expected;
    for (std::size_t row = 1; row <= book.sheets.at(0).rows.size(); ++row) {
        std::string line;
        for (std::size_t column = 1; column <= 14; ++column) {
            if (column > 1) line += "\t";
            const std::string cell = book.sheets[0].At(row, column);
            line += Hex(cell == "<none>" ? "" : cell);
        }
        expected.push_back(line);
    }
    ASSERT_EQ(expected.size(), 4u);
    EXPECT_EQ(CsvRows(tree.Path("out.csv")), expected);
    const std::string bytes = [&] {
        std::ifstream in(tree.Path("out.csv"), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF"));  // a byte-order mark, so spreadsheets read it as UTF-8
}

TEST(ExtractCommand, ReadOnlyFileSystemIsOneLineWithPathAndReason) {
    TempTree tree;
    tree.File("scan/1.txt", "x");
    tree.Directory("mounted");
    // Only root may mount; CI runs as root, a developer's account skips.
    const std::string mount = "mount -t tmpfs -o ro,size=1m tmpfs " + ShellQuoted(tree.Path("mounted")) + " 2>/dev/null";
    if (geteuid() != 0 || std::system(mount.c_str()) != 0) GTEST_SKIP() << "cannot mount a read-only file system here";
    struct Unmount {
        std::string at;
        ~Unmount() { static_cast<void>(std::system(("umount " + ShellQuoted(at)).c_str())); }
    } unmount{tree.Path("mounted")};

    const CommandResult result = RunExtractor({"-o", tree.Path("mounted/a.xlsx"), tree.Path("scan")});

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "quillmere-extract: 无法创建工作簿：" + tree.Path("mounted/a.xlsx") + "（文件系统只读）\n");
}

// A disk that fills up while the workbook is written: one line naming the
// path and the reason, exit 1, the earlier workbook of that name untouched
// and nothing else left on the disk.
TEST(ExtractCommand, FullDiskIsOneLineAndKeepsTheEarlierWorkbook) {
    TempTree tree;
    for (int i = 0; i < 3000; ++i) tree.File("scan/" + std::to_string(100000 + i) + ".txt", "x");
    tree.Directory("small");
    // Far smaller than the workbook of 3000 rows, which is written compressed.
    const std::string mount = "mount -t tmpfs -o size=16k tmpfs " + ShellQuoted(tree.Path("small")) + " 2>/dev/null";
    if (geteuid() != 0 || std::system(mount.c_str()) != 0) GTEST_SKIP() << "cannot mount a small file system here";
    struct Unmount {
        std::string at;
        ~Unmount() { static_cast<void>(std::system(("umount " + ShellQuoted(at)).c_str())); }
    } unmount{tree.Path("small")};
    tree.File("small/a.xlsx", "an earlier workbook");

    const CommandResult result = RunExtractor({"-o", tree.Path("small/a.xlsx"), tree.Path("scan")});

    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "quillmere-extract: 工作簿保存失败：" + tree.Path("small/a.xlsx") + "（磁盘空间不足）\n");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(tree.Path("small"))) left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"a.xlsx"});
    std::ifstream in(tree.Path("small/a.xlsx"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an earlier workbook");
}

// What a user reads in the workbook: the header, then every value a text
// cell exactly as derived, leading zeros, formulas and long digits included.
TEST(ExtractCommand, EveryValueIsATextCellUnderTheHeader) {
    TempTree tree;
    tree.File("scan/0001.txt", "a");
    tree.File("scan/=x.txt", "b");
    const CommandResult result = RunExtractor({"--scanner", "=1+1", "--software", "12345678901234567890", "-o",
                                               tree.Path("out.xlsx"), tree.Path("scan")});
    ASSERT_EQ(result.exitCode, 0) << result.output;

    const auto book = quillmere::testing::ReadWorkbook(tree.Path("out.xlsx"));
    ASSERT_TRUE(book.readable) << book.error;
    const auto& sheet = book.sheets.at(0);
    const std::vector<std::string> header = {
        "档号", "扫描人", "设备制造商", "设备型号", "数字化时间（扫描时间）", "图像处理人", "数字化软件描述",
        "格式信息", "计算机文件名", "计算机文件大小（字节）", "数字化对象形态", "扫描分辨率（DPI）", "扫描色彩模式",
        "图像压缩方案"};
    for (std::size_t column = 1; column <= 14; ++column) EXPECT_EQ(sheet.At(1, column), header[column - 1]);
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

// Two extractors writing one output at once: each saves a whole workbook,
// the later rename wins, and the name holds one of them, complete.
TEST(ExtractCommand, TwoExtractorsOnOneOutputLeaveOneValidWorkbook) {
    TempTree tree;
    for (int i = 0; i < 300; ++i) tree.File("a/" + std::to_string(i) + ".txt", "x");
    for (int i = 0; i < 200; ++i) tree.File("b/" + std::to_string(i) + ".txt", "x");
    tree.Directory("out");
    const std::string output = tree.Path("out/shared.xlsx");
    const std::string binary = QUILLMERE_BINARY_DIR "/cli/quillmere-extract";
    const std::string command = "(" + binary + " -o " + ShellQuoted(output) + " " + ShellQuoted(tree.Path("a")) + " >/dev/null 2>&1; echo $? >" +
                                ShellQuoted(tree.Path("a.code")) + ") & (" + binary + " -o " + ShellQuoted(output) + " " +
                                ShellQuoted(tree.Path("b")) + " >/dev/null 2>&1; echo $? >" + ShellQuoted(tree.Path("b.code")) +
                                ") & wait";
    ASSERT_EQ(std::system(command.c_str()), 0);

    const auto code = [&](const char* name) {
        std::ifstream in(tree.Path(name));
        int value = -1;
        in >> value;
        return value;
    };
    EXPECT_EQ(code("a.code"), 0);
    EXPECT_EQ(code("b.code"), 0);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(tree.Path("out"))) left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"shared.xlsx"});
    const auto book = quillmere::testing::ReadWorkbook(output);
    ASSERT_TRUE(book.readable) << book.error;
    const std::size_t rows = book.sheets.at(0).rows.size();
    EXPECT_TRUE(rows == 301 || rows == 201) << rows;
}

TEST(ParseCommandLine, AcceptsEveryOptionForm) {
    const ParsedCommandLine parsed =
        ParseCommandLine({"--scanner=a", "--maker", "b", "-oout.xlsx", "--jobs=4", "--", "-folder"});
    ASSERT_TRUE(parsed.error.empty()) << parsed.error;
    EXPECT_EQ(parsed.options.scanner, "a");
    EXPECT_EQ(parsed.options.maker, "b");
    EXPECT_EQ(parsed.options.output, "out.xlsx");
    EXPECT_EQ(parsed.options.jobs, 4);
    EXPECT_EQ(parsed.options.folder, "-folder");
}

}  // namespace
}  // namespace quillmere::cli
