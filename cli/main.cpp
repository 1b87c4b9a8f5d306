// quillmere-extract: the extraction run from the command line.

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/terminal_window.h"
#include "runtime/heap_tuning.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "sheet/excel_controls.h"
#include "sheet/xlsx_application.h"
#include "workflow/extraction_run.h"
#include "workflow/file_preparer.h"

namespace {

constexpr const char* kProgram = "quillmere-extract";
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintError(const std::string& message) { std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str()); }

}  // namespace

int main(int argc, char** argv) {
    using namespace quillmere;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const cli::ParsedCommandLine parsed = cli::ParseCommandLine(arguments);
    if (!parsed.error.empty()) {
        PrintError(parsed.error);
        std::fprintf(stderr, "Try '%s --help'.\n", kProgram);
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

    KeepFreedHeapForReuse();
    cli::TerminalWindow window(isatty(STDERR_FILENO) == 1, options.verbose);
    window.SetContent(workflow::control::kScanner, TextFromUtf8(options.scanner));
    window.SetContent(workflow::control::kMaker, TextFromUtf8(options.maker));
    window.SetContent(workflow::control::kModel, TextFromUtf8(options.model));
    window.SetContent(workflow::control::kProcessor, TextFromUtf8(options.processor));
    window.SetContent(workflow::control::kSoftware, TextFromUtf8(options.software));
    window.SetContent(workflow::control::kFolder, TextFromUtf8(options.folder));

    RealFileSystem fs;
    sheet::XlsxApplicationFactory factory(options.output, nullptr);
    sheet::ExcelApp app(factory);
    sheet::ExcelWorkbooks workbook;
    const workflow::RunSettings settings{options.jobs ? workflow::FixedPreparePool(*options.jobs)
                                                      : workflow::DefaultPreparePool()};
    const workflow::RunResult result = workflow::RunExtraction(window, fs, app, workbook, settings);
    window.FinishProgress();

    switch (result.outcome) {
        case workflow::RunOutcome::Completed:
            if (!result.saveFailure.empty()) {
                PrintError("cannot write '" + options.output + "': " + result.saveFailure);
                return kExitFailed;
            }
            for (const std::string& message : window.messages()) std::fprintf(stderr, "%s\n", message.c_str());
            if (options.verbose) {
                std::fprintf(stderr, "%lld of %lld files not read\n", static_cast<long long>(window.notReadCount()),
                             static_cast<long long>(result.fileCount));
            }
            return kExitDone;
        case workflow::RunOutcome::NotStarted:
            PrintError(window.messages().empty() ? "the image folder cannot be read" : window.messages().back());
            return kExitFailed;
        case workflow::RunOutcome::CreateFailed:
            PrintError("cannot create the workbook '" + options.output + "': " + factory.CreateFailure());
            return kExitFailed;
        case workflow::RunOutcome::AssociateFailed:
            PrintError("cannot add a workbook to '" + options.output + "'");
            return kExitFailed;
        case workflow::RunOutcome::Interrupted:
            PrintError("interrupted");
            return kExitFailed;
    }
    return kExitFailed;
}
