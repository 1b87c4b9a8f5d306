#pragma once
// The spreadsheet application of this platform: each instance holds at most
// one workbook, written as a real .xlsx file by libxlsxwriter.
//
// - Workbooks.Add starts the workbook with the sheet "Sheet1"; further
//   sheets are "Sheet2", "Sheet3" and so on. An instance that already has a
//   workbook refuses a second one, so the first cannot be overwritten.
// - Range looks up two A1 addresses (a1_address.h); Range.Value stores text
//   cells (xlsx_sheet_writer.h), row by row: a write above a sheet's newest
//   row fails. Values cannot be read back, since written rows live only in
//   the file being built: Range.Value reads yield nothing.
// - Visible := true saves the workbook (once) and then calls onShown with
//   the path; a failed save reports libxlsxwriter's reason. Visible := false
//   does nothing.
// - An instance whose last reference is given up with an unsaved workbook
//   saves it then, so written rows are not lost, but does not call onShown.

#include <functional>
#include <memory>
#include <string>

#include "sheet/spreadsheet_application.h"

namespace quillmere::sheet {

class XlsxApplicationFactory final : public SpreadsheetApplicationFactory {
public:
    using ShownCallback = std::function<void(const std::string& savedPath)>;

    // outputPathUtf8 is passed to the file system as it stands. onShown may
    // be empty.
    XlsxApplicationFactory(std::string outputPathUtf8, ShownCallback onShown);

    // A new instance bound for the output path, or nothing when a file
    // cannot be written there (the path is probed now; no file is left).
    std::shared_ptr<SpreadsheetApplication> Create() override;

    // Why the last Create failed, in UTF-8.
    const std::string& CreateFailure() const noexcept { return createFailure_; }

private:
    std::string outputPath_;
    ShownCallback onShown_;
    std::string createFailure_;
};

}  // namespace quillmere::sheet
