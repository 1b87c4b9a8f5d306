#pragma once
// The .xlsx workbook a run writes its rows into.
//
// Row 1 of every sheet is the header, in bold, with the panes frozen below
// it and an autofilter over its columns; a sheet that holds rowsPerSheet
// rows is followed by "Sheet2", "Sheet3", … with their own header. Every
// value is a text cell exactly as given (the empty text an empty cell).
// Column widths fit the header titles and the first rows' values, a wide
// (CJK) character counting two.
//
// StartSheet adds a named sheet with a header of its own after the rows'
// sheets (a full one continues as "<name>2", …), and AddCompanionFile a
// file saved beside the workbook at its commit (companion_files.h).
//
// The zip is written straight into the staged file beside the destination
// (StagedFile) as rows arrive: each sheet one deflated entry, the first
// rows held in memory only until the column widths are known, the fixed
// parts added at Commit. Nothing else is written anywhere. The file is
// saved as StagedFile describes after it has been read back whole
// (xlsx_read_back.h).

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sheet/companion_files.h"
#include "sheet/row_workbook.h"
#include "sheet/staged_file.h"
#include "sheet/utf8_text_cache.h"
#include "sheet/xlsx_read_back.h"
#include "sheet/xlsx_parts.h"
#include "sheet/zip_stream.h"

namespace quillmere::sheet {

class XlsxRowWorkbook final : public RowWorkbook {
public:
    // A workbook to be saved as path (bytes as the file system takes them,
    // UTF-8 for display), or under the next free name after it (Path()
    // tells which once Commit succeeded), as onExisting says.
    static CreatedWorkbook Create(const std::string& path, const WorkbookLayout& layout,
                                  OnExistingFile onExisting = OnExistingFile::kReplace);

    ~XlsxRowWorkbook() override;
    XlsxRowWorkbook(const XlsxRowWorkbook&) = delete;
    XlsxRowWorkbook& operator=(const XlsxRowWorkbook&) = delete;

    const std::string& Path() const override { return path_; }
    std::optional<WorkbookFailure> AppendRow(std::span<const Text> cells) override;
    std::optional<WorkbookFailure> Commit() override;
    void Discard() override;
    std::optional<WorkbookFailure> StartSheet(const std::string& name, std::span<const Text> header) override;
    std::optional<WorkbookFailure> AddCompanionFile(std::string_view extension, std::string contents) override;

    // Rows a column's width is fitted to, after the header.
    static constexpr std::int64_t kRowsMeasured = 200;

private:
    // Rows under one header: the run's own rows, or a named sheet's. Its
    // first sheet fits the column widths; the sheets it continues into
    // take the same ones.
    struct Table {
        std::string name;  // of its first sheet, UTF-8
        bool numbered;     // "Sheet1", "Sheet2", … rather than name, name2, …
        std::vector<std::string> header;       // UTF-8
        std::vector<std::string> columnNames;  // "A", "B", …
        std::vector<std::size_t> widths;       // display width per column
        std::int64_t rowsMeasured = 0;
        int sheets = 0;  // started so far
    };

    XlsxRowWorkbook(std::string path, std::int64_t rowsPerSheet);

    // Makes table the one rows go into and starts its first sheet.
    std::optional<WorkbookFailure> StartTable(Table table);
    // Begins the open table's next sheet: its entry and its header row.
    std::optional<WorkbookFailure> StartTableSheet();
    // Writes what is held (the sheet's head once the widths are known).
    std::optional<WorkbookFailure> Flush(bool widthsFinal);
    std::optional<WorkbookFailure> FinishSheet();
    // Reads the sheet just finished back on a thread of its own while the
    // next one is written, so the commit need not read it again.
    void ReadBackFinishedSheetMeanwhile();
    // Waits for those reads; what they found.
    std::vector<EarlyReadBack> TakeEarlyReadBacks();
    std::optional<WorkbookFailure> Save();
    // Appends one row's XML to pending_, cellText(column) giving each
    // cell's UTF-8; false, with nothing appended, when a text is longer than
    // a cell holds.
    template <typename CellText>
    bool AppendRowXml(std::size_t columns, CellText cellText, int style);
    // Records reason (or failure) as the workbook's failure, discards, and
    // returns it.
    WorkbookFailure Fail(std::string reason);
    WorkbookFailure FailWith(WorkbookFailure failure);

    std::string path_;
    std::int64_t rowsPerSheet_;
    Table table_;  // the one rows go into
    OnExistingFile onExisting_ = OnExistingFile::kReplace;
    StagedFile staged_;
    std::unique_ptr<ZipStream> zip_;
    CompanionFiles companions_;
    std::vector<XlsxSheetFacts> sheets_;  // rows of each, header included
    std::vector<std::vector<SheetRestartPoint>> restartPoints_;  // of each sheet
    std::size_t sinceRestart_ = 0;  // sheet XML written since its last restart point
    std::string pending_;       // sheet XML not yet handed to the zip
    bool headWritten_ = false;  // of the open sheet
    Utf8TextCache utf8_;
    std::size_t longestRowXml_ = 0;  // bound of any one row's XML
    std::optional<WorkbookFailure> failure_;
    bool finished_ = false;  // committed or discarded
    std::vector<std::future<EarlyReadBack>> earlyReadBacks_;  // each reads staged_'s descriptor
};

}  // namespace quillmere::sheet
