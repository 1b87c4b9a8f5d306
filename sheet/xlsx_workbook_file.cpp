#include "sheet/xlsx_workbook_file.h"

#include <utility>

namespace quillmere::sheet {

XlsxWorkbookFile::~XlsxWorkbookFile() {
    if (workbook_) static_cast<void>(Close());
}

XlsxWorkbookFile::XlsxWorkbookFile(XlsxWorkbookFile&& other) noexcept
    : workbook_(std::exchange(other.workbook_, nullptr)) {}

XlsxWorkbookFile& XlsxWorkbookFile::operator=(XlsxWorkbookFile&& other) noexcept {
    if (this != &other) {
        if (workbook_) static_cast<void>(Close());
        workbook_ = std::exchange(other.workbook_, nullptr);
    }
    return *this;
}

XlsxWorkbookFile XlsxWorkbookFile::Start(const std::string& path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = nullptr;  // the system's temporary directory
    // Off, as libxlsxwriter recommends: some readers choke on ZIP64 entries.
    // A sheet whose XML passes 4 GiB then fails at Close, with its reason.
    options.use_zip64 = LXW_FALSE;
    return XlsxWorkbookFile(workbook_new_opt(path.c_str(), &options));
}

lxw_worksheet* XlsxWorkbookFile::AddWorksheet(const std::string& name) {
    if (!workbook_) return nullptr;
    return workbook_add_worksheet(workbook_, name.c_str());
}

lxw_format* XlsxWorkbookFile::AddPlainFormat() {
    if (!workbook_) return nullptr;
    return workbook_add_format(workbook_);
}

lxw_error XlsxWorkbookFile::Close() {
    if (!workbook_) return LXW_NO_ERROR;
    return workbook_close(std::exchange(workbook_, nullptr));
}

void XlsxWorkbookFile::Discard() noexcept {
    if (workbook_) lxw_workbook_free(std::exchange(workbook_, nullptr));
}

}  // namespace quillmere::sheet
