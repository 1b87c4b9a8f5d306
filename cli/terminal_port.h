#pragma once
// The window port of a run started from a terminal: there is no window; the
// batch facts and the folder come from the command line, messages are kept
// for main to print, a stop comes from SIGINT or SIGTERM, and progress is
// drawn as a bar when standard error is a terminal.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/progress_line.h"
#include "workflow/window_port.h"

namespace quillmere::cli {

class TerminalPort final : public workflow::WindowPort {
public:
    // output: the workbook's path as -o gave it; verbose: name each file
    // that was not read, as it is met.
    TerminalPort(workflow::BatchFacts facts, Text folder, std::string output, bool drawProgress, bool verbose);

    workflow::BatchFacts ReadBatchFacts() const override { return facts_; }
    Text Folder() const override { return folder_; }
    void SetFolder(const Text& folder) override { folder_ = folder; }
    void SetStatus(const Text&) override {}
    bool PathLogWanted() const override { return false; }
    void AppendToPathLog(const Text&) override {}
    void ShowNotes(const Text&) override {}
    void SetStartEnabled(bool) override {}
    void ShowMessage(const Text& message, workflow::MessageKind kind) override;
    void Minimise() override {}
    void ProcessEvents() override {}
    Text BrowseForFolder() override { return Text(); }
    bool CloseRequested() const override;
    // The workbook is where -o said; there is nothing to hand over.
    bool OpenWorkbook(const std::string&) override { return true; }
    void ReportProgress(std::int64_t done, std::int64_t total) override;
    void ReportSaving() override;
    void ReportNotRead(const Text& path, const Text& reason) override;
    void ReportUnreadFolder(const Text& folder, const Text& reason) override;

    // The messages the run showed, in UTF-8, in order.
    const std::vector<std::string>& messages() const { return messages_; }
    // The files are done; the line shows the save until FinishProgress.
    void BeginSaving();
    // Ends a progress line that is still on screen.
    void FinishProgress();
    // Files no decoder accepted or that could not be read, so far.
    std::int64_t notReadCount() const { return notReadCount_; }

private:
    workflow::BatchFacts facts_;
    Text folder_;
    std::string output_;
    std::vector<std::string> messages_;
    std::optional<ProgressLine> progress_;
    bool verbose_;
    std::int64_t notReadCount_ = 0;
};

}  // namespace quillmere::cli
