#include "cli/terminal_window.h"

#include <unistd.h>

#include "runtime/text_encoding.h"

namespace quillmere::cli {

TerminalWindow::TerminalWindow(bool drawProgress) {
    if (drawProgress) progress_.emplace(STDERR_FILENO);
}

Text TerminalWindow::Content(std::string_view control) const {
    const auto found = contents_.find(control);
    return found == contents_.end() ? Text() : found->second;
}

void TerminalWindow::SetContent(std::string_view control, const Text& text) {
    contents_.insert_or_assign(std::string(control), text);
}

int TerminalWindow::ShowMessage(const Text& message, int) {
    messages_.push_back(TextToUtf8(message));
    return 0;
}

void TerminalWindow::ReportProgress(std::int64_t done, std::int64_t total) {
    if (!progress_) return;
    progress_->ShowFiles(done, total);
    // The last file's row is written; what follows is the save.
    if (total > 0 && done == total) progress_->BeginSaving();
}

void TerminalWindow::BeginSaving() {
    if (progress_) progress_->BeginSaving();
}

void TerminalWindow::FinishProgress() {
    if (progress_) progress_->Finish();
}

}  // namespace quillmere::cli
