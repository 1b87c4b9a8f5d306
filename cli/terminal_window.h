#pragma once
// The window the run talks to when it runs from a terminal: the batch facts
// and the folder come from the command line, messages go to standard error,
// and progress is drawn as a bar when standard error is a terminal.

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/progress_line.h"
#include "workflow/window_port.h"

namespace quillmere::cli {

class TerminalWindow final : public workflow::WindowPort {
public:
    explicit TerminalWindow(bool drawProgress);

    Text Content(std::string_view control) const override;
    void SetContent(std::string_view control, const Text& text) override;
    void SetDisabled(std::string_view, bool) override {}
    int Checked(std::string_view) const override { return 0; }
    void SetPosition(int) override {}
    int ShowMessage(const Text& message, int flags) override;
    void ProcessEvents() override {}
    void AppendText(std::string_view, const Text&) override {}
    Text BrowseForFolder(const Text&) override { return Text(); }
    bool CloseRequested() const override { return false; }
    void ReportProgress(std::int64_t done, std::int64_t total) override;

    // The messages the run showed, in UTF-8, in order.
    const std::vector<std::string>& messages() const { return messages_; }
    // The files are done; the line shows the save until FinishProgress.
    void BeginSaving();
    // Ends a progress line that is still on screen.
    void FinishProgress();

private:
    std::map<std::string, Text, std::less<>> contents_;
    std::vector<std::string> messages_;
    std::optional<ProgressLine> progress_;
};

}  // namespace quillmere::cli
