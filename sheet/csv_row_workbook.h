#pragma once
// The same header and rows as the .xlsx workbook, as a CSV file: UTF-8
// with a byte-order mark (so that Excel and WPS read it as Chinese rather
// than in the legacy code page), RFC 4180 quoting (a field holding a comma,
// a quote, CR or LF is quoted, its quotes doubled), CRLF after every
// record, one header and no limit on rows.
//
// A sheet started by StartSheet goes to a file of its own beside the rows'
// file, "<stem>-<name>.csv", in the same form. Every file is saved as
// StagedFile describes, once its size on disk matches the bytes written;
// the rows' file is renamed last.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sheet/companion_files.h"
#include "sheet/row_workbook.h"
#include "sheet/staged_file.h"
#include "sheet/utf8_text_cache.h"

namespace quillmere::sheet {

class CsvRowWorkbook final : public RowWorkbook {
public:
    static CreatedWorkbook Create(const std::string& path, const WorkbookLayout& layout);

    ~CsvRowWorkbook() override;
    CsvRowWorkbook(const CsvRowWorkbook&) = delete;
    CsvRowWorkbook& operator=(const CsvRowWorkbook&) = delete;

    const std::string& Path() const override { return path_; }
    std::optional<WorkbookFailure> AppendRow(std::span<const Text> cells) override;
    std::optional<WorkbookFailure> Commit() override;
    void Discard() override;
    std::optional<WorkbookFailure> StartSheet(const std::string& name, std::span<const Text> header) override;
    std::optional<WorkbookFailure> AddCompanionFile(std::string_view extension, std::string contents) override;

private:
    // One CSV file being written.
    struct SheetFile {
        std::string path;
        std::size_t columns = 0;
        StagedFile staged;
        std::string buffer;  // not yet written
        std::uint64_t written = 0;
    };

    explicit CsvRowWorkbook(std::string path);

    // Stages path and puts the byte-order mark and header into it.
    std::optional<WorkbookFailure> StartFile(std::string path, std::span<const Text> header);
    // Writes a file's buffer out when it is full enough (or, with force, at all).
    std::optional<WorkbookFailure> Drain(SheetFile& file, bool force);
    // Drains, syncs and checks the size of every file.
    std::optional<WorkbookFailure> Verify();
    std::optional<WorkbookFailure> Save();
    WorkbookFailure Fail(WorkbookFailure failure);

    std::string path_;
    std::vector<SheetFile> files_;  // the rows' file first; rows go into the last
    CompanionFiles companions_;
    Utf8TextCache utf8_;
    std::optional<WorkbookFailure> failure_;
    bool finished_ = false;
};

// Appends text to out as one RFC 4180 field.
void AppendCsvField(std::string& out, std::string_view text);

}  // namespace quillmere::sheet
