#include "image/header_text_scanner.h"

#include <limits>

namespace quillmere::image {
namespace {

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

}  // namespace

int HeaderTextScanner::Peek() {
    if (peeked_ == kNothingPeeked) peeked_ = stream_.GetC();
    return peeked_;
}

int HeaderTextScanner::Next() {
    const int c = Peek();
    peeked_ = kNothingPeeked;
    return c;
}

bool HeaderTextScanner::SkipSpace() {
    bool skipped = false;
    for (;;) {
        const int c = Peek();
        if (IsSpace(c)) {
            Next();
        } else if (c == '#' && comments_ == Comments::Hash) {
            while (Next() != '\n' && Peek() >= 0) {
            }
        } else {
            return skipped;
        }
        skipped = true;
    }
}

std::optional<std::uint32_t> HeaderTextScanner::ReadUnsigned() {
    SkipSpace();
    if (!IsDigit(Peek())) return std::nullopt;
    std::uint32_t value = 0;
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    while (IsDigit(Peek())) {
        const auto digit = static_cast<std::uint32_t>(Next() - '0');
        if (value > (kMax - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace quillmere::image
