#pragma once
// UTF-8 written straight from its definition, independent of the program's
// own conversion, so tests and fuzz checks can compare against it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::testing {

// Appends cp, which must be a Unicode scalar value, as UTF-8.
inline void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

inline std::string Utf8(char32_t cp) {
    std::string out;
    AppendUtf8(out, cp);
    return out;
}

// Strict UTF-8: shortest forms, no surrogates, nothing above U+10FFFF.
// Fills codePoints (when given) and returns true, or returns false.
inline bool DecodeUtf8(std::string_view bytes, std::vector<char32_t>* codePoints) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[at]);
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (b0 < 0x80) {
            length = 1;
            cp = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
            cp = b0 & 0x1F;
            minimum = 0x80;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            cp = b0 & 0x0F;
            minimum = 0x800;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            cp = b0 & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (bytes.size() - at < length) return false;
        for (std::size_t i = 1; i < length; ++i) {
            const auto b = static_cast<unsigned char>(bytes[at + i]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (codePoints != nullptr) codePoints->push_back(cp);
        at += length;
    }
    return true;
}

inline bool IsValidUtf8(std::string_view bytes) { return DecodeUtf8(bytes, nullptr); }

}  // namespace quillmere::testing
