#include "sheet/xlsx_row_workbook.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <system_error>
#include <utility>

#include "runtime/display_width.h"
#include "runtime/termination_signals.h"
#include "runtime/text_encoding.h"
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
// A restart point this often in a sheet's XML, so that the read-back can
// inflate a large sheet in pieces on several cores.
constexpr std::size_t kRestartSpacing = 8 * 1024 * 1024;

constexpr int kHeaderStyle = 1;

// Excel refuses a sheet name that is empty, longer than 31 characters, or
// holds one of these; we name our own sheets, so this guards a caller's
// mistake.
bool IsSheetName(std::string_view name) {
    if (name.empty() || name.find_first_of("[]:*?/\\") != std::string_view::npos) return false;
    std::size_t characters = 0;
    for (const char c : name) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters <= 31;
}

std::vector<std::string> Utf8Texts(std::span<const Text> texts) {
    std::vector<std::string> utf8;
    for (const Text& text : texts) utf8.push_back(TextToUtf8(text));
    return utf8;
}

}  // namespace

CreatedWorkbook XlsxRowWorkbook::Create(const std::string& path, const WorkbookLayout& layout,
                                        OnExistingFile onExisting) {
    if (layout.header.empty() || layout.header.size() > kMostColumns) {
        return {nullptr, {path, "表头的列数无效"}};
    }
    std::unique_ptr<XlsxRowWorkbook> workbook(new XlsxRowWorkbook(path, layout.rowsPerSheet));
    workbook->onExisting_ = onExisting;
    int error = 0;
    workbook->staged_ = StagedFile::Create(path, error, onExisting);
    if (!workbook->staged_.IsOpen()) return {nullptr, workbook->Fail(FailureReason(error))};
    workbook->zip_ = std::make_unique<ZipStream>(workbook->staged_.Descriptor(), kCompressionLevel);
    if (auto failure = workbook->StartTable(Table{"Sheet", true, Utf8Texts(layout.header), {}, {}, 0, 0})) {
        return {nullptr, *failure};
    }
    return {std::move(workbook), {}};
}

XlsxRowWorkbook::XlsxRowWorkbook(std::string path, std::int64_t rowsPerSheet)
    : path_(std::move(path)), rowsPerSheet_(std::clamp<std::int64_t>(rowsPerSheet, 2, kSheetRowLimit)) {}

XlsxRowWorkbook::~XlsxRowWorkbook() { Discard(); }

std::optional<WorkbookFailure> XlsxRowWorkbook::StartTable(Table table) {
    for (const std::string& title : table.header) {
        std::string probe;
        if (!AppendXlsxTextCell(probe, "A1", title, kHeaderStyle)) return Fail("无法写入表头");
    }
    table.columnNames.clear();
    table.widths.clear();
    std::size_t headerText = 0;
    for (std::size_t column = 0; column < table.header.size(); ++column) {
        table.columnNames.push_back(XlsxColumnName(column));
        table.widths.push_back(DisplayWidth(table.header[column]));
        headerText += table.header[column].size();
    }
    longestRowXml_ = std::max(longestRowXml_, RowXmlBound(headerText, table.header.size()));
    table_ = std::move(table);
    return StartTableSheet();
}

