// The extractor stopped by SIGINT or SIGTERM, while it writes rows and while
// it saves: it exits with 128 + the signal, says in one line how many rows
// it wrote and that nothing was saved, and leaves the output name as it was
// (the earlier workbook byte for byte, or nothing) with no temporary file
// beside it. A stall shim holds the extractor at the exact point, so no
// timing decides what is tested.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../support/english_locale.h"
#include "../support/temp_tree.h"
#include "../support/workbook_reader.h"

extern char** environ;

namespace quillmere::testing {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A running extractor with the stall shim preloaded; its standard error
// goes to a file.
class StalledExtractor {
public:
    StalledExtractor(const std::vector<std::string>& arguments, const std::vector<std::string>& stallEnvironment,
                     std::string errorFile)
        : errorFile_(std::move(errorFile)) {
        // An address-sanitised extractor would refuse a preloaded library ahead of its runtime.
        std::vector<std::string> environment = {"LD_PRELOAD=" QUILLMERE_STALL_SHIM, "TZ=CST-8",
                                                "ASAN_OPTIONS=verify_asan_link_order=0",
                                                // A stopped extractor exits from inside the save with its
                                                // workers not joined, by design; ThreadSanitizer would add its
                                                // leak report to the one line these tests compare.
                                                "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:report_thread_leaks=0"};
        for (const std::string& setting : stallEnvironment) environment.push_back(setting);
        const auto setHere = [&environment](const std::string& setting) {
            const std::string name = setting.substr(0, setting.find('=') + 1);
            for (const std::string& given : environment) {
                if (given.starts_with(name)) return true;
            }
            return false;
        };
        for (char** variable = environ; *variable; ++variable) {
            const std::string setting = *variable;
            if (setHere(setting)) continue;  // the test's own setting wins
            environment.emplace_back(*variable);
        }
        std::vector<std::string> argv = {QUILLMERE_BINARY_DIR "/cli/quillmere-extract"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        std::vector<char*> rawArgv, rawEnvironment;
        for (std::string& argument : argv) rawArgv.push_back(argument.data());
        rawArgv.push_back(nullptr);
        for (std::string& setting : environment) rawEnvironment.push_back(setting.data());
        rawEnvironment.push_back(nullptr);
        spawned_ = posix_spawn(&pid_, rawArgv[0], &actions, nullptr, rawArgv.data(), rawEnvironment.data()) == 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~StalledExtractor() {
        if (spawned_ && !waited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool spawned() const { return spawned_; }
    void Signal(int signal) const { kill(pid_, signal); }

    // The exit code, or -1 when it did not exit normally.
    int Wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        waited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string ErrorOutput() const { return ReadFile(errorFile_); }

private:
    std::string errorFile_;
    pid_t pid_ = 0;
    bool spawned_ = false;
    bool waited_ = false;
};

bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 3000; ++i) {
        if (std::filesystem::exists(path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

enum class Where { WritingRows, Saving };

struct InterruptCase {
    int signal;
    Where where;
    bool earlierWorkbook;  // a file of that name was there before
    const char* extension;
};

std::string Describe(const InterruptCase& c) {
    return std::string(c.signal == SIGINT ? "Sigint" : "Sigterm") + (c.where == Where::Saving ? "Saving" : "Writing") +
           (c.earlierWorkbook ? "OverAnEarlierFile" : "NoEarlierFile") + (c.extension + 1);
}

std::string Name(const ::testing::TestParamInfo<InterruptCase>& info) { return Describe(info.param); }

void PrintTo(const InterruptCase& c, std::ostream* out) { *out << Describe(c); }

class InterruptedExtract : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(InterruptedExtract, LeavesTheOutputAsItWasAndSaysHowFarItCame) {
    const InterruptCase& c = GetParam();
    TempTree tree;
    for (int i = 1; i <= 6; ++i) tree.File("scan/" + std::to_string(i) + ".txt", "x");
    tree.File("scan/4-STALL.txt", "x");  // after 1..3, before 4, in name order
    tree.Directory("out");
    const std::string output = tree.Path(std::string("out/batch") + c.extension);
    const std::string earlier = "an earlier workbook's bytes";
    if (c.earlierWorkbook) tree.File(std::string("out/batch") + c.extension, earlier);
    const std::string marker = tree.Path("stalled");
    const std::vector<std::string> stall =
        c.where == Where::Saving
            ? std::vector<std::string>{"QUILLMERE_STALL_RENAME=1", "QUILLMERE_STALL_MARKER=" + marker}
            : std::vector<std::string>{"QUILLMERE_STALL_OPEN=STALL", "QUILLMERE_STALL_MARKER=" + marker};

    StalledExtractor extractor({"-j", "0", "-o", output, tree.Path("scan")}, stall, tree.Path("stderr"));
    ASSERT_TRUE(extractor.spawned());
    ASSERT_TRUE(WaitForFile(marker)) << extractor.ErrorOutput();
    extractor.Signal(c.signal);
    const int exitCode = extractor.Wait();

    EXPECT_EQ(exitCode, 128 + c.signal) << extractor.ErrorOutput();
    // Mid-run the file being read when the signal came still gets its row; mid-save every row was written.
    const int rows = c.where == Where::Saving ? 7 : 4;
    const std::string signalName = c.signal == SIGINT ? "SIGINT" : "SIGTERM";
    EXPECT_EQ(extractor.ErrorOutput(),
              "quillmere-extract: 已中断（" + signalName + "）：已写入" + std::to_string(rows) + "行，工作簿未保存。\n");
    if (c.earlierWorkbook) {
        EXPECT_EQ(ReadFile(output), earlier);
        EXPECT_EQ(Listing(tree.Path("out")), std::vector<std::string>{std::string("batch") + c.extension});
    } else {
        EXPECT_TRUE(Listing(tree.Path("out")).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    EverySignalAndPhase, InterruptedExtract,
    ::testing::Values(InterruptCase{SIGINT, Where::WritingRows, false, ".xlsx"},
                      InterruptCase{SIGTERM, Where::WritingRows, true, ".xlsx"},
                      InterruptCase{SIGINT, Where::Saving, true, ".xlsx"},
                      InterruptCase{SIGTERM, Where::Saving, false, ".xlsx"},
                      InterruptCase{SIGTERM, Where::Saving, true, ".xlsx"},
                      InterruptCase{SIGINT, Where::Saving, true, ".csv"},
                      InterruptCase{SIGTERM, Where::WritingRows, false, ".csv"}),
    Name);

// A signal that comes once the workbook stands under its name cannot take
// the save back: the extractor finishes, says the workbook is whole, exits 0.
TEST(InterruptedExtract, SignalAfterTheRenameKeepsTheSavedWorkbook) {
    TempTree tree;
    for (int i = 1; i <= 3; ++i) tree.File("scan/" + std::to_string(i) + ".txt", "x");
    tree.Directory("out");
    tree.File("out/batch.xlsx", "an earlier workbook's bytes");
    const std::string output = tree.Path("out/batch.xlsx");
    const std::string marker = tree.Path("stalled");
    StalledExtractor extractor({"-o", output, tree.Path("scan")},
                               {"QUILLMERE_STALL_FOLDER_SYNC=1", "QUILLMERE_STALL_MARKER=" + marker}, tree.Path("stderr"));
    ASSERT_TRUE(extractor.spawned());
    ASSERT_TRUE(WaitForFile(marker)) << extractor.ErrorOutput();
    extractor.Signal(SIGTERM);

    EXPECT_EQ(extractor.Wait(), 0) << extractor.ErrorOutput();
    EXPECT_EQ(extractor.ErrorOutput(), "提取元数据完成，本次共提取3个文件的元数据信息。\n" + output +
                                           "\nquillmere-extract: 收到SIGTERM时工作簿已经保存，保存的工作簿完整有效。\n");
    EXPECT_EQ(Listing(tree.Path("out")), std::vector<std::string>{"batch.xlsx"});
    const Workbook book = ReadWorkbook(output);
    ASSERT_TRUE(book.readable) << book.error;
    EXPECT_EQ(book.sheets.at(0).rows.size(), 4u);
}

// Two signals in quick succession, the second perhaps while the run still
// finishes its current file: whichever ends the extractor, nothing is left.
TEST(InterruptedExtract, TwoSignalsLeaveNothingEither) {
    TempTree tree;
    tree.File("scan/1.txt", "x");
    tree.File("scan/2-STALL.txt", "x");
    tree.Directory("out");
    const std::string marker = tree.Path("stalled");
    StalledExtractor extractor({"-j", "0", "-o", tree.Path("out/batch.xlsx"), tree.Path("scan")},
                               {"QUILLMERE_STALL_OPEN=STALL", "QUILLMERE_STALL_MARKER=" + marker}, tree.Path("stderr"));
    ASSERT_TRUE(extractor.spawned());
    ASSERT_TRUE(WaitForFile(marker));
    extractor.Signal(SIGTERM);
    extractor.Signal(SIGINT);
    const int exitCode = extractor.Wait();

    EXPECT_TRUE(exitCode == 128 + SIGINT || exitCode == 128 + SIGTERM) << exitCode;
    EXPECT_TRUE(Listing(tree.Path("out")).empty());
    EXPECT_NE(extractor.ErrorOutput().find("工作簿未保存"), std::string::npos) << extractor.ErrorOutput();
}

// A signal while the rows are being deflated into the hidden workbook, well
// into a sheet: the one line, 128 + the signal, the earlier workbook of that
// name byte for byte, and no hidden file. The shim holds the write that
// carries the staged file past its first 64 KiB, so the signal lands in the
// middle of the sheet's compressed data.
class InterruptedCompression : public ::testing::TestWithParam<int> {};

TEST_P(InterruptedCompression, LeavesTheEarlierWorkbookAndNoHiddenFile) {
    const int signal = GetParam();
    constexpr int kFiles = 5000;
    TempTree tree;
    for (int i = 1; i <= 3; ++i) tree.File("first/" + std::to_string(i) + ".txt", "x");
    char name[64];
    for (int i = 1; i <= kFiles; ++i) {
        std::snprintf(name, sizeof name, "scan/卷%03d/扫描件-%05d.txt", i / 100, i);
        tree.File(name, "not an image, but a row all the same");
    }
    tree.Directory("out");
    const std::string output = tree.Path("out/batch.xlsx");
    {
        StalledExtractor earlierRun({"-o", output, tree.Path("first")}, {}, tree.Path("stderr-first"));
        ASSERT_TRUE(earlierRun.spawned());
        ASSERT_EQ(earlierRun.Wait(), 0) << earlierRun.ErrorOutput();
    }
    const std::string earlier = ReadFile(output);
    ASSERT_FALSE(earlier.empty());

    const std::string marker = tree.Path("stalled");
    StalledExtractor extractor({"-o", output, tree.Path("scan")},
                               {"QUILLMERE_STALL_PWRITE_PAST=65536", "QUILLMERE_STALL_MARKER=" + marker},
                               tree.Path("stderr"));
    ASSERT_TRUE(extractor.spawned());
    ASSERT_TRUE(WaitForFile(marker)) << extractor.ErrorOutput();
    // Held mid-write: the hidden workbook is there beside the earlier one, past its first flush.
    std::vector<std::string> during = Listing(tree.Path("out"));
    ASSERT_EQ(during.size(), 2u);
    const std::string hidden = during[0] == "batch.xlsx" ? during[1] : during[0];
    EXPECT_TRUE(hidden.starts_with(".")) << hidden;
    EXPECT_GE(std::filesystem::file_size(tree.Path("out/" + hidden)), 32768u);
    extractor.Signal(signal);
    const int exitCode = extractor.Wait();

    EXPECT_EQ(exitCode, 128 + signal) << extractor.ErrorOutput();
    const std::string line = extractor.ErrorOutput();
    const std::string signalName = signal == SIGINT ? "SIGINT" : "SIGTERM";
    const std::string head = "quillmere-extract: 已中断（" + signalName + "）：已写入";
    const std::string tail = "行，工作簿未保存。\n";
    ASSERT_TRUE(line.starts_with(head) && line.ends_with(tail)) << line;
    // Stopped among the rows, not after them.
    const int rows = std::stoi(line.substr(head.size(), line.size() - head.size() - tail.size()));
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, kFiles);
    EXPECT_EQ(ReadFile(output), earlier);
    EXPECT_EQ(Listing(tree.Path("out")), std::vector<std::string>{"batch.xlsx"});
}

INSTANTIATE_TEST_SUITE_P(BothSignals, InterruptedCompression, ::testing::Values(SIGTERM, SIGINT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == SIGINT ? "Sigint" : "Sigterm");
                         });

// The handler's lines, looked up before any signal, in the language the
// locale asks for.
TEST(InterruptedExtract, TheLinesSpeakEnglishWhenTheLocaleAsks) {
    ASSERT_FALSE(EnglishLocaleFolder().empty()) << "no en_US.UTF-8 (scripts/install-deps.sh test installs locales)";
    TempTree tree;
    for (int i = 1; i <= 3; ++i) tree.File("scan/" + std::to_string(i) + ".txt", "x");
    tree.Directory("out");
    {
        const std::string marker = tree.Path("stalled-save");
        StalledExtractor extractor({"-o", tree.Path("out/a.xlsx"), tree.Path("scan")},
                                   {"LOCPATH=" + EnglishLocaleFolder(), "LC_ALL=en_US.UTF-8", "QUILLMERE_STALL_RENAME=1", "QUILLMERE_STALL_MARKER=" + marker},
                                   tree.Path("stderr-save"));
        ASSERT_TRUE(extractor.spawned());
        ASSERT_TRUE(WaitForFile(marker)) << extractor.ErrorOutput();
        extractor.Signal(SIGINT);
        EXPECT_EQ(extractor.Wait(), 128 + SIGINT);
        EXPECT_EQ(extractor.ErrorOutput(),
                  "quillmere-extract: interrupted (SIGINT): 3 rows written, the workbook was not saved.\n");
    }
    {
        const std::string marker = tree.Path("stalled-sync");
        StalledExtractor extractor({"-o", tree.Path("out/b.xlsx"), tree.Path("scan")},
                                   {"LOCPATH=" + EnglishLocaleFolder(), "LC_ALL=en_US.UTF-8",
                                    "QUILLMERE_STALL_FOLDER_SYNC=1", "QUILLMERE_STALL_MARKER=" + marker},
                                   tree.Path("stderr-sync"));
        ASSERT_TRUE(extractor.spawned());
        ASSERT_TRUE(WaitForFile(marker)) << extractor.ErrorOutput();
        extractor.Signal(SIGTERM);
        EXPECT_EQ(extractor.Wait(), 0);
        EXPECT_EQ(extractor.ErrorOutput(), "Done: the metadata of 3 files was extracted.\n" + tree.Path("out/b.xlsx") +
                                               "\nquillmere-extract: SIGTERM came after the workbook was saved; the "
                                               "saved workbook is complete.\n");
    }
}

}  // namespace
}  // namespace quillmere::testing
