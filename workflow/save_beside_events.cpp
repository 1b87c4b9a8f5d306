#include "workflow/save_beside_events.h"

#include <signal.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace quillmere::workflow {

namespace {

// What the saving thread hands back to the run's thread.
struct SaveState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<sheet::WorkbookFailure> failure;
};

// Blocks the termination signals on this thread for its lifetime. A thread
// started meanwhile inherits the block from its first instruction: the
// signals belong to the thread that owns the run, as for the threads
// preparing files.
class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked() {
        sigset_t termination;
        sigemptyset(&termination);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&termination, signal);
        pthread_sigmask(SIG_BLOCK, &termination, &previous_);
    }
    ~TerminationSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

}  // namespace

std::optional<sheet::WorkbookFailure> CommitBesideEvents(sheet::RowWorkbook& workbook, WindowPort& window,
                                                         std::chrono::milliseconds interval) {
    SaveState state;
    std::jthread saver;
    try {
        const TerminationSignalsBlocked blocked;
        saver = std::jthread([&workbook, &state] {
            std::optional<sheet::WorkbookFailure> failure = workbook.Commit();
            const std::lock_guard lock(state.mutex);
            state.failure = std::move(failure);
            state.finished = true;
            state.done.notify_one();
        });
    } catch (const std::system_error&) { return workbook.Commit(); }
    for (;;) {
        {
            std::unique_lock lock(state.mutex);
            if (state.done.wait_for(lock, interval, [&state] { return state.finished; })) break;
        }
        window.ProcessEvents();
    }
    saver.join();
    return std::move(state.failure);
}

}  // namespace quillmere::workflow
