#include "cli/terminal_port.h"

#include <unistd.h>

#include "cli/interruption.h"
#include "cli/translation.h"
#include "runtime/text_encoding.h"

namespace quillmere::cli {

namespace {

// The probe's own reason when no decoder recognised the file; every other
// reason is a library's or the system's text and stays as it came.
constexpr const char* kUnrecognisedFormat = TrMark("未知或错误的图像格式");

std::string ReasonInRunLanguage(const Text& reason) {
    std::string utf8 = TextToUtf8(reason);
    return utf8 == kUnrecognisedFormat ? std::string(Tr(kUnrecognisedFormat)) : utf8;
}

}  // namespace

TerminalPort::TerminalPort(workflow::BatchFacts facts, Text folder, std::string output, bool drawProgress, bool verbose)
    : facts_(std::move(facts)), folder_(std::move(folder)), output_(std::move(output)), verbose_(verbose) {
    if (drawProgress) progress_.emplace(STDERR_FILENO);
}

void TerminalPort::ShowMessage(const Text& message, workflow::MessageKind) { messages_.push_back(TextToUtf8(message)); }

bool TerminalPort::CloseRequested() const { return StopSignal() != 0; }

void TerminalPort::ReportSaving() {
    BeginSaving();
    EnterSavingPhase(output_, progress_.has_value());
}

void TerminalPort::ReportProgress(std::int64_t done, std::int64_t total) {
    CountRowsWritten(done);
    EnterWritingPhase();
    if (progress_) progress_->ShowFiles(done, total);
}

void TerminalPort::BeginSaving() {
    if (progress_) progress_->BeginSaving();
}

void TerminalPort::ReportNotRead(const Text& path, const Text& reason) {
    ++notReadCount_;
    if (!verbose_) return;
    FinishProgress();  // the line goes below the bar, which is drawn again on the next file
    // The path as the file system spells it, so it can be pasted into a shell.
    std::fprintf(stderr, "%s: %s\n", TextToNativeName(path).c_str(), ReasonInRunLanguage(reason).c_str());
}

void TerminalPort::ReportUnreadFolder(const Text& folder, const Text& reason) {
    if (!verbose_) return;
    FinishProgress();
    const std::string line =
        Format(Tr("%s: 无法读取文件夹：%s"), TextToNativeName(folder).c_str(), TextToUtf8(reason).c_str());
    std::fprintf(stderr, "%s\n", line.c_str());
}

void TerminalPort::FinishProgress() {
    if (progress_) progress_->Finish();
}

}  // namespace quillmere::cli
