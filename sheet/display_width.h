#pragma once
// How wide a text shows in a spreadsheet column, in the units of a column
// width: one for most characters, two for the wide ones (CJK ideographs,
// kana, hangul, full-width forms), as a CJK font sets them.

#include <cstddef>
#include <string_view>

namespace quillmere::sheet {

// utf8 need not be valid; each byte that starts no character counts one.
std::size_t DisplayWidth(std::string_view utf8) noexcept;

}  // namespace quillmere::sheet
