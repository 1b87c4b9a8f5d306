#pragma once
// The acceptance check's report, written into the run's workbook after the
// rows: a sheet of findings (检验结果), a summary of the rules as applied
// (检验汇总) and, with digests, every file's digests (文件摘要), plus a
// manifest in sha256sum's format saved beside the workbook.

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/text.h"
#include "sheet/row_workbook.h"
#include "workflow/acceptance_check.h"

namespace quillmere::workflow {

inline constexpr const char* kFindingsSheet = "检验结果";
inline constexpr const char* kSummarySheet = "检验汇总";
inline constexpr const char* kDigestSheet = "文件摘要";
inline constexpr const char* kManifestExtension = ".sha256";

// Judges the batch as a whole (check.Finish) and writes the sheets, and
// with digests the manifest. The findings sheet is started before the batch
// rules run: starting it ends the rows' sheet, which the workbook then reads
// back while they run.
std::optional<sheet::WorkbookFailure> WriteAcceptanceReport(sheet::RowWorkbook& workbook, AcceptanceCheck& check);

// One line per file with digests, "<sha256>  <path>", the path relative to
// the image folder in the bytes it has on disk, so that `sha256sum -c` run
// there verifies the delivery. A path holding a backslash or a line break
// is escaped as sha256sum escapes it.
std::string Sha256Manifest(const AcceptanceCheck& check);

// The completion box's line: "验收检查：全部合格。" or
// "验收检查：发现N个问题，见工作表“检验结果”。"
Text AcceptanceOutcomeLine(std::int64_t findings);

}  // namespace quillmere::workflow
