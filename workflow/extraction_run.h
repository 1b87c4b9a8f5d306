#pragma once
// One extraction: scan the chosen folder, get a workbook, write one row per
// file, report progress, save the workbook and hand it over.

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/file_system.h"
#include "sheet/row_workbook.h"
#include "workflow/acceptance_rules.h"
#include "workflow/file_preparer.h"
#include "workflow/window_port.h"

namespace quillmere::workflow {

enum class RunOutcome {
    Completed,     // every file has its row and the workbook was saved
    NotStarted,    // no folder, or one that cannot be read: nothing was started
    CreateFailed,  // no workbook could be created
    SaveFailed,    // a row or the save failed: nothing was saved
    Interrupted,   // a stop was asked for mid-run; what became of the rows says WhenStopped
};

// What a run asked to stop does with the rows it has written.
enum class WhenStopped {
    SaveRowsSoFar,  // closing the window: keep what was done
    SaveNothing,    // the extractor interrupted: leave no workbook behind
};

// Where the workbook is saved once every row is written.
enum class SaveThread {
    BesideEvents,  // on a thread of its own, the window's events turning meanwhile
    RunThread,     // on the run's own thread, which waits for it
};

struct RunSettings {
    PreparePool pool;  // worker threads preparing files ahead; none prepares inline
    std::int64_t rowsPerSheet = sheet::kSheetRowLimit;
    WhenStopped whenStopped = WhenStopped::SaveRowsSoFar;
    SaveThread saveThread = SaveThread::BesideEvents;
    // The rules a batch is judged against; without them the run only writes rows.
    std::optional<AcceptanceRules> acceptance = std::nullopt;
};

struct RunResult {
    RunOutcome outcome = RunOutcome::NotStarted;
    std::int64_t fileCount = 0;
    std::int64_t filesWritten = 0;
    std::int64_t unreadFolders = 0;                 // folders the scan could not read whole
    std::string workbookPath;                       // UTF-8; set once a workbook exists
    std::optional<sheet::WorkbookFailure> failure;  // why the workbook could not be made or saved
    bool saved = false;                             // the workbook is under its name
    std::optional<std::int64_t> findings;           // the acceptance check's count, when it ran to the end
};

RunResult RunExtraction(WindowPort& window, const FileSystem& fs, sheet::WorkbookMaker& maker,
                        const RunSettings& settings);

}  // namespace quillmere::workflow
