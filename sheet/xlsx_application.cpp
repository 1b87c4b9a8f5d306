#include "sheet/xlsx_application.h"

#include <deque>
#include <utility>

#include "sheet/a1_address.h"
#include "sheet/output_file_probe.h"
#include "sheet/xlsx_sheet_writer.h"
#include "sheet/xlsx_workbook_file.h"

namespace quillmere::sheet {

namespace {

class XlsxWorkbook;

class XlsxSheet final : public SpreadsheetSheet {
public:
    XlsxSheet(XlsxWorkbook& workbook, lxw_worksheet* worksheet, lxw_format* emptyCellFormat) noexcept
        : workbook_(workbook), writer_(worksheet, emptyCellFormat) {}

    std::shared_ptr<SpreadsheetRange> Range(std::string_view cell1, std::string_view cell2) override;
    bool Write(const CellRange& cells, std::string_view value);

private:
    XlsxWorkbook& workbook_;  // owns this sheet
    XlsxSheetWriter writer_;
};

class XlsxRange final : public SpreadsheetRange {
public:
    XlsxRange(std::shared_ptr<XlsxSheet> sheet, const CellRange& cells) noexcept
        : sheet_(std::move(sheet)), cells_(cells) {}

    bool SetValue(std::string_view value) override { return sheet_->Write(cells_, value); }
    std::optional<std::string> Value() const override { return std::nullopt; }

private:
    std::shared_ptr<XlsxSheet> sheet_;
    CellRange cells_;
};

// The workbook and its sheet collection. A reference to one of its sheets
// shares ownership of the whole workbook.
class XlsxWorkbook final : public SpreadsheetWorkbook,
                           public SpreadsheetSheets,
                           public std::enable_shared_from_this<XlsxWorkbook> {
public:
    // Started with "Sheet1"; nothing when libxlsxwriter cannot start it.
    static std::shared_ptr<XlsxWorkbook> Start(const std::string& path);

    std::shared_ptr<SpreadsheetSheet> Item(int index) override;
    std::shared_ptr<SpreadsheetSheet> AddAfterLast() override;

    bool IsOpen() const noexcept { return file_.IsOpen(); }
    std::shared_ptr<XlsxSheet> Share(XlsxSheet& sheet) { return std::shared_ptr<XlsxSheet>(shared_from_this(), &sheet); }

    // Writes the file once; later calls repeat the outcome.
    bool Save(std::string& failure);

private:
    explicit XlsxWorkbook(XlsxWorkbookFile file) noexcept : file_(std::move(file)) {}
    bool AddSheet();

    XlsxWorkbookFile file_;
    lxw_format* emptyCellFormat_ = nullptr;
    std::deque<XlsxSheet> sheets_;  // a deque keeps each sheet where it is
    bool saved_ = false;
    std::string saveFailure_;
};

std::shared_ptr<SpreadsheetRange> XlsxSheet::Range(std::string_view cell1, std::string_view cell2) {
    if (!workbook_.IsOpen()) return nullptr;
    const std::optional<CellRange> cells = ParseA1Range(cell1, cell2);
    if (!cells) return nullptr;
    return std::make_shared<XlsxRange>(workbook_.Share(*this), *cells);
}

bool XlsxSheet::Write(const CellRange& cells, std::string_view value) {
    // The worksheet is freed with the workbook once it has been saved.
    // A fill larger than a sheet's rows would only make an unwieldy
    // workbook; no caller needs one.
    if (!workbook_.IsOpen() || cells.CellCount() > kSheetRows) return false;
    for (std::uint32_t row = cells.first.row; row <= cells.last.row; ++row) {
        for (std::uint32_t column = cells.first.column; column <= cells.last.column; ++column) {
            if (!writer_.WriteText(row, static_cast<std::uint16_t>(column), value)) return false;
        }
    }
    return true;
}

std::shared_ptr<XlsxWorkbook> XlsxWorkbook::Start(const std::string& path) {
    XlsxWorkbookFile file = XlsxWorkbookFile::Start(path);
    if (!file.IsOpen()) return nullptr;
    std::shared_ptr<XlsxWorkbook> workbook(new XlsxWorkbook(std::move(file)));
    workbook->emptyCellFormat_ = workbook->file_.AddPlainFormat();
    if (!workbook->emptyCellFormat_ || !workbook->AddSheet()) {
        // Nothing was written into it; leave no file behind.
        workbook->file_.Discard();
        return nullptr;
    }
    return workbook;
}

bool XlsxWorkbook::AddSheet() {
    lxw_worksheet* worksheet = file_.AddWorksheet("Sheet" + std::to_string(sheets_.size() + 1));
    if (!worksheet) return false;
    sheets_.emplace_back(*this, worksheet, emptyCellFormat_);
    return true;
}

std::shared_ptr<SpreadsheetSheet> XlsxWorkbook::Item(int index) {
    if (!IsOpen() || index < 1 || static_cast<std::size_t>(index) > sheets_.size()) return nullptr;
    return Share(sheets_[static_cast<std::size_t>(index) - 1]);
}

std::shared_ptr<SpreadsheetSheet> XlsxWorkbook::AddAfterLast() {
    if (!IsOpen() || !AddSheet()) return nullptr;
    return Share(sheets_.back());
}

bool XlsxWorkbook::Save(std::string& failure) {
    if (!saved_) {
        saved_ = true;
        const lxw_error error = file_.Close();
        if (error != LXW_NO_ERROR) saveFailure_ = lxw_strerror(error);
    }
    failure = saveFailure_;
    return saveFailure_.empty();
}

// The application is also its own workbook collection.
class XlsxApplication final : public SpreadsheetApplication,
                              public SpreadsheetWorkbooks,
                              public std::enable_shared_from_this<XlsxApplication> {
public:
    XlsxApplication(std::string path, XlsxApplicationFactory::ShownCallback onShown)
        : path_(std::move(path)), onShown_(std::move(onShown)) {}

    std::shared_ptr<SpreadsheetWorkbooks> Workbooks() override { return shared_from_this(); }
    std::shared_ptr<SpreadsheetApplication> Application() override { return shared_from_this(); }
    std::shared_ptr<SpreadsheetSheets> Sheets() override { return workbook_; }

    std::shared_ptr<SpreadsheetWorkbook> Add() override {
        if (workbook_) return nullptr;
        workbook_ = XlsxWorkbook::Start(path_);
        return workbook_;
    }

    bool SetVisible(bool visible, std::string& failure) override {
        // Nothing to hide, and nothing to show without a workbook.
        if (!visible || !workbook_) return true;
        const bool firstTime = workbook_->IsOpen();
        if (!workbook_->Save(failure)) return false;
        if (firstTime && onShown_) onShown_(path_);
        return true;
    }

private:
    std::string path_;
    XlsxApplicationFactory::ShownCallback onShown_;
    std::shared_ptr<XlsxWorkbook> workbook_;
};

}  // namespace

XlsxApplicationFactory::XlsxApplicationFactory(std::string outputPathUtf8, ShownCallback onShown)
    : outputPath_(std::move(outputPathUtf8)), onShown_(std::move(onShown)) {}

std::shared_ptr<SpreadsheetApplication> XlsxApplicationFactory::Create() {
    createFailure_.clear();
    if (!ProbeOutputFile(outputPath_, createFailure_)) return nullptr;
    return std::make_shared<XlsxApplication>(outputPath_, onShown_);
}

}  // namespace quillmere::sheet
