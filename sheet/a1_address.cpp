#include "sheet/a1_address.h"

#include <algorithm>

namespace quillmere::sheet {

namespace {

constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// 1 for A or a, 26 for Z or z, 0 for anything else.
constexpr int LetterValue(char c) noexcept {
    if (c >= 'A' && c <= 'Z') return c - 'A' + 1;
    if (c >= 'a' && c <= 'z') return c - 'a' + 1;
    return 0;
}

}  // namespace

std::optional<CellAddress> ParseA1(std::string_view text) noexcept {
    std::size_t at = 0;
    if (at < text.size() && text[at] == '$') ++at;

    // Columns are bijective base 26: A..Z, AA..ZZ, AAA..XFD.
    std::uint32_t column = 0;
    const std::size_t lettersStart = at;
    while (at < text.size() && LetterValue(text[at]) != 0) {
        if (at - lettersStart == 3) return std::nullopt;
        column = column * 26 + static_cast<std::uint32_t>(LetterValue(text[at]));
        ++at;
    }
    if (at == lettersStart || column > kSheetColumns) return std::nullopt;

    if (at < text.size() && text[at] == '$') ++at;

    // At most seven digits, so the value cannot overflow before the limit check.
    const std::size_t digitsStart = at;
    if (at == text.size() || text[at] == '0') return std::nullopt;
    std::uint32_t row = 0;
    while (at < text.size() && IsDigit(text[at])) {
        if (at - digitsStart == 7) return std::nullopt;
        row = row * 10 + static_cast<std::uint32_t>(text[at] - '0');
        ++at;
    }
    if (at == digitsStart || at != text.size() || row > kSheetRows) return std::nullopt;

    return CellAddress{row - 1, static_cast<std::uint16_t>(column - 1)};
}

std::optional<CellRange> ParseA1Range(std::string_view cell1, std::string_view cell2) noexcept {
    const auto a = ParseA1(cell1);
    if (!a) return std::nullopt;
    if (cell2 == cell1) return CellRange{*a, *a};
    const auto b = ParseA1(cell2);
    if (!b) return std::nullopt;
    return CellRange{
        CellAddress{std::min(a->row, b->row), std::min(a->column, b->column)},
        CellAddress{std::max(a->row, b->row), std::max(a->column, b->column)},
    };
}

std::string FormatA1(CellAddress address) {
    char letters[4];  // a 16-bit column needs at most four
    int count = 0;
    for (unsigned column = address.column + 1u; column > 0; column = (column - 1) / 26) {
        letters[count++] = static_cast<char>('A' + (column - 1) % 26);
    }
    std::string out(letters, letters + count);
    std::reverse(out.begin(), out.end());
    out += std::to_string(std::uint64_t{address.row} + 1);
    return out;
}

}  // namespace quillmere::sheet
