#include "runtime/text.h"

#include <algorithm>
#include <climits>

namespace quillmere {

namespace {

int ClampedLength(const Text& text) {
    return static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
}

bool SameByteFolded(unsigned char a, unsigned char b) {
    if (a == b) return true;
    const auto lower = [](unsigned char c) -> unsigned char {
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c;
    };
    const bool bothLetters = ((a | 0x20) >= 'a' && (a | 0x20) <= 'z') && ((b | 0x20) >= 'a' && (b | 0x20) <= 'z');
    return bothLetters && lower(a) == lower(b);
}

}  // namespace

int TextLength(const Text& text) { return ClampedLength(text); }

Text TextLeft(const Text& text, int n) {
    if (n <= 0) return Text();
    return Text(text.bytes().substr(0, std::min<std::size_t>(static_cast<std::size_t>(n), text.size())));
}

Text TextRight(const Text& text, int n) {
    if (n <= 0) return Text();
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(n), text.size());
    return Text(text.bytes().substr(text.size() - count));
}

int ReverseFindText(const Text& text, const Text& search, bool caseInsensitive) {
    const std::string& haystack = text.bytes();
    const std::string& needle = search.bytes();
    const std::size_t length = haystack.size();
    const std::size_t m = needle.size();
    if (m == 0) return length > 0 ? 1 : -1;

    int result = -1;
    std::size_t p = 0;  // 0-based here, reported 1-based
    std::size_t remaining = length;
    while (remaining >= m) {
        bool equal = true;
        for (std::size_t i = 0; i < m && equal; ++i) {
            const auto a = static_cast<unsigned char>(haystack[p + i]);
            const auto b = static_cast<unsigned char>(needle[i]);
            equal = caseInsensitive ? SameByteFolded(a, b) : a == b;
        }
        if (equal) result = static_cast<int>(p + 1);
        if (IsLeadByte(static_cast<unsigned char>(haystack[p]))) {
            // A lone lead byte at the very end ends the scan.
            if (p + 1 >= length) return result;
            p += 2;
            remaining = remaining >= 2 ? remaining - 2 : 0;
        } else {
            p += 1;
            remaining -= 1;
        }
    }
    return result;
}

Text ToUpper(const Text& text) {
    std::string bytes = text.bytes();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 'a' && byte <= 'z') {
            bytes[i] = static_cast<char>(byte - 0x20);
        } else if (IsLeadByte(byte)) {
            ++i;  // the trail byte stays as it is, letters included
        }
    }
    return Text(std::move(bytes));
}

}  // namespace quillmere
