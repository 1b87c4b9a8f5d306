#include "cli/terminal_window.h"

#include <unistd.h>

#include "cli/interruption.h"
#include "runtime/text_encoding.h"

namespace quillmere::cli {

TerminalWindow::TerminalWindow(workflow::BatchFacts facts, Text folder, std::string output, bool drawProgress,
                               bool verbose)
    : facts_(std::move(facts)), folder_(std::move(folder)), output_(std::move(output)), verbose_(verbose) {
    if (drawProgress) progress_.emplace(STDERR_FILENO);
}

void TerminalWindow::ShowMessage(const Text& message, workflow::MessageKind) {
    messages_.push_back(TextToUtf8(message));
}

bool TerminalWindow::CloseRequested() const { return StopSignal() != 0; }

void TerminalWindow::ReportSaving() {
    BeginSaving();
    EnterSavingPhase(output_, progress_.has_value());
}

void TerminalWindow::ReportProgress(std::int64_t done, std::int64_t total) {
    CountRowsWritten(done);
    EnterWritingPhase();
    if (progress_) progress_->ShowFiles(done, total);
}

void TerminalWindow::BeginSaving() {
    if (progress_) progress_->BeginSaving();
}

void TerminalWindow::ReportNotRead(const Text& path, const Text& reason) {
    ++notReadCount_;
    if (!verbose_) return;
    FinishProgress();  // the line goes below the bar, which is drawn again on the next file
    // The path as the file system spells it, so it can be pasted into a shell.
    std::fprintf(stderr, "%s: %s\n", TextToNativeName(path).c_str(), TextToUtf8(reason).c_str());
}

void TerminalWindow::ReportUnreadFolder(const Text& folder, const Text& reason) {
    if (!verbose_) return;
    FinishProgress();
    std::fprintf(stderr, "%s: 无法读取文件夹：%s\n", TextToNativeName(folder).c_str(), TextToUtf8(reason).c_str());
}

void TerminalWindow::FinishProgress() {
    if (progress_) progress_->Finish();
}

}  // namespace quillmere::cli
