#pragma once
// The window the run talks to when it runs from a terminal: the batch facts
// and the folder come from the command line, messages go to standard error,
// and progress is drawn as a bar when standard error is a terminal.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "workflow/window_port.h"

namespace quillmere::cli {

class TerminalWindow final : public workflow::WindowPort {
public:
    // verbose: name each file that was not read, as it is met.
    TerminalWindow(bool drawProgress, bool verbose);

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
    void ReportNotRead(const Text& path, const Text& reason) override;

    // The messages the run showed, in UTF-8, in order.
    const std::vector<std::string>& messages() const { return messages_; }
    // Ends a progress line that is still on screen.
    void FinishProgress();
    // Files no decoder accepted or that could not be read, so far.
    std::int64_t notReadCount() const { return notReadCount_; }

private:
    std::map<std::string, Text, std::less<>> contents_;
    std::vector<std::string> messages_;
    bool drawProgress_;
    bool verbose_;
    std::int64_t notReadCount_ = 0;
    bool progressShown_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDrawn_;
};

}  // namespace quillmere::cli
