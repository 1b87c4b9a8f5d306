#include "sheet/xlsx_row_workbook.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "runtime/text_encoding.h"
#include "sheet/display_width.h"
#include "sheet/failure_reason.h"
#include "sheet/silenced_standard_error.h"
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

std::string SheetName(std::size_t index) { return "Sheet" + std::to_string(index + 1); }

// Whether the folder's file system has no room left: a read-back that
// found parts missing is then explained by a full disk.
bool FolderIsFull(const std::string& folder) {
    struct statvfs status {};
    return ::statvfs(folder.c_str(), &status) == 0 && status.f_bavail == 0;
}

// libxlsxwriter makes its temporary files in the system's temporary folder
// when the one it was given has gone: 0 while that folder is there, else
// the errno, so that nothing is written outside the destination.
int FolderMissing(const std::string& folder) {
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) return errno;
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

}  // namespace

CreatedWorkbook XlsxRowWorkbook::Create(const std::string& path, const WorkbookLayout& layout, ReservedName reserved) {
    if (layout.header.empty() || layout.header.size() > kMostColumns) {
        return {nullptr, {path, "表头的列数无效"}};
    }
    std::unique_ptr<XlsxRowWorkbook> workbook(new XlsxRowWorkbook(path, layout));
    workbook->reserved_ = std::move(reserved);
    if (auto failure = workbook->Start()) return {nullptr, *failure};
    return {std::move(workbook), {}};
}

XlsxRowWorkbook::XlsxRowWorkbook(std::string path, const WorkbookLayout& layout)
    : path_(std::move(path)),
      header_(layout.header),
      rowsPerSheet_(std::clamp<std::int64_t>(layout.rowsPerSheet, 2, kSheetRowLimit)),
      widths_(layout.header.size(), 0) {}

XlsxRowWorkbook::~XlsxRowWorkbook() { Discard(); }

std::optional<WorkbookFailure> XlsxRowWorkbook::Start() {
    int error = 0;
    staged_ = StagedFile::Create(path_, error);
    if (!staged_.IsOpen()) return Fail(FailureReason(error));
    const std::size_t slash = path_.rfind('/');
    parts_ = TemporaryFolder::Create(FolderOf(path_), slash == std::string::npos ? path_ : path_.substr(slash + 1), error);
    if (!parts_.Exists()) return Fail(FailureReason(error));
    {
        const SilencedStandardError quiet;
        errno = 0;
        file_ = XlsxWorkbookFile::Start(staged_.TemporaryPath(), parts_.Path());
        error = errno;
    }
    if (!file_.IsOpen()) return Fail(XlsxFailureReason(LXW_ERROR_CREATING_TMPFILE, error));
    plainFormat_ = file_.AddPlainFormat();
    headerFormat_ = file_.AddBoldFormat();
    if (!plainFormat_ || !headerFormat_) return Fail(FailureReason(ENOMEM));
    for (std::size_t column = 0; column < header_.size(); ++column) {
        const std::string title = TextToUtf8(header_[column]);
        widths_[column] = DisplayWidth(title);
        longestRowText_ += title.size();
    }
    return StartSheet();
}

std::optional<WorkbookFailure> XlsxRowWorkbook::StartSheet() {
    if (const int gone = FolderMissing(parts_.Path()); gone != 0) return Fail(FailureReason(gone));
    lxw_worksheet* sheet = nullptr;
    int error = 0;
    {
        const SilencedStandardError quiet;
        errno = 0;
        sheet = file_.AddWorksheet(SheetName(sheets_.size()));
        error = errno;
        if (sheet) worksheet_freeze_panes(sheet, 1, 0);
    }
    if (!sheet) return Fail(XlsxFailureReason(LXW_ERROR_CREATING_TMPFILE, error));
    sheets_.push_back(sheet);
    sheetRows_.push_back(1);
    writer_.emplace(sheet, plainFormat_);
    for (std::size_t column = 0; column < header_.size(); ++column) {
        if (!writer_->WriteText(0, static_cast<std::uint16_t>(column), TextToUtf8(header_[column]), headerFormat_)) {
            return Fail("无法写入表头");
        }
    }
    return std::nullopt;
}

