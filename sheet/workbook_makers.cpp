#include "sheet/workbook_makers.h"

#include <algorithm>
#include <cctype>

#include "runtime/path_parts.h"
#include "sheet/csv_row_workbook.h"
#include "sheet/failure_reason.h"
#include "sheet/xlsx_row_workbook.h"

namespace quillmere::sheet {

namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<std::ptrdiff_t>(suffix.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace

std::optional<OutputKind> OutputKindOf(std::string_view path) {
    const std::string_view name = FileNameOf(path);
    // A name that is nothing but the extension (".xlsx") is a hidden file
    // without one.
    if (name.size() > 5 && EndsWithIgnoringCase(name, ".xlsx")) return OutputKind::kXlsx;
    if (name.size() > 4 && EndsWithIgnoringCase(name, ".csv")) return OutputKind::kCsv;
    return std::nullopt;
}

CreatedWorkbook CreateRowWorkbook(const std::string& path, const WorkbookLayout& layout) {
    const std::optional<OutputKind> kind = OutputKindOf(path);
    if (!kind) return {nullptr, {path, "输出文件的扩展名必须是 .xlsx 或 .csv"}};
    return *kind == OutputKind::kCsv ? CsvRowWorkbook::Create(path, layout) : XlsxRowWorkbook::Create(path, layout);
}

CreatedWorkbook CreateWorkbookUnderFreshName(const std::string& stem, const WorkbookLayout& layout) {
    return XlsxRowWorkbook::Create(stem + ".xlsx", layout, OnExistingFile::kTakeNextFree);
}

}  // namespace quillmere::sheet
