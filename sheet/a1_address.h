#pragma once
// Cell addresses in A1 notation ("B7", "xfd1048576", "$A$1") and the
// rectangular range two of them span.
//
// Accepted: one to three column letters in either case followed by a row
// number without leading zeros, each optionally preceded by "$" as an
// absolute marker (which changes nothing here). Columns run from A to XFD
// and rows from 1 to 1048576, the limits of an .xlsx sheet. Anything else is
// refused: the empty text, spaces, "A0", "A01", sheet-qualified names
// ("Sheet1!A1"), "A1:B2" in one address, defined names, R1C1 notation.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere::sheet {

inline constexpr std::uint32_t kSheetRows = 1'048'576;
inline constexpr std::uint16_t kSheetColumns = 16'384;

// Zero-based, as libxlsxwriter counts: "A1" is row 0, column 0.
struct CellAddress {
    std::uint32_t row = 0;
    std::uint16_t column = 0;

    friend bool operator==(const CellAddress&, const CellAddress&) = default;
};

// first is the top-left and last the bottom-right cell, whatever order the
// two corners were given in.
struct CellRange {
    CellAddress first;
    CellAddress last;

    bool IsSingleCell() const noexcept { return first == last; }
    std::uint64_t CellCount() const noexcept {
        return std::uint64_t{last.row - first.row + 1u} * std::uint64_t{last.column - first.column + 1u};
    }
    friend bool operator==(const CellRange&, const CellRange&) = default;
};

std::optional<CellAddress> ParseA1(std::string_view text) noexcept;

// The range with corners cell1 and cell2; nothing when either is refused.
std::optional<CellRange> ParseA1Range(std::string_view cell1, std::string_view cell2) noexcept;

// "A1" for {0, 0}; upper-case letters, no "$".
std::string FormatA1(CellAddress address);

}  // namespace quillmere::sheet
