#pragma once
// How wide a text shows, in terminal columns or in the units of a
// spreadsheet column's width: one for most characters, two for the wide
// ones (CJK ideographs, kana, hangul, full-width forms), as terminals and
// CJK fonts set them.

#include <cstddef>
#include <string_view>

namespace quillmere {

// utf8 need not be valid; each byte that starts no character counts one.
std::size_t DisplayWidth(std::string_view utf8) noexcept;

}  // namespace quillmere
