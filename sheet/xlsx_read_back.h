#pragma once
// Reads a just-written .xlsx back before it is given its name.
//
// Every zip entry must be whole: its local header where the central
// directory says, its data inflating to exactly the recorded size with the
// recorded CRC-32. Every XML part must end with the closing tag of its root
// element, and each worksheet must hold its rows 1, 2, … in order, ending
// with the row it was last given: bytes lost on the way to the disk show up
// here even where the zip's own checks pass.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sheet/zip_stream.h"

namespace quillmere::sheet {

// A restart point of a worksheet (ZipStream::MarkRestartPoint) at the start
// of a row, with the number of rows before it.
struct SheetRestartPoint {
    ZipRestartPoint at;
    std::int64_t rowsBefore = 0;
};

// What the writer knows of "xl/worksheets/sheet<i+1>.xml".
struct SheetWritten {
    std::int64_t lastRow = 0;  // 1-based
    std::vector<SheetRestartPoint> restartPoints;  // in order; may be none
};

// A worksheet's entry read back as soon as it was finished, while later
// entries were still being written: the record it was read by, and what
// was wrong, if anything.
struct EarlyReadBack {
    ZipEntryRecord entry;
    std::optional<std::string> failure;
};

// Reads one finished worksheet entry back, as ReadBackXlsx reads a sheet,
// by the record its writer kept (no central directory needed yet).
EarlyReadBack ReadBackSheetEntry(int fd, const ZipEntryRecord& entry, const SheetWritten& sheet,
                                 std::size_t longestRowBytes);

// fd open for reading; sheets[i] describes "xl/worksheets/sheet<i+1>.xml";
// longestRowBytes bounds the XML of any one row (the last row is looked for
// only that far from a sheet's end). A large sheet with restart points is
// read back in pieces side by side, one a core; every piece must inflate to
// exactly its part of the content, begin with the row after the ones
// before it and hold its rows in order, and the pieces' CRC together must
// be the entry's. A worksheet in readEarly whose entry the central
// directory records exactly as it was read there is taken as read. Nothing
// when the file reads back whole, else what is wrong, in Chinese.
std::optional<std::string> ReadBackXlsx(int fd, std::span<const SheetWritten> sheets, std::size_t longestRowBytes,
                                        std::span<const EarlyReadBack> readEarly = {});
// The same where only the last rows are known.
std::optional<std::string> ReadBackXlsx(int fd, std::span<const std::int64_t> lastRows, std::size_t longestRowBytes);

// A bound of the XML written for a row of columns text cells
// holding textBytes bytes of UTF-8 in all: each byte becomes at most an
// eight-byte escape, each cell adds its tags.
constexpr std::size_t RowXmlBound(std::size_t textBytes, std::size_t columns) {
    return 8 * textBytes + 128 * columns + 64;
}

}  // namespace quillmere::sheet
