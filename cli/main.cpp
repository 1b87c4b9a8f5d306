// quillmere-extract: the extraction run from the command line.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/interruption.h"
#include "cli/run_report.h"
#include "cli/terminal_port.h"
#include "cli/translation.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "sheet/workbook_makers.h"
#include "workflow/acceptance_report.h"
#include "workflow/acceptance_rules.h"
#include "workflow/extraction_run.h"
#include "workflow/file_preparer.h"

namespace {

constexpr const char* kProgram = "quillmere-extract";
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFindings = 3;

void PrintError(const std::string& message) { std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str()); }

// The rules --rules names, with --digests added; nullopt with the message
// printed when the file is refused. No rules and no --digests: no check.
std::optional<std::optional<quillmere::workflow::AcceptanceRules>> AcceptanceRulesFor(
    const quillmere::FileSystem& fs, const quillmere::cli::ExtractOptions& options) {
    using quillmere::workflow::AcceptanceRules;
    if (options.rules.empty() && !options.digests) return std::optional<AcceptanceRules>();
    AcceptanceRules rules;
    if (!options.rules.empty()) {
        const quillmere::workflow::RulesReading reading = quillmere::workflow::LoadAcceptanceRules(fs, options.rules);
        if (!reading.rules) {
            PrintError(quillmere::cli::RulesFailureLine(options.rules, reading.failure));
            return std::nullopt;
        }
        rules = *reading.rules;
    }
    rules.digests = rules.digests || options.digests;
    return std::optional<AcceptanceRules>(std::move(rules));
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quillmere;
    cli::UseTheLocalesLanguage();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const cli::ParsedCommandLine parsed = cli::ParseCommandLine(arguments);
    if (!parsed.error.empty()) {
        PrintError(parsed.error);
        std::fprintf(stderr, "%s\n", cli::Format(cli::Tr("请用“%s --help”查看用法。"), kProgram).c_str());
        return kExitUsage;
    }
    const cli::ExtractOptions& options = parsed.options;
    if (options.help) {
        std::fputs(cli::UsageText(kProgram).c_str(), stdout);
        return kExitDone;
    }
    if (options.version) {
        std::printf("%s %s\n", kProgram, QUILLMERE_VERSION);
        return kExitDone;
    }

    if (const int error = cli::InstallInterruptionHandlers(); error != 0) {
        PrintError(cli::Format(cli::Tr("无法设置信号处理：%s"), std::strerror(error)));
        return kExitFailed;
    }
    const workflow::BatchFacts facts{TextFromUtf8(options.scanner), TextFromUtf8(options.maker),
                                     TextFromUtf8(options.model), TextFromUtf8(options.processor),
                                     TextFromUtf8(options.software)};
    cli::TerminalPort window(facts, TextFromUtf8(options.folder), options.output, isatty(STDERR_FILENO) == 1,
                             options.verbose);

    RealFileSystem fs;
    const auto acceptance = AcceptanceRulesFor(fs, options);
    if (!acceptance) return kExitUsage;
    sheet::OutputPathWorkbookMaker maker(options.output);
    workflow::RunSettings settings;
    settings.acceptance = *acceptance;
    settings.pool = options.jobs ? workflow::FixedPreparePool(*options.jobs) : workflow::DefaultPreparePool();
    settings.whenStopped = workflow::WhenStopped::SaveNothing;
    // The interruption handler tells a finished save from an unfinished one
    // by running on the thread that renames; there is no window to keep turning.
    settings.saveThread = workflow::SaveThread::RunThread;
    const workflow::RunResult result = workflow::RunExtraction(window, fs, maker, settings);
    cli::EnterFinishedPhase();
    window.FinishProgress();

    switch (result.outcome) {
        case workflow::RunOutcome::Completed:
            if (options.verbose) {
                std::fprintf(stderr, "%s\n", cli::NotReadSummary(window.notReadCount(), result.fileCount).c_str());
            }
            // Then the completion, whose last line tells of folders that could not be read.
            std::fprintf(stderr, "%s\n",
                         cli::CompletedLines(result.filesWritten, result.workbookPath, result.unreadFolders).c_str());
            if (cli::LateSignal() != 0) PrintError(cli::LateSignalLine(cli::LateSignal()));
            // The acceptance check, when it ran, has the very last line.
            if (result.findings) {
                std::fprintf(stderr, "%s\n", cli::AcceptanceLine(*result.findings, options.output).c_str());
                if (*result.findings > 0) return kExitFindings;
            }
            return kExitDone;
        case workflow::RunOutcome::NotStarted:
            PrintError(cli::FolderUnusableLine(options.folder));
            return kExitFailed;
        case workflow::RunOutcome::CreateFailed:
        case workflow::RunOutcome::SaveFailed:
            PrintError(cli::WorkbookFailureLine(result.outcome, result.failure));
            return kExitFailed;
        case workflow::RunOutcome::Interrupted:
            if (cli::StopSignal() == 0) break;  // only a signal stops the extractor
            std::fprintf(stderr, "%s\n", cli::InterruptedLine(cli::StopSignal(), result.filesWritten).c_str());
            return 128 + cli::StopSignal();
    }
    return kExitFailed;
}
