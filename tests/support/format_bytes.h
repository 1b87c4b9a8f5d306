#pragma once
// Byte-level builders for the header-only decoder tests: each test lays out
// exactly the header fields it means, in the byte order the format uses.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/byte_stream.h"
#include "image/codec_image.h"
#include "runtime/text_encoding.h"

namespace quillmere::image::testing {

using Bytes = std::vector<std::uint8_t>;

class ByteBuilder {
public:
    ByteBuilder& U8(std::uint32_t value) {
        bytes_.push_back(static_cast<std::uint8_t>(value));
        return *this;
    }
    ByteBuilder& U16Le(std::uint32_t value) { return U8(value).U8(value >> 8); }
    ByteBuilder& U32Le(std::uint32_t value) { return U16Le(value).U16Le(value >> 16); }
    ByteBuilder& S32Le(std::int32_t value) { return U32Le(static_cast<std::uint32_t>(value)); }
    ByteBuilder& U16Be(std::uint32_t value) { return U8(value >> 8).U8(value); }
    ByteBuilder& U32Be(std::uint32_t value) { return U16Be(value >> 16).U16Be(value); }
    ByteBuilder& Text(std::string_view text) {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return *this;
    }
    ByteBuilder& Append(const Bytes& more) {
        bytes_.insert(bytes_.end(), more.begin(), more.end());
        return *this;
    }
    ByteBuilder& Zeros(std::size_t count) { return Fill(count, 0); }
    ByteBuilder& Fill(std::size_t count, std::uint8_t value) {
        bytes_.insert(bytes_.end(), count, value);
        return *this;
    }

    std::size_t size() const { return bytes_.size(); }
    const Bytes& bytes() const { return bytes_; }
    operator Bytes() const { return bytes_; }  // NOLINT: builders read best without .bytes()

private:
    Bytes bytes_;
};

// The first `count` bytes: a file cut short.
inline Bytes Truncated(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(count, bytes.size())));
}

// The last error text as the decoders store it (GB18030) for a UTF-8 literal.
inline std::string Gb(std::string_view utf8) { return TextFromUtf8(utf8).bytes(); }

// Runs a decoder over the bytes on a fresh codec image of the given format.
template <typename Decoder>
bool DecodeBytes(const Decoder& decode, const Bytes& bytes, CodecImage& image) {
    MemoryStream stream{std::span<const unsigned char>(bytes.data(), bytes.size())};
    return decode(stream, image);
}

// One input a decoder must refuse, with the error text it must leave (GB18030).
struct RejectedCase {
    std::string name;
    Bytes file;
    std::string error;
    friend void PrintTo(const RejectedCase& c, std::ostream* os) { *os << c.name; }
};

}  // namespace quillmere::image::testing
