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

void BlockTerminationSignals() {
    // Termination signals belong to the thread that owns the run, as for
    // the threads preparing files.
    sigset_t termination;
    sigemptyset(&termination);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&termination, signal);
    pthread_sigmask(SIG_BLOCK, &termination, nullptr);
}

}  // namespace

std::optional<sheet::WorkbookFailure> CommitBesideEvents(sheet::RowWorkbook& workbook, WindowPort& window,
                                                         std::chrono::milliseconds interval) {
    SaveState state;
    std::jthread saver;
    try {
        saver = std::jthread([&workbook, &state] {
            BlockTerminationSignals();
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
