#pragma once
// Text: the byte string every path, name and message travels as.
//
// The bytes are GB18030 (a superset of GBK). Lengths and positions count
// bytes, positions are 1-based, and a byte from 0x80 to 0xFF is the lead
// byte of a two-byte character whose trail byte follows, whatever its value.
// Conversion to and from UTF-8 happens only at the edges (text_encoding.h).

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillmere {

class Text {
public:
    Text() = default;
    // Takes bytes that are already GB18030; an ASCII literal qualifies.
    explicit Text(std::string bytes) : bytes_(std::move(bytes)) {}
    explicit Text(std::string_view bytes) : bytes_(bytes) {}
    explicit Text(const char* bytes) : bytes_(bytes) {}

    const std::string& bytes() const noexcept { return bytes_; }
    bool empty() const noexcept { return bytes_.empty(); }
    std::size_t size() const noexcept { return bytes_.size(); }

    Text& operator+=(const Text& other) { bytes_ += other.bytes_; return *this; }
    friend Text operator+(Text left, const Text& right) { left += right; return left; }
    friend bool operator==(const Text&, const Text&) = default;
    friend auto operator<=>(const Text&, const Text&) = default;

private:
    std::string bytes_;
};

// Number of bytes.
int TextLength(const Text& text);
// The first / last min(n, length) bytes; empty when n <= 0. No character boundaries are respected.
Text TextLeft(const Text& text, int n);
Text TextRight(const Text& text, int n);
// 1-based byte position of the last occurrence of search that starts at a
// character boundary, or -1. An empty search gives 1 in a non-empty text.
int ReverseFindText(const Text& text, const Text& search, bool caseInsensitive = false);
// a-z to A-Z outside two-byte characters.
Text ToUpper(const Text& text);

// True when the byte is the lead byte of a two-byte character.
constexpr bool IsLeadByte(unsigned char byte) noexcept { return byte >= 0x80; }

}  // namespace quillmere
