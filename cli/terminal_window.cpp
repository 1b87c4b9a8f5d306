#include "cli/terminal_window.h"

#include <unistd.h>

#include "cli/interruption.h"
#include "runtime/text_encoding.h"

namespace quillmere::cli {

TerminalWindow::TerminalWindow(workflow::BatchFacts facts, Text folder, std::string output, bool drawProgress)
    : facts_(std::move(facts)), folder_(std::move(folder)), output_(std::move(output)) {
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

void TerminalWindow::FinishProgress() {
    if (progress_) progress_->Finish();
}

}  // namespace quillmere::cli
