#pragma once
// The output sheet's fourteen columns: the header row, and one file's row
// derived from its path, the batch-fact boxes, its file facts and its image.

#include <array>
#include <cstdint>

#include "image/image_object.h"
#include "runtime/file_info.h"
#include "runtime/text.h"
#include "sheet/excel_controls.h"
#include "workflow/window_port.h"

namespace quillmere::workflow {

inline constexpr int kColumnCount = 14;

struct ImagePathParts {
    Text fileName;   // everything after the last "/"
    Text stem;       // the file name without its last extension
    Text extension;  // after the last "." of the file name
};

// Cuts a path at its last "/" and its file name at the last ".". A name
// without "." gives an empty stem and the whole name as extension.
ImagePathParts SplitImagePath(const Text& path);

// Selects first..last; an empty last becomes a copy of first (the caller's too).
void SelectRange(sheet::ExcelWorkbooks& workbook, const Text& first, Text& last);
void WriteRange(sheet::ExcelWorkbooks& workbook, const Text& first, Text& last, const Text& value);

// Writes the header and file rows. Holds the run's constant texts so that a
// row costs no conversions beyond its own values.
class MetadataRowWriter {
public:
    MetadataRowWriter();

    void WriteHeaderRow(sheet::ExcelWorkbooks& workbook) const;
    // Writes the fourteen cells of sheetRow, each value derived just before
    // its cell is written; the batch-fact boxes are read afresh.
    void WriteMetadataRow(sheet::ExcelWorkbooks& workbook, const WindowPort& window, std::int32_t sheetRow,
                          const Text& path, const FileFacts& facts, const image::ImageHandle& image) const;

private:
    std::array<Text, kColumnCount> titles_;
    Text trueColour_;
    Text colourSuffix_;
};

}  // namespace quillmere::workflow
