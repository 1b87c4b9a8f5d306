#include "sheet/xlsx_sheet_writer.h"

#include <algorithm>
#include <string>

namespace quillmere::sheet {

namespace {

constexpr bool IsHexDigit(char c) noexcept {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// "_xHHHH_" at the start of text.
bool StartsWithCharacterEscape(std::string_view text) noexcept {
    return text.size() >= 7 && text[0] == '_' && (text[1] == 'x' || text[1] == 'X') && IsHexDigit(text[2]) &&
           IsHexDigit(text[3]) && IsHexDigit(text[4]) && IsHexDigit(text[5]) && text[6] == '_';
}

}  // namespace

void AppendXlsxLiteralText(std::string& out, std::string_view text) {
    // Most texts hold neither an underscore nor the lead bytes of U+FFFE/FFFF.
    // (A plain loop: find_first_of searches the set for every byte.)
    if (std::none_of(text.begin(), text.end(), [](char c) { return c == '_' || c == '\xEF'; })) {
        out += text;
        return;
    }
    std::size_t done = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '_') {
            out.append(text, done, at - done);
            if (StartsWithCharacterEscape(text.substr(at))) out += "_x005F";
            out += '_';
            done = at + 1;
        } else if (text.substr(at, 2) == "\xEF\xBF" && at + 2 < text.size() &&
                   (text[at + 2] == '\xBE' || text[at + 2] == '\xBF')) {
            // U+FFFE and U+FFFF may not stand in XML at all; written raw they
            // make the whole workbook unreadable.
            out.append(text, done, at - done);
            out += text[at + 2] == '\xBE' ? "_xFFFE_" : "_xFFFF_";
            at += 2;
            done = at + 1;
        }
    }
    out.append(text, done);
}

bool XlsxSheetWriter::WriteText(std::uint32_t row, std::uint16_t column, std::string_view value, lxw_format* format) {
    if (row < openRow_) return false;
    cellText_.clear();
    AppendXlsxLiteralText(cellText_, value);
    // cellText_ is cut at its first zero byte here, where a text ends anyway.
    const lxw_error error = cellText_.empty() || cellText_[0] == '\0'
                                ? worksheet_write_blank(worksheet_, row, column, format ? format : emptyCellFormat_)
                                : worksheet_write_string(worksheet_, row, column, cellText_.c_str(), format);
    if (error != LXW_NO_ERROR) return false;
    openRow_ = row;
    return true;
}

}  // namespace quillmere::sheet
