#include "workflow/save_beside_events.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "runtime/termination_signals.h"

namespace quillmere::workflow {

namespace {

// What the saving thread hands back to the run's thread.
struct SaveState {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::optional<sheet::WorkbookFailure> failure;
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
