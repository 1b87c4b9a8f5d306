#pragma once
// The ways a run gets its workbook: the extractor writes where -o says, in
// the format its extension names; the window program takes a fresh name in
// its workbook folder.

#include <optional>
#include <string>
#include <string_view>

#include "sheet/row_workbook.h"

namespace quillmere::sheet {

enum class OutputKind { kXlsx, kCsv };

// By the extension, in any case: ".xlsx" or ".csv". Nothing for any other
// name, which the extractor refuses as a usage error.
std::optional<OutputKind> OutputKindOf(std::string_view path);

// A workbook saved as path (bytes as the file system takes them); path
// must name a kind OutputKindOf knows.
CreatedWorkbook CreateRowWorkbook(const std::string& path, const WorkbookLayout& layout);

// An .xlsx workbook under "<stem>.xlsx", or "<stem>-2.xlsx", … whichever
// name is free when it is saved; nothing stands under any of those names
// before, and two runs never share one. Path() names it after Commit.
CreatedWorkbook CreateWorkbookUnderFreshName(const std::string& stem, const WorkbookLayout& layout);

// The extractor's maker: every workbook goes to the one path.
class OutputPathWorkbookMaker final : public WorkbookMaker {
public:
    explicit OutputPathWorkbookMaker(std::string path) : path_(std::move(path)) {}
    CreatedWorkbook Create(const WorkbookLayout& layout) override { return CreateRowWorkbook(path_, layout); }

private:
    std::string path_;
};

}  // namespace quillmere::sheet
