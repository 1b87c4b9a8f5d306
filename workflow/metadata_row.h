#pragma once
// The output sheet's fourteen columns: the header row, and one file's row
// derived from its path, the batch facts, its file facts and its probe.

#include <array>
#include <optional>
#include <span>
#include <vector>

#include "image/image_properties.h"
#include "runtime/file_info.h"
#include "runtime/text.h"
#include "sheet/row_workbook.h"
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

// The header titles, A to N.
std::vector<Text> HeaderTitles();

// Builds and writes file rows. Holds the run's constant texts and one row's
// cells, reused from row to row, so a row costs no conversions and no
// allocations beyond its own values.
class MetadataRowWriter {
public:
    MetadataRowWriter();

    // The fourteen texts of one file's row, A to N.
    std::span<const Text> BuildRow(const BatchFacts& facts, const Text& path, const FileFacts& file,
                                   const image::ImageProbe& image);

private:
    std::array<Text, kColumnCount> cells_;
    Text trueColour_;
    Text colourSuffix_;
};

}  // namespace quillmere::workflow
