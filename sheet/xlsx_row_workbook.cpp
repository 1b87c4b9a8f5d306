#include "sheet/xlsx_row_workbook.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <utility>

#include "runtime/text_encoding.h"
#include "sheet/display_width.h"
#include "sheet/failure_reason.h"
#include "sheet/xlsx_read_back.h"

namespace quillmere::sheet {

namespace {

// Column widths, in characters of the default font: room for the header's
// filter button, a margin on either side, and a cap so that one long file
// name does not push the other columns off the screen.
constexpr double kHeaderButtonWidth = 3;
constexpr double kMargin = 2;
constexpr double kNarrowestColumn = 8;
constexpr double kWidestColumn = 60;

// A full .xlsx sheet has 16384 columns.
constexpr std::size_t kMostColumns = 16384;

// The fastest deflate: the sheet XML is repetitive enough that the higher
// levels buy little size for several times the time.
constexpr int kCompressionLevel = 1;
// Sheet XML handed to the zip in pieces of about this size.
constexpr std::size_t kFlushSize = 256 * 1024;

constexpr int kHeaderStyle = 1;

std::string SheetName(std::size_t index) { return "Sheet" + std::to_string(index + 1); }

}  // namespace

CreatedWorkbook XlsxRowWorkbook::Create(const std::string& path, const WorkbookLayout& layout,
                                        OnExistingFile onExisting) {
    if (layout.header.empty() || layout.header.size() > kMostColumns) {
        return {nullptr, {path, "表头的列数无效"}};
    }
    std::unique_ptr<XlsxRowWorkbook> workbook(new XlsxRowWorkbook(path, layout));
    workbook->onExisting_ = onExisting;
    if (auto failure = workbook->Start()) return {nullptr, *failure};
    return {std::move(workbook), {}};
}

XlsxRowWorkbook::XlsxRowWorkbook(std::string path, const WorkbookLayout& layout)
    : path_(std::move(path)),
      header_(layout.header),
      rowsPerSheet_(std::clamp<std::int64_t>(layout.rowsPerSheet, 2, kSheetRowLimit)),
      widths_(layout.header.size(), 0) {
    for (std::size_t column = 0; column < header_.size(); ++column) columnNames_.push_back(XlsxColumnName(column));
}

XlsxRowWorkbook::~XlsxRowWorkbook() { Discard(); }

std::optional<WorkbookFailure> XlsxRowWorkbook::Start() {
    int error = 0;
    staged_ = StagedFile::Create(path_, error, onExisting_);
    if (!staged_.IsOpen()) return Fail(FailureReason(error));
    zip_ = std::make_unique<ZipStream>(staged_.Descriptor(), kCompressionLevel);
    for (std::size_t column = 0; column < header_.size(); ++column) {
        const std::string title = TextToUtf8(header_[column]);
        widths_[column] = DisplayWidth(title);
        longestRowText_ += title.size();
    }
    return StartSheet();
}

void XlsxRowWorkbook::AppendRowXml(std::span<const std::string_view> cells, int style) {
    const std::int64_t row = sheets_.back().rows + 1;
    char number[24];
    const auto end = std::to_chars(number, number + sizeof number, row).ptr;
    const std::string_view rowNumber(number, static_cast<std::size_t>(end - number));
    pending_ += "<row r=\"";
    pending_ += rowNumber;
    pending_ += "\">";
    std::string reference;
    for (std::size_t column = 0; column < cells.size(); ++column) {
        reference.assign(columnNames_[column]);
        reference += rowNumber;
        // The length was checked by the caller.
        static_cast<void>(AppendXlsxTextCell(pending_, reference, cells[column], style));
    }
    pending_ += "</row>";
    ++sheets_.back().rows;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::StartSheet() {
    sheets_.push_back(XlsxSheetFacts{SheetName(sheets_.size()), 0});
    headWritten_ = false;
    pending_.clear();
    if (const int error = zip_->StartEntry("xl/worksheets/sheet" + std::to_string(sheets_.size()) + ".xml")) {
        return Fail(FailureReason(error));
    }
    std::vector<std::string> titles;
    for (const Text& title : header_) titles.push_back(TextToUtf8(title));
    std::vector<std::string_view> cells(titles.begin(), titles.end());
    std::string probe;
    for (const std::string_view title : cells) {
        if (!AppendXlsxTextCell(probe, "A1", title, kHeaderStyle)) return Fail("无法写入表头");
    }
    AppendRowXml(cells, kHeaderStyle);
    // Later sheets take the widths the first one settled.
    return sheets_.size() > 1 ? Flush(true) : std::nullopt;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::Flush(bool widthsFinal) {
    if (!headWritten_) {
        if (!widthsFinal) return std::nullopt;
        std::vector<double> widths;
        for (const std::size_t width : widths_) {
            widths.push_back(std::clamp(static_cast<double>(width) + kMargin + kHeaderButtonWidth, kNarrowestColumn,
                                        kWidestColumn));
        }
        pending_.insert(0, XlsxSheetHead(sheets_.size() == 1, widths));
        headWritten_ = true;
    }
    if (const int error = zip_->Write(pending_)) return Fail(FailureReason(error));
    pending_.clear();
    return std::nullopt;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::FinishSheet() {
    if (auto failure = Flush(true)) return failure;
    if (const int error = zip_->Write(XlsxSheetTail(sheets_.back().rows, header_.size()))) {
        return Fail(FailureReason(error));
    }
    if (const int error = zip_->FinishEntry()) return Fail(FailureReason(error));
    return std::nullopt;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::AppendRow(std::span<const Text> cells) {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    if (cells.size() != header_.size()) return WorkbookFailure{path_, "行的单元格数与表头的列数不同"};
    if (sheets_.back().rows == rowsPerSheet_) {
        if (auto failure = FinishSheet()) return failure;
        if (auto failure = StartSheet()) return failure;
    }
    const bool measured = rowsMeasured_ < kRowsMeasured;
    std::size_t rowText = 0;
    const std::size_t rowStart = pending_.size();
    const std::int64_t row = sheets_.back().rows + 1;
    char number[24];
    const auto end = std::to_chars(number, number + sizeof number, row).ptr;
    const std::string_view rowNumber(number, static_cast<std::size_t>(end - number));
    pending_ += "<row r=\"";
    pending_ += rowNumber;
    pending_ += "\">";
    std::string reference;
    for (std::size_t column = 0; column < cells.size(); ++column) {
        const std::string_view utf8 = utf8_.Convert(cells[column]);
        rowText += utf8.size();
        reference.assign(columnNames_[column]);
        reference += rowNumber;
        if (!AppendXlsxTextCell(pending_, reference, utf8, 0)) {
            pending_.resize(rowStart);
            return Fail("单元格文本超过 32767 个字符");
        }
        if (measured) widths_[column] = std::max(widths_[column], DisplayWidth(utf8));
    }
    pending_ += "</row>";
    ++sheets_.back().rows;
    if (measured) ++rowsMeasured_;
    longestRowText_ = std::max(longestRowText_, rowText);
    if (pending_.size() >= kFlushSize || (!headWritten_ && rowsMeasured_ == kRowsMeasured)) {
        return Flush(rowsMeasured_ == kRowsMeasured);
    }
    return std::nullopt;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::Commit() {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    const std::optional<WorkbookFailure> failure = Save();
    finished_ = true;
    return failure;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::Save() {
    if (auto failure = FinishSheet()) return failure;
    const auto part = [this](const std::string& name, std::string_view xml) {
        int error = zip_->StartEntry(name);
        if (error == 0) error = zip_->Write(xml);
        if (error == 0) error = zip_->FinishEntry();
        return error;
    };
    int error = part("xl/workbook.xml", XlsxWorkbookPart(sheets_, header_.size()));
    if (error == 0) error = part("xl/_rels/workbook.xml.rels", XlsxWorkbookRelationships(sheets_.size()));
    if (error == 0) error = part("xl/styles.xml", XlsxStyles());
    if (error == 0) error = part("xl/theme/theme1.xml", XlsxTheme());
    if (error == 0) error = part("docProps/core.xml", XlsxCoreProperties(std::time(nullptr)));
    if (error == 0) error = part("docProps/app.xml", XlsxAppProperties(sheets_));
    if (error == 0) error = part("_rels/.rels", XlsxRootRelationships());
    if (error == 0) error = part("[Content_Types].xml", XlsxContentTypes(sheets_.size()));
    if (error == 0) error = zip_->Finish();
    if (error != 0) return Fail(FailureReason(error));
    if (const int synced = staged_.Sync(); synced != 0) return Fail(FailureReason(synced));
    std::vector<std::int64_t> lastRows;
    for (const XlsxSheetFacts& sheet : sheets_) lastRows.push_back(sheet.rows);
    if (auto damage = ReadBackXlsx(staged_.Descriptor(), lastRows, RowXmlBound(longestRowText_, header_.size()))) {
        return Fail(*damage);
    }
    if (const int renamed = staged_.Commit(); renamed != 0) return Fail(FailureReason(renamed));
    path_ = staged_.Destination();
    return std::nullopt;
}

WorkbookFailure XlsxRowWorkbook::Fail(std::string reason) {
    failure_ = WorkbookFailure{path_, std::move(reason)};
    Discard();
    return *failure_;
}

void XlsxRowWorkbook::Discard() {
    zip_.reset();
    staged_.Discard();
    finished_ = true;
}

}  // namespace quillmere::sheet
