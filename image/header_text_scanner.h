#pragma once
// Reads the decimal numbers of a text header (PNM, PGX) one byte at a time,
// with whitespace and optional '#' comments between them. Numbers stop on
// overflow instead of wrapping.

#include <cstdint>
#include <optional>

#include "runtime/byte_stream.h"

namespace quillmere::image {

class HeaderTextScanner {
public:
    enum class Comments { None, Hash };

    HeaderTextScanner(ByteStream& stream, Comments comments) : stream_(stream), comments_(comments) {}

    // The next byte, or -1 at the end.
    int Next();
    // The byte Next would return, left unread.
    int Peek();
    // Skips whitespace (and comments, when enabled); true when at least one
    // byte was skipped.
    bool SkipSpace();
    // Skips space, then reads digits up to the first non-digit (which is
    // left unread). nullopt without a digit or when the value passes 32 bits.
    std::optional<std::uint32_t> ReadUnsigned();

private:
    ByteStream& stream_;
    Comments comments_;
    int peeked_ = kNothingPeeked;
    static constexpr int kNothingPeeked = -2;
};

}  // namespace quillmere::image
