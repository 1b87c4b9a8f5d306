#pragma once
// The extractor's one line of progress on a terminal: a bar, the files done
// of the total, the rate and the time left, then the save as a phase of its
// own. The line always fits the terminal's width with a column to spare, so
// it never wraps, and is redrawn in place.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

namespace quillmere::cli {

enum class ProgressPhase { Extracting, Saving };

// The line for done of total files, elapsedSeconds into the phase, at most
// width - 1 terminal columns wide (CJK characters take two). Parts are left
// out, least useful first, as the width shrinks.
std::string FormatProgressLine(std::int64_t done, std::int64_t total, double elapsedSeconds, int width,
                               ProgressPhase phase);

// The width of the terminal on fd, or 80 when it cannot be asked.
int TerminalColumns(int fd);

class ProgressLine {
public:
    // Draws on the terminal fd; the clock starts now.
    explicit ProgressLine(int fd);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // A few times a second at most, and always for the last file.
    void ShowFiles(std::int64_t done, std::int64_t total);
    // The files are done and the workbook is being saved: the line says so
    // and counts the seconds until Finish.
    void BeginSaving();
    // Ends a line that is on screen.
    void Finish();

private:
    void Draw(ProgressPhase phase, double elapsedSeconds);
    void TickWhileSaving(std::stop_token stop);

    int fd_;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDrawn_;
    std::chrono::steady_clock::time_point savingStarted_;
    std::int64_t done_ = 0;
    std::int64_t total_ = 0;
    bool shown_ = false;
    std::mutex drawing_;
    std::condition_variable_any tick_;
    std::jthread ticker_;
};

}  // namespace quillmere::cli
