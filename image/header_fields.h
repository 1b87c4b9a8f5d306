#pragma once
// Fixed-size on-disk headers: read the bytes in one checked call, then pick
// fields out by offset with an explicit byte order. A short read is reported
// to the caller, never papered over, so every decoder fails on truncation.

#include <array>
#include <cstddef>
#include <cstdint>

#include "runtime/byte_stream.h"

namespace quillmere::image {

template <std::size_t N>
class HeaderBytes {
public:
    // Reads exactly N bytes from the stream's position; false if it ends first.
    bool ReadFrom(ByteStream& stream) { return stream.Read(bytes_.data(), 1, N) == N; }
    // Reads the first count bytes (at most N), for a header whose recorded
    // size ends it early; the fields past them read as 0.
    bool ReadPrefixFrom(ByteStream& stream, std::size_t count) {
        if (count > N) return false;
        bytes_.fill(0);
        return stream.Read(bytes_.data(), 1, count) == count;
    }

    std::uint8_t U8(std::size_t at) const { return bytes_.at(at); }
    std::uint16_t U16Le(std::size_t at) const {
        return static_cast<std::uint16_t>(U8(at) | (U8(at + 1) << 8));
    }
    std::int16_t S16Le(std::size_t at) const { return static_cast<std::int16_t>(U16Le(at)); }
    std::uint32_t U32Le(std::size_t at) const {
        return static_cast<std::uint32_t>(U16Le(at)) | (static_cast<std::uint32_t>(U16Le(at + 2)) << 16);
    }
    std::int32_t S32Le(std::size_t at) const { return static_cast<std::int32_t>(U32Le(at)); }
    std::uint16_t U16Be(std::size_t at) const {
        return static_cast<std::uint16_t>((U8(at) << 8) | U8(at + 1));
    }
    std::uint32_t U32Be(std::size_t at) const {
        return (static_cast<std::uint32_t>(U16Be(at)) << 16) | U16Be(at + 2);
    }

    const std::array<std::uint8_t, N>& bytes() const noexcept { return bytes_; }

private:
    std::array<std::uint8_t, N> bytes_{};
};

}  // namespace quillmere::image
