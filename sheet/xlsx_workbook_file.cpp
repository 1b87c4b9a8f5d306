#include "sheet/xlsx_workbook_file.h"

#include <cerrno>
#include <cstdio>
#include <utility>

namespace quillmere::sheet {

namespace {

// A worksheet's rows go to its temporary row file through stdio; with the
// default 4 KiB buffer that is a write call every few rows.
constexpr std::size_t kRowFileBufferSize = 64 * 1024;

bool HoldsRows(const lxw_worksheet& worksheet) noexcept { return worksheet.dim_rowmin != LXW_ROW_MAX; }

}  // namespace

XlsxWorkbookFile::~XlsxWorkbookFile() {
    if (workbook_) static_cast<void>(Close());
}

XlsxWorkbookFile::XlsxWorkbookFile(XlsxWorkbookFile&& other) noexcept
    : workbook_(std::exchange(other.workbook_, nullptr)),
      rowFiles_(std::move(other.rowFiles_)),
      temporaryFolder_(std::move(other.temporaryFolder_)) {}

XlsxWorkbookFile& XlsxWorkbookFile::operator=(XlsxWorkbookFile&& other) noexcept {
    if (this != &other) {
        if (workbook_) static_cast<void>(Close());
        workbook_ = std::exchange(other.workbook_, nullptr);
        rowFiles_ = std::move(other.rowFiles_);
        temporaryFolder_ = std::move(other.temporaryFolder_);
    }
    return *this;
}

XlsxWorkbookFile XlsxWorkbookFile::Start(const std::string& path, const std::string& temporaryFolder) {
    auto folder = temporaryFolder.empty() ? nullptr : std::make_unique<std::string>(temporaryFolder);
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = folder ? folder->data() : nullptr;  // null: the system's temporary directory
    // Off, as libxlsxwriter recommends: some readers choke on ZIP64 entries.
    // A sheet whose XML passes 4 GiB then fails at Close, with its reason.
    options.use_zip64 = LXW_FALSE;
    XlsxWorkbookFile file(workbook_new_opt(path.c_str(), &options));
    if (file.IsOpen()) file.temporaryFolder_ = std::move(folder);
    return file;
}

int XlsxWorkbookFile::FlushRowFiles() {
    if (!workbook_) return 0;
    int failure = 0;
    for (const RowFile& file : rowFiles_) {
        std::FILE* rows = file.worksheet->optimize_tmpfile;
        if (!rows) continue;
        errno = 0;
        if (std::fflush(rows) != 0 || std::ferror(rows)) {
            if (failure == 0) failure = errno != 0 ? errno : EIO;
        }
    }
    return failure;
}

bool XlsxWorkbookFile::RowFileFailed(const lxw_worksheet* worksheet) noexcept {
    return worksheet && worksheet->optimize_tmpfile && std::ferror(worksheet->optimize_tmpfile);
}

lxw_worksheet* XlsxWorkbookFile::AddWorksheet(const std::string& name) {
    if (!workbook_) return nullptr;
    lxw_worksheet* worksheet = workbook_add_worksheet(workbook_, name.c_str());
    // Nothing has gone through the row file yet, so its buffer may still be
    // replaced; where that is refused the default one serves.
    if (worksheet && worksheet->optimize_tmpfile) {
        auto buffer = std::make_unique_for_overwrite<char[]>(kRowFileBufferSize);
        if (std::setvbuf(worksheet->optimize_tmpfile, buffer.get(), _IOFBF, kRowFileBufferSize) == 0) {
            rowFiles_.push_back(RowFile{worksheet, std::move(buffer)});
        }
    }
    return worksheet;
}

lxw_format* XlsxWorkbookFile::AddPlainFormat() {
    if (!workbook_) return nullptr;
    lxw_format* format = workbook_add_format(workbook_);
    // libxlsxwriter finds a format's style index by hashing it on every cell
    // written with it until the format holds an index of its own, which a
    // copy of the default format never comes to do. The index is the
    // default's, so it is given once here.
    if (format) format->xf_index = lxw_format_get_xf_index(format);
    return format;
}

lxw_format* XlsxWorkbookFile::AddBoldFormat() {
    if (!workbook_) return nullptr;
    lxw_format* format = workbook_add_format(workbook_);
    if (format) format_set_bold(format);
    return format;
}

lxw_error XlsxWorkbookFile::Close() {
    if (!workbook_) return LXW_NO_ERROR;
    // A successful close closes the row file of every worksheet that holds
    // rows and leaves the others open; those are closed here once the
    // workbook is gone. Which ones a failed close got to is unknown, so then
    // every buffer is left to the files that may still use it.
    std::vector<std::FILE*> leftOpen;
    for (const RowFile& file : rowFiles_) {
        if (!HoldsRows(*file.worksheet)) leftOpen.push_back(file.worksheet->optimize_tmpfile);
    }
    const lxw_error error = workbook_close(std::exchange(workbook_, nullptr));
    if (error == LXW_NO_ERROR) {
        for (std::FILE* file : leftOpen) std::fclose(file);
    } else {
        for (RowFile& file : rowFiles_) static_cast<void>(file.buffer.release());
    }
    rowFiles_.clear();
    return error;
}

void XlsxWorkbookFile::Discard() noexcept {
    if (!workbook_) return;
    // Freeing a workbook leaves its row files open; their rows are not wanted.
    for (RowFile& file : rowFiles_) {
        std::fclose(file.worksheet->optimize_tmpfile);
        file.worksheet->optimize_tmpfile = nullptr;
        file.worksheet->file = nullptr;
    }
    lxw_workbook_free(std::exchange(workbook_, nullptr));
    rowFiles_.clear();
}

}  // namespace quillmere::sheet
