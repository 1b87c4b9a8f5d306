#include "cli/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <initializer_list>

#include "cli/translation.h"
#include "runtime/display_width.h"

namespace quillmere::cli {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kSavingTick = std::chrono::seconds(1);
constexpr int kFullBar = 30;
constexpr int kShortestBar = 10;
constexpr int kUnknownWidth = 80;

std::string Duration(double seconds) {
    const auto total = static_cast<long long>(std::max(seconds, 0.0) + 0.5);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    return buffer;
}

std::string Number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return buffer;
}

std::string Count(std::int64_t done, std::int64_t total) {
    return std::to_string(done) + "/" + std::to_string(total);
}

std::string Bar(std::int64_t done, std::int64_t total, int width) {
    const std::int64_t clamped = std::clamp<std::int64_t>(done, 0, total);
    const auto filled = static_cast<std::size_t>(total > 0 ? width * clamped / total : 0);
    std::string bar = "[" + std::string(filled, '#');
    bar.resize(static_cast<std::size_t>(width) + 1, '.');
    return bar + "] ";
}

// Terminal columns the UTF-8 text takes, for the arithmetic of a line.
int Columns(std::string_view utf8) { return static_cast<int>(DisplayWidth(utf8)); }

// The first of the candidates that fits room columns, or the last one cut
// to fit (it is plain ASCII).
std::string FirstThatFits(std::initializer_list<std::string> candidates, int room) {
    for (const std::string& candidate : candidates) {
        if (Columns(candidate) <= room) return candidate;
    }
    std::string last = *(candidates.end() - 1);
    last.resize(static_cast<std::size_t>(std::max(room, 0)));
    return last;
}

}  // namespace

std::string FormatProgressLine(std::int64_t done, std::int64_t total, double elapsedSeconds, int width,
                               ProgressPhase phase) {
    // The last column stays free: some terminals wrap as soon as it is written.
    const int room = width - 1;
    if (room <= 0) return std::string();
    const std::string count = Count(done, total);
    // TRANSLATORS: the progress line's parts; %s is "done/total", a rate or a time.
    const std::string files = Format(TrPlural("%s 个文件", "%s 个文件", static_cast<unsigned long>(total)), count.c_str());
    if (phase == ProgressPhase::Saving) {
        const std::string elapsed = Duration(elapsedSeconds);
        const std::string saving = Format(Tr("正在保存工作簿... %s"), elapsed.c_str());
        return FirstThatFits({files + "  " + saving, count + "  " + saving, saving,
                              Format(Tr("保存中 %s"), elapsed.c_str()), elapsed},
                             room);
    }
    const double rate = elapsedSeconds > 0 ? static_cast<double>(done) / elapsedSeconds : 0.0;
    const double left = rate > 0 ? static_cast<double>(total - done) / rate : 0.0;
    const std::string timeLeft = Format(Tr("剩余 %s"), Duration(left).c_str());
    const std::string tails[] = {
        files + "  " + Format(Tr("每秒 %s 个"), Number(rate).c_str()) + "  " + timeLeft,
        files + "  " + timeLeft,
        count + "  " + Duration(left),
        count,
    };
    for (const std::string& tail : tails) {
        const int barRoom = room - Columns(tail) - 3;  // "[" "] "
        if (barRoom >= kShortestBar) return Bar(done, total, std::min(barRoom, kFullBar)) + tail;
    }
    return FirstThatFits({tails[0], tails[1], tails[2], tails[3]}, room);
}

int TerminalColumns(int fd) {
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return kUnknownWidth;
    return size.ws_col;
}

ProgressLine::ProgressLine(int fd) : fd_(fd), started_(std::chrono::steady_clock::now()) {}

ProgressLine::~ProgressLine() { Finish(); }

void ProgressLine::ShowFiles(std::int64_t done, std::int64_t total) {
    if (total <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < total && shown_ && now - lastDrawn_ < kRedrawInterval) return;
    lastDrawn_ = now;
    const std::lock_guard lock(drawing_);
    done_ = done;
    total_ = total;
    Draw(ProgressPhase::Extracting, std::chrono::duration<double>(now - started_).count());
}

void ProgressLine::BeginSaving() {
    if (ticker_.joinable()) return;
    {
        const std::lock_guard lock(drawing_);
        savingStarted_ = std::chrono::steady_clock::now();
        Draw(ProgressPhase::Saving, 0);
    }
    // The save is one long call on the run's thread; the seconds are counted
    // from here meanwhile.
    ticker_ = std::jthread([this](std::stop_token stop) { TickWhileSaving(stop); });
}

void ProgressLine::TickWhileSaving(std::stop_token stop) {
    std::unique_lock lock(drawing_);
    while (!tick_.wait_for(lock, stop, kSavingTick, [] { return false; })) {
        if (stop.stop_requested()) return;
        Draw(ProgressPhase::Saving,
             std::chrono::duration<double>(std::chrono::steady_clock::now() - savingStarted_).count());
    }
}

void ProgressLine::Finish() {
    if (ticker_.joinable()) {
        ticker_.request_stop();
        ticker_.join();
    }
    const std::lock_guard lock(drawing_);
    if (!shown_) return;
    shown_ = false;
    (void)!write(fd_, "\n", 1);
}

// The whole line in one write, from the line's start, clearing what a
// longer line before it (or a wider terminal) left.
void ProgressLine::Draw(ProgressPhase phase, double elapsedSeconds) {
    const std::string line =
        "\r" + FormatProgressLine(done_, total_, elapsedSeconds, TerminalColumns(fd_), phase) + "\x1b[K";
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = write(fd_, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        written += static_cast<std::size_t>(n);
    }
    shown_ = true;
}

}  // namespace quillmere::cli