std::optional<WorkbookFailure> XlsxRowWorkbook::AppendRow(std::span<const Text> cells) {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    if (cells.size() != header_.size()) return WorkbookFailure{path_, "行的单元格数与表头的列数不同"};
    if (sheetRows_.back() == rowsPerSheet_) {
        if (auto failure = StartSheet()) return failure;
    }
    const auto row = static_cast<std::uint32_t>(sheetRows_.back());
    const bool measured = rowsMeasured_ < kRowsMeasured;
    std::size_t rowText = 0;
    for (std::size_t column = 0; column < cells.size(); ++column) {
        const std::string_view utf8 = utf8_.Convert(cells[column]);
        rowText += utf8.size();
        if (measured) widths_[column] = std::max(widths_[column], DisplayWidth(utf8));
        errno = 0;
        if (!writer_->WriteText(row, static_cast<std::uint16_t>(column), utf8)) {
            return Fail("单元格文本超过 32767 个字符");
        }
        // libxlsxwriter writes the previous row to its row file when a new
        // one starts, and ignores a failed write: look at once, while errno
        // still tells why.
        if (column == 0 && XlsxWorkbookFile::RowFileFailed(sheets_.back())) {
            return Fail(FailureReason(errno != 0 ? errno : EIO));
        }
    }
    if (measured) ++rowsMeasured_;
    longestRowText_ = std::max(longestRowText_, rowText);
    ++sheetRows_.back();
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
    {
        const SilencedStandardError quiet;
        const auto lastColumn = static_cast<lxw_col_t>(header_.size() - 1);
        for (std::size_t index = 0; index < sheets_.size(); ++index) {
            for (std::size_t column = 0; column < widths_.size(); ++column) {
                const double width = std::clamp(static_cast<double>(widths_[column]) + kMargin + kHeaderButtonWidth,
                                                kNarrowestColumn, kWidestColumn);
                worksheet_set_column(sheets_[index], static_cast<lxw_col_t>(column), static_cast<lxw_col_t>(column),
                                     width, nullptr);
            }
            worksheet_autofilter(sheets_[index], 0, 0, static_cast<lxw_row_t>(sheetRows_[index] - 1), lastColumn);
        }
    }
    if (const int error = file_.FlushRowFiles(); error != 0) return Fail(FailureReason(error));
    if (const int gone = FolderMissing(parts_.Path()); gone != 0) return Fail(FailureReason(gone));
    lxw_error closed = LXW_NO_ERROR;
    int error = 0;
    {
        const SilencedStandardError quiet;
        errno = 0;
        closed = file_.Close();
        error = errno;
    }
    if (closed != LXW_NO_ERROR) return Fail(XlsxFailureReason(closed, error));
    parts_.Remove();
    if (const int synced = staged_.Sync(); synced != 0) return Fail(FailureReason(synced));
    if (auto damage = ReadBackXlsx(staged_.Descriptor(), sheetRows_, RowXmlBound(longestRowText_, header_.size()))) {
        return Fail(FolderIsFull(FolderOf(path_)) ? FailureReason(ENOSPC) : *damage);
    }
    reserved_.StopSignalCleanup();
    if (const int renamed = staged_.Commit(); renamed != 0) return Fail(FailureReason(renamed));
    reserved_.Fulfil();
    return std::nullopt;
}

WorkbookFailure XlsxRowWorkbook::Fail(std::string reason) {
    failure_ = WorkbookFailure{path_, std::move(reason)};
    Discard();
    return *failure_;
}

void XlsxRowWorkbook::Discard() {
    writer_.reset();
    if (file_.IsOpen()) {
        const SilencedStandardError quiet;
        file_.Discard();
    }
    staged_.Discard();
    parts_.Remove();
    reserved_.Release();
    finished_ = true;
}

}  // namespace quillmere::sheet
