#include "runtime/display_width.h"

#include <cstdint>

namespace quillmere {

namespace {

bool IsWide(std::uint32_t c) noexcept {
    return (c >= 0x1100 && c <= 0x115F) ||    // hangul jamo
           (c >= 0x2E80 && c <= 0x303E) ||    // CJK radicals, punctuation
           (c >= 0x3041 && c <= 0x33FF) ||    // kana, CJK symbols
           (c >= 0x3400 && c <= 0x4DBF) ||    // CJK extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||    // CJK unified ideographs
           (c >= 0xA000 && c <= 0xA4CF) ||    // Yi
           (c >= 0xAC00 && c <= 0xD7A3) ||    // hangul syllables
           (c >= 0xF900 && c <= 0xFAFF) ||    // CJK compatibility ideographs
           (c >= 0xFE30 && c <= 0xFE4F) ||    // CJK compatibility forms
           (c >= 0xFF00 && c <= 0xFF60) ||    // full-width forms
           (c >= 0xFFE0 && c <= 0xFFE6) ||
           (c >= 0x20000 && c <= 0x3FFFD);    // CJK extensions B and beyond
}

}  // namespace

std::size_t DisplayWidth(std::string_view utf8) noexcept {
    std::size_t width = 0;
    for (std::size_t at = 0; at < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[at]);
        std::size_t length = 1;
        std::uint32_t c = lead;
        if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            c = lead & 0x07u;
        } else if (lead >= 0xE0) {
            length = 3;
            c = lead & 0x0Fu;
        } else if (lead >= 0xC2 && lead < 0xE0) {
            length = 2;
            c = lead & 0x1Fu;
        } else if (lead >= 0x80) {
            length = 0;  // a stray byte
        }
        bool whole = length > 0 && at + length <= utf8.size();
        for (std::size_t i = 1; whole && i < length; ++i) {
            const auto next = static_cast<unsigned char>(utf8[at + i]);
            whole = (next & 0xC0u) == 0x80u;
            c = (c << 6) | (next & 0x3Fu);
        }
        if (!whole) {
            width += 1;
            at += 1;
            continue;
        }
        width += IsWide(c) ? 2 : 1;
        at += length;
    }
    return width;
}

}  // namespace quillmere
