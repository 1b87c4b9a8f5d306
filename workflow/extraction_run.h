#pragma once
// One extraction: scan the chosen folder, start the spreadsheet, write the
// header and one row per file, report progress, and hand the workbook over.

#include <cstdint>
#include <string>

#include "runtime/file_system.h"
#include "sheet/excel_controls.h"
#include "workflow/file_preparer.h"
#include "workflow/window_port.h"

namespace quillmere::workflow {

enum class RunOutcome {
    Completed,        // every file has its row and the workbook was handed over
    NotStarted,       // no folder, or one that cannot be read: nothing was started
    CreateFailed,     // the spreadsheet application could not be created
    AssociateFailed,  // no workbook could be attached
    Interrupted,      // the window was closed mid-run; the rows so far were saved
};

// Rows one sheet holds, its header included, before the run goes on in a new sheet.
inline constexpr std::int64_t kRowsPerSheet = 1048576;

struct RunSettings {
    PreparePool pool;  // worker threads preparing files ahead; none prepares inline
    std::int64_t rowsPerSheet = kRowsPerSheet;
};

struct RunResult {
    RunOutcome outcome = RunOutcome::NotStarted;
    std::int64_t fileCount = 0;
    std::int64_t filesWritten = 0;
    std::string saveFailure;  // UTF-8; why the workbook could not be saved, if it could not
};

RunResult RunExtraction(WindowPort& window, const FileSystem& fs, sheet::ExcelApp& app,
                        sheet::ExcelWorkbooks& workbook, const RunSettings& settings);

}  // namespace quillmere::workflow
