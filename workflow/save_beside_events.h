#pragma once
// Saving a workbook without freezing the window: the commit (finishing the
// zip, syncing, reading it back, renaming) runs on a thread of its own while
// the run's thread keeps handling the window's events, a frame at a time.

#include <chrono>
#include <optional>

#include "sheet/row_workbook.h"
#include "workflow/window_port.h"

namespace quillmere::workflow {

// How long the run's thread waits for the save between two turns of the
// window's events: about one frame.
inline constexpr std::chrono::milliseconds kSaveEventInterval{15};

// Commits workbook on another thread and returns its result once it is
// done, calling window.ProcessEvents() about every interval meanwhile.
// Nothing else may touch workbook until this returns; the events handled
// here must not reach it (a second start is turned away, a close only
// marks the window closed). When no thread can be started the commit runs
// here, the events waiting for it.
std::optional<sheet::WorkbookFailure> CommitBesideEvents(sheet::RowWorkbook& workbook, WindowPort& window,
                                                         std::chrono::milliseconds interval = kSaveEventInterval);

}  // namespace quillmere::workflow
