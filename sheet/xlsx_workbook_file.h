#pragma once
// The one owner of an lxw_workbook: a constant-memory workbook that is
// written to its file only when closed.
//
// libxlsxwriter opens the output file inside workbook_close, which also
// frees the workbook, so Close is the single place where file errors show:
// call it once, explicitly. The destructor closes only as a last resort
// (the outcome is lost there) so that written rows are not thrown away.

#include <memory>
#include <string>
#include <vector>

#include <xlsxwriter.h>

namespace quillmere::sheet {

class XlsxWorkbookFile {
public:
    // An empty owner, as left behind by a move or Close.
    XlsxWorkbookFile() = default;
    ~XlsxWorkbookFile();
    XlsxWorkbookFile(const XlsxWorkbookFile&) = delete;
    XlsxWorkbookFile& operator=(const XlsxWorkbookFile&) = delete;
    XlsxWorkbookFile(XlsxWorkbookFile&& other) noexcept;
    XlsxWorkbookFile& operator=(XlsxWorkbookFile&& other) noexcept;

    // A workbook bound for path (bytes as the file system takes them); an
    // empty owner when libxlsxwriter cannot start one. Rows are streamed to
    // temporary files as they are completed, so memory does not grow with
    // the number of rows. Those files, and the ones the save assembles each
    // part in, go to temporaryFolder (the system's temporary directory when
    // empty); they are unlinked as soon as they are opened.
    static XlsxWorkbookFile Start(const std::string& path, const std::string& temporaryFolder = {});

    bool IsOpen() const noexcept { return workbook_ != nullptr; }

    // A new worksheet owned by the workbook; null on failure.
    lxw_worksheet* AddWorksheet(const std::string& name);
    // The default cell format, for blank cells that must overwrite.
    lxw_format* AddPlainFormat();
    // The default format in bold, for a header row.
    lxw_format* AddBoldFormat();

    // Pushes every worksheet's buffered rows into its row file: 0, or the
    // errno of a write that failed now or earlier (EIO when none is known).
    // libxlsxwriter ignores failed writes to these files, which would
    // otherwise show only as missing rows.
    int FlushRowFiles();
    // Whether a write to the worksheet's row file has failed so far.
    static bool RowFileFailed(const lxw_worksheet* worksheet) noexcept;

    // Writes the file and frees the workbook. Leaves the owner empty.
    lxw_error Close();
    // Frees the workbook without writing anything.
    void Discard() noexcept;

private:
    explicit XlsxWorkbookFile(lxw_workbook* workbook) noexcept : workbook_(workbook) {}

    // A worksheet's temporary row file and the stdio buffer given to it,
    // which must outlive the file.
    struct RowFile {
        lxw_worksheet* worksheet;
        std::unique_ptr<char[]> buffer;
    };

    lxw_workbook* workbook_ = nullptr;
    std::vector<RowFile> rowFiles_;
    // workbook_new_opt keeps a pointer to the folder's name.
    std::unique_ptr<std::string> temporaryFolder_;
};

}  // namespace quillmere::sheet
