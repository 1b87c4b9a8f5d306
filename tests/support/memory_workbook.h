#pragma once
// A workbook double for workflow tests: it keeps the rows in memory, laid
// out in sheets as a real workbook lays them out (the header on row 1 of
// every sheet, a new sheet when one is full), records whether the run
// committed or discarded it, and fails on request when created, at a given
// row or at the commit.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/text_encoding.h"
#include "sheet/row_workbook.h"

namespace quillmere::testing {

using MemoryRow = std::vector<std::string>;  // UTF-8 cells
using MemorySheet = std::vector<MemoryRow>;  // row 1 first

class MemoryWorkbookMaker final : public sheet::WorkbookMaker {
public:
    sheet::CreatedWorkbook Create(const sheet::WorkbookLayout& layout) override {
        ++creates;
        this->layout = layout;
        if (createFailure) return {nullptr, *createFailure};
        sheets.clear();
        namedSheets.clear();
        companionFiles.clear();
        committed = discarded = false;
        rowsAppended = 0;
        return {std::make_unique<Book>(*this), {}};
    }

    // The file rows of every sheet, headers left out.
    std::vector<MemoryRow> FileRows() const {
        std::vector<MemoryRow> rows;
        for (const MemorySheet& sheet : sheets) rows.insert(rows.end(), sheet.begin() + 1, sheet.end());
        return rows;
    }

    // Set by the test.
    std::string path = "/documents/Quillmere/scan-元数据-20150307-140509.xlsx";
    std::optional<sheet::WorkbookFailure> createFailure;
    std::optional<sheet::WorkbookFailure> commitFailure;
    std::int64_t failAtRow = 0;  // 1-based file row whose AppendRow fails; 0 never
    sheet::WorkbookFailure rowFailure{path, "磁盘空间不足"};
    std::function<void()> onCommit;
    std::optional<sheet::WorkbookFailure> startSheetFailure;

    // What the run did.
    int creates = 0;
    sheet::WorkbookLayout layout;
    std::vector<MemorySheet> sheets;
    // Sheets started by name after the rows' own, in order, and the files saved beside the workbook.
    std::vector<std::pair<std::string, MemorySheet>> namedSheets;
    std::vector<std::pair<std::string, std::string>> companionFiles;  // extension, contents
    std::int64_t rowsAppended = 0;
    bool committed = false;
    bool discarded = false;

private:
    class Book final : public sheet::RowWorkbook {
    public:
        explicit Book(MemoryWorkbookMaker& maker) : maker_(maker) {}
        ~Book() override {
            if (!maker_.committed) maker_.discarded = true;
        }
        const std::string& Path() const override { return maker_.path; }
        std::optional<sheet::WorkbookFailure> AppendRow(std::span<const Text> cells) override {
            if (!maker_.namedSheets.empty()) {
                MemorySheet& named = maker_.namedSheets.back().second;
                if (cells.size() != named.front().size()) return sheet::WorkbookFailure{maker_.path, "列数不对"};
                named.push_back(Utf8(cells));
                return std::nullopt;
            }
            if (cells.size() != maker_.layout.header.size()) return sheet::WorkbookFailure{maker_.path, "列数不对"};
            if (maker_.failAtRow == maker_.rowsAppended + 1) return maker_.rowFailure;
            auto& sheets = maker_.sheets;
            if (sheets.empty() || static_cast<std::int64_t>(sheets.back().size()) >= maker_.layout.rowsPerSheet) {
                sheets.push_back({Utf8(maker_.layout.header)});
            }
            sheets.back().push_back(Utf8(cells));
            ++maker_.rowsAppended;
            return std::nullopt;
        }
        std::optional<sheet::WorkbookFailure> Commit() override {
            if (maker_.onCommit) maker_.onCommit();
            if (maker_.commitFailure) return maker_.commitFailure;
            if (maker_.sheets.empty()) maker_.sheets.push_back({Utf8(maker_.layout.header)});
            maker_.committed = true;
            return std::nullopt;
        }
        void Discard() override { maker_.discarded = true; }
        std::optional<sheet::WorkbookFailure> StartSheet(const std::string& name,
                                                         std::span<const Text> header) override {
            if (maker_.startSheetFailure) return maker_.startSheetFailure;
            maker_.namedSheets.push_back({name, {Utf8(header)}});
            return std::nullopt;
        }
        std::optional<sheet::WorkbookFailure> AddCompanionFile(std::string_view extension,
                                                               std::string contents) override {
            maker_.companionFiles.push_back({std::string(extension), std::move(contents)});
            return std::nullopt;
        }

    private:
        static MemoryRow Utf8(std::span<const Text> cells) {
            MemoryRow row;
            for (const Text& cell : cells) row.push_back(TextToUtf8(cell));
            return row;
        }
        MemoryWorkbookMaker& maker_;
    };
};

}  // namespace quillmere::testing