template <typename CellText>
bool XlsxRowWorkbook::AppendRowXml(std::size_t columns, CellText cellText, int style) {
    const std::size_t rowStart = pending_.size();
    const std::int64_t row = sheets_.back().rows + 1;
    char number[24];
    const auto end = std::to_chars(number, number + sizeof number, row).ptr;
    const std::string_view rowNumber(number, static_cast<std::size_t>(end - number));
    pending_ += "<row r=\"";
    pending_ += rowNumber;
    pending_ += "\">";
    std::string reference;
    for (std::size_t column = 0; column < columns; ++column) {
        reference.assign(table_.columnNames[column]);
        reference += rowNumber;
        if (!AppendXlsxTextCell(pending_, reference, cellText(column), style)) {
            pending_.resize(rowStart);
            return false;
        }
    }
    pending_ += "</row>";
    ++sheets_.back().rows;
    return true;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::StartTableSheet() {
    ++table_.sheets;
    std::string name = table_.numbered || table_.sheets > 1 ? table_.name + std::to_string(table_.sheets) : table_.name;
    for (const XlsxSheetFacts& sheet : sheets_) {
        if (sheet.name == name) return Fail("工作表名“" + name + "”重复");
    }
    sheets_.push_back(XlsxSheetFacts{std::move(name), 0, table_.header.size()});
    restartPoints_.emplace_back();
    sinceRestart_ = 0;
    headWritten_ = false;
    pending_.clear();
    if (const int error = zip_->StartEntry("xl/worksheets/sheet" + std::to_string(sheets_.size()) + ".xml")) {
        return Fail(FailureReason(error));
    }
    // The titles' lengths were checked by StartTable.
    AppendRowXml(table_.header.size(), [this](std::size_t column) { return table_.header[column]; }, kHeaderStyle);
    // A table's later sheets take the widths its first one settled.
    return table_.sheets > 1 ? Flush(true) : std::nullopt;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::Flush(bool widthsFinal) {
    if (!headWritten_) {
        if (!widthsFinal) return std::nullopt;
        std::vector<double> widths;
        for (const std::size_t width : table_.widths) {
            widths.push_back(std::clamp(static_cast<double>(width) + kMargin + kHeaderButtonWidth, kNarrowestColumn,
                                        kWidestColumn));
        }
        pending_.insert(0, XlsxSheetHead(sheets_.size() == 1, widths));
        headWritten_ = true;
    }
    if (const int error = zip_->Write(pending_)) return Fail(FailureReason(error));
    sinceRestart_ += pending_.size();
    pending_.clear();
    // What was written ends with a whole row, so the next piece starts with one.
    if (sinceRestart_ >= kRestartSpacing) {
        SheetRestartPoint point;
        if (const int error = zip_->MarkRestartPoint(point.at)) return Fail(FailureReason(error));
        point.rowsBefore = sheets_.back().rows;
        restartPoints_.back().push_back(point);
        sinceRestart_ = 0;
    }
    return std::nullopt;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::FinishSheet() {
    if (auto failure = Flush(true)) return failure;
    if (const int error = zip_->Write(XlsxSheetTail(sheets_.back().rows, sheets_.back().columns))) {
        return Fail(FailureReason(error));
    }
    if (const int error = zip_->FinishEntry()) return Fail(FailureReason(error));
    return std::nullopt;
}

void XlsxRowWorkbook::ReadBackFinishedSheetMeanwhile() {
    // In pieces side by side where it has restart points, as at the commit:
    // when the sheets after it are short, the commit waits for this read.
    const SheetWritten sheet{sheets_.back().rows, restartPoints_.back()};
    const ZipEntryRecord entry = zip_->LastEntry();
    const int fd = staged_.Descriptor();
    const std::size_t longestRow = longestRowXml_;
    try {
        const TerminationSignalsBlocked blocked;
        earlyReadBacks_.push_back(std::async(std::launch::async, [fd, entry, sheet, longestRow] {
            try {
                return ReadBackSheetEntry(fd, entry, sheet, longestRow);
            } catch (const std::exception&) {
                // Out of memory: a record no entry matches, so the commit reads the sheet again.
                return EarlyReadBack{};
            }
        }));
    } catch (const std::system_error&) {
        // No thread to be had: the commit reads the sheet with the others.
    }
}

std::vector<EarlyReadBack> XlsxRowWorkbook::TakeEarlyReadBacks() {
    std::vector<EarlyReadBack> reads;
    for (std::future<EarlyReadBack>& read : earlyReadBacks_) reads.push_back(read.get());
    earlyReadBacks_.clear();
    return reads;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::AppendRow(std::span<const Text> cells) {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    if (cells.size() != table_.header.size()) return WorkbookFailure{path_, "行的单元格数与表头的列数不同"};
    if (sheets_.back().rows == rowsPerSheet_) {
        if (auto failure = FinishSheet()) return failure;
        ReadBackFinishedSheetMeanwhile();
        if (auto failure = StartTableSheet()) return failure;
    }
    const bool measured = table_.rowsMeasured < kRowsMeasured;
    std::size_t rowText = 0;
    const auto cellText = [&](std::size_t column) {
        const std::string_view utf8 = utf8_.Convert(cells[column]);
        rowText += utf8.size();
        if (measured) table_.widths[column] = std::max(table_.widths[column], DisplayWidth(utf8));
        return utf8;
    };
    if (!AppendRowXml(cells.size(), cellText, 0)) return Fail("单元格文本超过 32767 个字符");
    longestRowXml_ = std::max(longestRowXml_, RowXmlBound(rowText, cells.size()));
    if (measured) ++table_.rowsMeasured;
    if (pending_.size() >= kFlushSize || (!headWritten_ && table_.rowsMeasured == kRowsMeasured)) {
        return Flush(table_.rowsMeasured == kRowsMeasured);
    }
    return std::nullopt;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::StartSheet(const std::string& name, std::span<const Text> header) {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    if (header.empty() || header.size() > kMostColumns) return WorkbookFailure{path_, "表头的列数无效"};
    if (!IsSheetName(name)) return WorkbookFailure{path_, "工作表名“" + name + "”无效"};
    if (auto failure = FinishSheet()) return failure;
    ReadBackFinishedSheetMeanwhile();
    return StartTable(Table{name, false, Utf8Texts(header), {}, {}, 0, 0});
}

std::optional<WorkbookFailure> XlsxRowWorkbook::AddCompanionFile(std::string_view extension, std::string contents) {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    if (auto failure = companions_.Add(CompanionPath(path_, extension), contents)) return FailWith(*failure);
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
    int error = part("xl/workbook.xml", XlsxWorkbookPart(sheets_));
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
    std::vector<SheetWritten> written;
    for (std::size_t sheet = 0; sheet < sheets_.size(); ++sheet) {
        written.push_back(SheetWritten{sheets_[sheet].rows, std::move(restartPoints_[sheet])});
    }
    const std::vector<EarlyReadBack> readEarly = TakeEarlyReadBacks();
    if (auto damage = ReadBackXlsx(staged_.Descriptor(), written, longestRowXml_, readEarly)) return Fail(*damage);
    if (auto failure = companions_.Verify()) return FailWith(*failure);
    if (onExisting_ == OnExistingFile::kTakeNextFree) {
        // The name is only settled by the workbook's own rename; the
        // companions follow it under that name.
        const std::string asked = path_;
        if (const int renamed = staged_.Commit(); renamed != 0) return Fail(FailureReason(renamed));
        path_ = staged_.Destination();
        if (auto failure = companions_.Commit(asked, path_)) return FailWith(*failure);
        return std::nullopt;
    }
    // The companions go first: a workbook under its name always has them beside it.
    if (auto failure = companions_.Commit()) return FailWith(*failure);
    if (const int renamed = staged_.Commit(); renamed != 0) return Fail(FailureReason(renamed));
    return std::nullopt;
}

WorkbookFailure XlsxRowWorkbook::Fail(std::string reason) { return FailWith(WorkbookFailure{path_, std::move(reason)}); }

WorkbookFailure XlsxRowWorkbook::FailWith(WorkbookFailure failure) {
    failure_ = std::move(failure);
    Discard();
    return *failure_;
}

void XlsxRowWorkbook::Discard() {
    // The reads hold the staged file's descriptor; they end before it closes.
    static_cast<void>(TakeEarlyReadBacks());
    zip_.reset();
    staged_.Discard();
    companions_.Discard();
    finished_ = true;
}

}  // namespace quillmere::sheet
