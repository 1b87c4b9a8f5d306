#pragma once
// The lines the extractor ends a run with, in the run's language: the
// completion, the --verbose count, and the one line a failure gets.

#include <cstdint>
#include <optional>
#include <string>

#include "sheet/row_workbook.h"
#include "workflow/acceptance_rules.h"
#include "workflow/extraction_run.h"

namespace quillmere::cli {

// The completion line, then the workbook's path on a line of its own, then
// how many folders could not be read whole, if any.
std::string CompletedLines(std::int64_t filesWritten, const std::string& workbookPath, std::int64_t unreadFolders);

// The acceptance check's outcome: all passed, or how many findings and
// where they are (the sheet, or the CSV file beside the output).
std::string AcceptanceLine(std::int64_t findings, const std::string& output);

// How many of the files were not read (--verbose).
std::string NotReadSummary(std::int64_t notRead, std::int64_t files);

// The folder given cannot be listed.
std::string FolderUnusableLine(const std::string& folder);

// The workbook could not be created (CreateFailed) or saved (SaveFailed):
// its path and the reason.
std::string WorkbookFailureLine(workflow::RunOutcome outcome, const std::optional<sheet::WorkbookFailure>& failure);

// The rules file (path) was refused: where, and why.
std::string RulesFailureLine(const std::string& path, const workflow::RulesFailure& failure);

// A failure reason in the run's language: the reasons the workbook names in
// Chinese are translated; a system error text is already in the locale's.
std::string TranslatedReason(const std::string& reason);

}  // namespace quillmere::cli
