#include "app/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace quillmere::app {

namespace {

// SIGINT too: Ctrl-C in the terminal that started the window should not
// leave a half-written workbook's files behind any more than a logout.
constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

// The one piece of state the handler reads: the pipe's write end. A signal
// handler can reach nothing else.
volatile sig_atomic_t gWriteEnd = -1;
int gReadEnd = -1;
std::array<struct sigaction, kSignals.size()> gPrevious{};

extern "C" void WriteSignalToPipe(int signal) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    const int fd = gWriteEnd;
    // A full pipe already holds a pending close; losing this byte loses nothing.
    if (fd >= 0) static_cast<void>(write(fd, &number, 1));
    errno = savedErrno;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        failure_ = std::strerror(errno);
        return;
    }
    gReadEnd = ends[0];
    gWriteEnd = ends[1];

    struct sigaction action {};
    action.sa_handler = WriteSignalToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (sigaction(kSignals[i], &action, &gPrevious[i]) != 0) {
            // A handler feeding a pipe nobody reads would swallow the signal:
            // the ones set so far go back, so each signal keeps its own effect.
            failure_ = std::strerror(errno);
            for (std::size_t set = 0; set < i; ++set) sigaction(kSignals[set], &gPrevious[set], nullptr);
            return;
        }
    }
    handlersSet_ = true;
    notifier_ = std::make_unique<QSocketNotifier>(gReadEnd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::drain);
}

TerminationSignals::~TerminationSignals() {
    if (handlersSet_) {
        for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &gPrevious[i], nullptr);
    }
    notifier_.reset();
    const int writeEnd = gWriteEnd;
    gWriteEnd = -1;
    if (writeEnd >= 0) close(writeEnd);
    if (gReadEnd >= 0) close(gReadEnd);
    gReadEnd = -1;
}

void TerminationSignals::drain() {
    unsigned char numbers[16];
    ssize_t got = 0;
    while ((got = read(gReadEnd, numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < got; ++i) emit received(numbers[i]);
    }
}

}  // namespace quillmere::app
