#include "cli/interruption.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "cli/translation.h"
#include "sheet/temporary_file_registry.h"

namespace quillmere::cli {

namespace {

enum Phase : int { kPreparing, kWriting, kSaving, kFinished };

// A signal handler's state: plain flags and a lock-free counter, written by
// the run's thread, read by the handler on that same thread.
volatile sig_atomic_t gPhase = kPreparing;
volatile sig_atomic_t gStopSignal = 0;
volatile sig_atomic_t gLateSignal = 0;
volatile sig_atomic_t gLineOnScreen = 0;
std::atomic<std::int64_t> gRowsWritten{0};
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

// What the output name held when the save began.
char gOutput[4096];
bool gOutputExisted = false;
dev_t gOutputDevice = 0;
ino_t gOutputInode = 0;

constexpr const char kProgramPrefix[] = "quillmere-extract: ";
// TRANSLATORS: %s is the signal's name (SIGINT, SIGTERM), %lld the rows written.
constexpr const char* kInterruptedChinese = TrMark("已中断（%s）：已写入%lld行，工作簿未保存。");
constexpr const char* kSignalChinese = TrMark("信号");

// The handler's texts in the run's language, looked up before any signal
// can come (gettext is no function for a signal handler); Chinese until then.
const char* gInterruptedFormat = kInterruptedChinese;
const char* gSignalWord = kSignalChinese;

const char* SignalName(int signal) {
    return signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : gSignalWord;
}

// Decimal digits of value into out (at least 21 bytes); returns the length.
std::size_t FormatCount(std::int64_t value, char* out) {
    char reversed[24];
    std::size_t length = 0;
    std::uint64_t magnitude = value < 0 ? 0 : static_cast<std::uint64_t>(value);
    do {
        reversed[length++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    for (std::size_t i = 0; i < length; ++i) out[i] = reversed[length - 1 - i];
    return length;
}

// Builds the interrupted line into buffer; async-signal-safe.
std::size_t BuildLine(int signal, std::int64_t rows, char* buffer, std::size_t capacity) {
    std::size_t used = 0;
    const auto append = [&](const char* text, std::size_t length) {
        if (used + length > capacity) length = capacity - used;
        std::memcpy(buffer + used, text, length);
        used += length;
    };
    const auto appendText = [&](const char* text) { append(text, std::strlen(text)); };
    appendText(kProgramPrefix);
    // The format's %s and %lld, wherever the language puts them.
    for (const char* at = gInterruptedFormat; *at != '\0';) {
        if (std::strncmp(at, "%s", 2) == 0) {
            appendText(SignalName(signal));
            at += 2;
        } else if (std::strncmp(at, "%lld", 4) == 0) {
            char digits[24];
            append(digits, FormatCount(rows, digits));
            at += 4;
        } else {
            append(at++, 1);
        }
    }
    append("\n", 1);
    return used;
}

// True once the save has put a new file under the output name.
bool OutputReplaced() {
    struct stat now {};
    if (stat(gOutput, &now) != 0) return false;
    return !gOutputExisted || now.st_dev != gOutputDevice || now.st_ino != gOutputInode;
}

// Removes the temporary files, writes the line and ends the process; also
// async-signal-safe.
[[noreturn]] void EndInterrupted(int signal) {
    sheet::RemoveRegisteredTemporaryFiles();
    if (gLineOnScreen) static_cast<void>(write(STDERR_FILENO, "\n", 1));
    char line[256];
    const std::size_t length = BuildLine(signal, gRowsWritten.load(std::memory_order_relaxed), line, sizeof line);
    static_cast<void>(write(STDERR_FILENO, line, length));
    _exit(128 + signal);
}

extern "C" void OnInterrupt(int signal) {
    const int savedErrno = errno;
    const int phase = gPhase;
    if (phase == kFinished || (phase == kSaving && OutputReplaced())) {
        gLateSignal = signal;
        errno = savedErrno;
        return;
    }
    if (phase == kWriting && gStopSignal == 0) {
        gStopSignal = signal;
        errno = savedErrno;
        return;
    }
    EndInterrupted(signal);
}

}  // namespace

int InstallInterruptionHandlers() {
    gInterruptedFormat = Tr(kInterruptedChinese);
    gSignalWord = Tr(kSignalChinese);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM}) {
        if (sigaction(signal, &action, nullptr) != 0) return errno;
    }
    return 0;
}

void EnterWritingPhase() { gPhase = kWriting; }

void EnterSavingPhase(const std::string& output, bool lineOnScreen) {
    gLineOnScreen = lineOnScreen ? 1 : 0;
    const std::size_t length = std::min(output.size(), sizeof gOutput - 1);
    std::memcpy(gOutput, output.data(), length);
    gOutput[length] = '\0';
    struct stat before {};
    gOutputExisted = stat(gOutput, &before) == 0;
    gOutputDevice = before.st_dev;
    gOutputInode = before.st_ino;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    gPhase = kSaving;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    // A stop asked for after the run's last look and before this point would
    // otherwise be saved over; from here on the handler ends the save itself.
    if (gStopSignal != 0) EndInterrupted(gStopSignal);
}

void EnterFinishedPhase() { gPhase = kFinished; }

void CountRowsWritten(std::int64_t rows) { gRowsWritten.store(rows, std::memory_order_relaxed); }

int StopSignal() { return gStopSignal; }
int LateSignal() { return gLateSignal; }

std::string InterruptedLine(int signal, std::int64_t rows) {
    char line[256];
    std::string text(line, BuildLine(signal, rows, line, sizeof line));
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

std::string LateSignalLine(int signal) {
    return Format(Tr("收到%s时工作簿已经保存，保存的工作簿完整有效。"), SignalName(signal));
}

}  // namespace quillmere::cli
