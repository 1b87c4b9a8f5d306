#pragma once
// The one owner of a run's output file: a workbook that takes whole rows of
// texts and becomes visible under its name only when it has been written,
// synced and read back whole.
//
// Create checks the destination; AppendRow adds a row below the last one, starting the next sheet
// with its own header row when a sheet is full; Commit saves atomically;
// Discard removes every trace. Every failure comes back as a value naming
// the path and the reason; nothing throws, nothing is swallowed, and no
// library prints to the terminal.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/text.h"

namespace quillmere::sheet {

// Why a workbook could not be created, written or saved. Both texts UTF-8;
// reason is Chinese where the cause is known (磁盘空间不足, 没有写入权限,
// 文件系统只读, 文件夹不存在), else the system's own text.
struct WorkbookFailure {
    std::string path;
    std::string reason;
};

// Rows one sheet holds, its header included.
inline constexpr std::int64_t kSheetRowLimit = 1048576;

struct WorkbookLayout {
    std::vector<Text> header;                 // row 1 of every sheet
    std::int64_t rowsPerSheet = kSheetRowLimit;  // smaller only in tests
};

class RowWorkbook {
public:
    // Discards when neither Commit nor Discard ran.
    virtual ~RowWorkbook() = default;

    // The name the workbook is saved under, UTF-8; where the name is only
    // settled by the save (the window's next free name), as asked before
    // Commit and as taken after it.
    virtual const std::string& Path() const = 0;
    // The texts of one row, as many as the header has; converted here.
    virtual std::optional<WorkbookFailure> AppendRow(std::span<const Text> cells) = 0;
    // Writes, syncs and verifies the whole file, then renames it onto Path().
    // Only a success leaves anything under Path(); a failure removes every
    // temporary file and leaves an earlier file of that name untouched.
    virtual std::optional<WorkbookFailure> Commit() = 0;
    // Removes every temporary file; nothing is saved.
    virtual void Discard() = 0;
    // Starts a further sheet named name (UTF-8) with header as its row 1; rows appended after it fill that sheet.
    // Sheets started this way come after the rows' own sheets (Sheet1, Sheet2, …).
    virtual std::optional<WorkbookFailure> StartSheet(const std::string& name, std::span<const Text> header) = 0;
    // A file saved beside the workbook, named as the workbook with its extension replaced by extension (".sha256"),
    // staged and synced with it and renamed into place just before the workbook at Commit; removed on failure/Discard.
    virtual std::optional<WorkbookFailure> AddCompanionFile(std::string_view extension, std::string contents) = 0;
};

struct CreatedWorkbook {
    std::unique_ptr<RowWorkbook> workbook;  // null on failure
    WorkbookFailure failure;
};

// How a run gets its workbook once the scan has counted the files: the
// window program names one in its documents folder, the extractor writes
// where -o says (.xlsx or .csv).
class WorkbookMaker {
public:
    virtual ~WorkbookMaker() = default;
    virtual CreatedWorkbook Create(const WorkbookLayout& layout) = 0;
};

}  // namespace quillmere::sheet
