#include "runtime/file_system.h"

#include <algorithm>

namespace quillmere {

namespace {

constexpr unsigned char UpperAscii(unsigned char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 0x20) : c;
}

}  // namespace

bool NameOrderLess(std::string_view left, std::string_view right) noexcept {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char a = UpperAscii(static_cast<unsigned char>(left[i]));
        const unsigned char b = UpperAscii(static_cast<unsigned char>(right[i]));
        if (a != b) return a < b;
    }
    if (left.size() != right.size()) return left.size() < right.size();
    return left < right;
}

}  // namespace quillmere
