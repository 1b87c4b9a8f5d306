// The command-line extractor as a user meets it: exit codes, messages, and
// the workbook it writes.

#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/jpeg_fixture.h"
#include "../support/temp_tree.h"
#include "../support/workbook_reader.h"
#include "cli/command_line.h"

namespace quillmere::cli {
namespace {

using quillmere::testing::TempTree;

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and standard error together
};

std::string Quote(const std::string& argument) {
    std::string quoted = "'";
    for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

CommandResult RunExtractor(const std::vector<std::string>& arguments) {
    std::string command = QUILLMERE_BINARY_DIR "/cli/quillmere-extract";
    for (const std::string& argument : arguments) command += " " + Quote(argument);
    command += " 2>&1 </dev/null";
    CommandResult result;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) result.output.append(buffer, got);
    const int status = pclose(pipe.release());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(ExtractCommand, UsageErrorsExitWithTwoAndOneLine) {
    struct Case {
        std::vector<std::string> arguments;
        std::string says;
    };
    const std::vector<Case> cases = {
        {{}, "no image folder given"},
        {{"--colour", "x", "-o", "a.xlsx", "dir"}, "unknown option '--colour'"},
        {{"-o", "a.xlsx", "--jobs", "many", "dir"}, "--jobs takes a whole number"},
        {{"dir"}, "no output workbook given"},
        {{"-o", "a.xlsx", "dir", "other"}, "give exactly one image folder"},
        {{"dir", "-o"}, "option --output needs a value"},
    };
    for (const Case& c : cases) {
        const CommandResult result = RunExtractor(c.arguments);
        EXPECT_EQ(result.exitCode, 2) << result.output;
        EXPECT_NE(result.output.find("quillmere-extract: " + c.says), std::string::npos) << result.output;
    }
}

TEST(ExtractCommand, HelpAndVersionSucceed) {
    const CommandResult help = RunExtractor({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("-o OUT.xlsx FOLDER"), std::string::npos);
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
    EXPECT_NE(unwritable.output.find("cannot create the workbook"), std::string::npos) << unwritable.output;
}

TEST(ExtractCommand, WritesTheWorkbookWithTheBatchFacts) {
    TempTree tree;
    tree.File("scan/0001.jpg", quillmere::testing::MakeJpeg({}));
    tree.File("scan/sub/0002.txt", "x");
    const CommandResult result = RunExtractor({"--scanner", "张三", "--maker=Epson", "--model", "DS-50000",
                                               "--processor", "李四", "--software", "Epson Scan", "-j", "3", "-o",
                                               tree.Path("out.xlsx"), tree.Path("scan")});
    ASSERT_EQ(result.exitCode, 0) << result.output;
    EXPECT_NE(result.output.find("提取元数据完成，本次共提取2个文件的元数据信息。"), std::string::npos);

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
            EXPECT_EQ(result.output.find("not read"), std::string::npos) << result.output;
            continue;
        }
        // In entry order, each with the probe's last error or why it was not opened.
        EXPECT_EQ(notRead, (std::vector<std::string>{
                               tree.Path("scan/0002.txt") + ": Not a JPEG file: starts with 0x6e 0x6f",
                               tree.Path("scan/0003.png") + ": Not a JPEG file: starts with 0x89 0x50",
                               tree.Path("scan/0004.pipe") + ": not a regular file",
                           }))
            << result.output;
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "3 of 5 files not read");
    }
}

TEST(ParseCommandLine, VerboseInBothSpellings) {
    for (const char* spelling : {"--verbose", "-v"}) {
        const ParsedCommandLine parsed = ParseCommandLine({spelling, "-o", "out.xlsx", "folder"});
        ASSERT_TRUE(parsed.error.empty()) << parsed.error;
        EXPECT_TRUE(parsed.options.verbose) << spelling;
    }
    EXPECT_FALSE(ParseCommandLine({"-o", "out.xlsx", "folder"}).options.verbose);
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
