#pragma once
// Files saved beside a workbook and with it: each written whole under a
// hidden name in its destination's folder (StagedFile), synced and checked
// at the workbook's commit, and renamed onto its own name just before the
// workbook is. A failure or a discard removes every one of them; an earlier
// file of the same name stays untouched until the rename.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sheet/row_workbook.h"
#include "sheet/staged_file.h"

namespace quillmere::sheet {

// workbookPath with its extension (from the last dot of its file name on)
// replaced by suffix: "out.xlsx" and ".sha256" give "out.sha256".
std::string CompanionPath(const std::string& workbookPath, std::string_view suffix);

class CompanionFiles {
public:
    // Stages contents for path. A failure names path.
    std::optional<WorkbookFailure> Add(const std::string& path, std::string_view contents);
    // Syncs every staged file and checks that it holds all its bytes.
    std::optional<WorkbookFailure> Verify();
    // Renames every staged file onto its name, in the order added.
    std::optional<WorkbookFailure> Commit();
    // The same for a workbook asked for as askedWorkbook and saved as
    // savedWorkbook (the next free name): each file's name follows the one
    // the workbook got, replacing a file left there by none.
    std::optional<WorkbookFailure> Commit(const std::string& askedWorkbook, const std::string& savedWorkbook);
    void Discard() noexcept;

private:
    struct Companion {
        std::string path;
        StagedFile staged;
        std::uint64_t size = 0;
    };
    std::vector<Companion> files_;
};

}  // namespace quillmere::sheet
