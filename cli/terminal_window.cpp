#include "cli/terminal_window.h"

#include <cstdio>

#include "runtime/text_encoding.h"

namespace quillmere::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

std::string FormatDuration(double seconds) {
    const auto total = static_cast<long long>(seconds + 0.5);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return buffer;
}

}  // namespace

TerminalWindow::TerminalWindow(bool drawProgress, bool verbose)
    : drawProgress_(drawProgress), verbose_(verbose), started_(std::chrono::steady_clock::now()) {}

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
    if (!drawProgress_ || total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < total && progressShown_ && now - lastDrawn_ < kRedrawInterval) return;
    lastDrawn_ = now;
    progressShown_ = true;

    const double elapsed = std::chrono::duration<double>(now - started_).count();
    const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0.0;
    const double left = rate > 0 ? static_cast<double>(total - done) / rate : 0.0;
    const int filled = static_cast<int>(kBarWidth * done / total);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(stderr, "\r[%s] %lld/%lld files  %.0f files/s  %s left ", bar.c_str(), static_cast<long long>(done),
                 static_cast<long long>(total), rate, FormatDuration(left).c_str());
    std::fflush(stderr);
}

void TerminalWindow::ReportNotRead(const Text& path, const Text& reason) {
    ++notReadCount_;
    if (!verbose_) return;
    FinishProgress();  // the line goes below the bar, which is drawn again on the next file
    // The path as the file system spells it, so it can be pasted into a shell.
    std::fprintf(stderr, "%s: %s\n", TextToNativeName(path).c_str(), TextToUtf8(reason).c_str());
}

void TerminalWindow::FinishProgress() {
    if (!progressShown_) return;
    std::fputc('\n', stderr);
    progressShown_ = false;
}

}  // namespace quillmere::cli
