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
// The zip is written straight into the staged file beside the destination
// (StagedFile) as rows arrive: each sheet one deflated entry, the first
// rows held in memory only until the column widths are known, the fixed
// parts added at Commit. Nothing else is written anywhere. The file is
// saved as StagedFile describes after it has been read back whole
// (xlsx_read_back.h).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sheet/row_workbook.h"
#include "sheet/staged_file.h"
#include "sheet/utf8_text_cache.h"
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
    std::optional<WorkbookFailure> StartSheet(const std::string&, std::span<const Text>) override {
        return WorkbookFailure{Path(), "暂不支持"};
    }
    std::optional<WorkbookFailure> AddCompanionFile(std::string_view, std::string) override {
        return WorkbookFailure{Path(), "暂不支持"};
    }

    // Rows a column's width is fitted to, after the header.
    static constexpr std::int64_t kRowsMeasured = 200;

private:
    XlsxRowWorkbook(std::string path, const WorkbookLayout& layout);

    std::optional<WorkbookFailure> Start();
    // Begins the next sheet's entry and its header row.
    std::optional<WorkbookFailure> StartSheet();
    // Writes what is held (the sheet's head once the widths are known).
    std::optional<WorkbookFailure> Flush(bool widthsFinal);
    std::optional<WorkbookFailure> FinishSheet();
    std::optional<WorkbookFailure> Save();
    void AppendRowXml(std::span<const std::string_view> cells, int style);
    // Records reason as the workbook's failure, discards, and returns it.
    WorkbookFailure Fail(std::string reason);

    std::string path_;
    std::vector<Text> header_;
    std::vector<std::string> columnNames_;  // "A", "B", …
    std::int64_t rowsPerSheet_;
    OnExistingFile onExisting_ = OnExistingFile::kReplace;
    StagedFile staged_;
    std::unique_ptr<ZipStream> zip_;
    std::vector<XlsxSheetFacts> sheets_;  // rows of each, header included
    std::string pending_;       // sheet XML not yet handed to the zip
    bool headWritten_ = false;  // of the open sheet
    Utf8TextCache utf8_;
    std::vector<std::size_t> widths_;  // display width per column
    std::int64_t rowsMeasured_ = 0;
    std::size_t longestRowText_ = 0;  // UTF-8 bytes of the longest row
    std::optional<WorkbookFailure> failure_;
    bool finished_ = false;  // committed or discarded
};

}  // namespace quillmere::sheet
