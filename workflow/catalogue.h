#pragma once
// The catalogue an archive delivers with its scans: a CSV file with one row
// per archive number and its page count, as WPS or Excel save it (UTF-8
// with or without a byte-order mark, or GB18030).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/message.h"
#include "runtime/text.h"

namespace quillmere::workflow {

struct CatalogueEntry {
    Text archiveNumber;  // surrounding spaces removed
    std::int64_t pages = 0;
    int line = 0;  // the entry's line in the file, for messages
};

struct Catalogue {
    std::vector<CatalogueEntry> entries;  // in file order
};

struct CatalogueReading {
    std::optional<Catalogue> catalogue;
    Message failure;  // Chinese, naming the line where one is at fault
};

// Finds the two columns by their titles in the first row (spaces around a
// title ignored). Rows whose archive number is empty are skipped; a page
// count that is not a whole number, or an archive number given twice, is
// refused.
CatalogueReading ParseCatalogue(std::string_view bytes, const Text& archiveColumn, const Text& pagesColumn);

// Removes ASCII white space and the ideographic space around a UTF-8 text.
std::string_view TrimSpaces(std::string_view text);

}  // namespace quillmere::workflow
