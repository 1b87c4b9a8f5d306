#pragma once
// The same header and rows as the .xlsx workbook, as a CSV file: UTF-8
// with a byte-order mark (so that Excel and WPS read it as Chinese rather
// than in the legacy code page), RFC 4180 quoting (a field holding a comma,
// a quote, CR or LF is quoted, its quotes doubled), CRLF after every
// record, one header and no limit on rows.
//
// Saved as StagedFile describes, once the file's size on disk matches the
// bytes written.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

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
    std::optional<WorkbookFailure> StartSheet(const std::string&, std::span<const Text>) override {
        return WorkbookFailure{Path(), "暂不支持"};
    }
    std::optional<WorkbookFailure> AddCompanionFile(std::string_view, std::string) override {
        return WorkbookFailure{Path(), "暂不支持"};
    }

private:
    CsvRowWorkbook(std::string path, std::size_t columns);

    void AppendField(std::string_view utf8);
    // Writes the buffer out when it is full enough (or, with force, at all).
    std::optional<WorkbookFailure> Drain(bool force);
    WorkbookFailure Fail(std::string reason);

    std::string path_;
    std::size_t columns_;
    StagedFile staged_;
    Utf8TextCache utf8_;
    std::string buffer_;
    std::uint64_t written_ = 0;
    std::optional<WorkbookFailure> failure_;
    bool finished_ = false;
};

// Appends text to out as one RFC 4180 field.
void AppendCsvField(std::string& out, std::string_view text);

}  // namespace quillmere::sheet
