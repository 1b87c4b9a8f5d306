// WBMP (type 0): type, fixed header byte, width, height, then 1-bit rows.
// The type, width and height are WAP multi-byte integers (7 bits per byte,
// high bit set on all but the last), which for sides below 128 is one byte.

#include <cstdint>
#include <optional>

#include "image/decoders.h"

namespace quillmere::image {
namespace {

constexpr int kMaxIntegerBytes = 5;  // 35 bits of payload, enough for 32

// Reads one multi-byte integer; nullopt when the stream ends inside it, or
// when it runs past five bytes or 32 bits, as no WBMP header does.
std::optional<std::uint32_t> ReadMultiByteInteger(ByteStream& stream) {
    std::uint64_t value = 0;
    for (int i = 0; i < kMaxIntegerBytes; ++i) {
        const int byte = stream.GetC();
        if (byte < 0) return std::nullopt;
        value = (value << 7) | static_cast<std::uint64_t>(byte & 0x7F);
        // Were such a number cut to 0 instead, any file starting with high
        // bytes (a JPEG) would pass as type 0.
        if ((byte & 0x80) == 0) {
            if (value > UINT32_MAX) return std::nullopt;
            return static_cast<std::uint32_t>(value);
        }
    }
    return std::nullopt;
}

}  // namespace

bool DecodeWbmp(ByteStream& stream, CodecImage& image) {
    const std::optional<std::uint32_t> type = ReadMultiByteInteger(stream);
    const int fixedHeader = type ? stream.GetC() : -1;
    const std::optional<std::uint32_t> width = fixedHeader >= 0 ? ReadMultiByteInteger(stream) : std::nullopt;
    const std::optional<std::uint32_t> height = width ? ReadMultiByteInteger(stream) : std::nullopt;
    if (!height) {
        image.SetError("Not a WBMP");
        return false;
    }
    if (*type != 0) {
        image.SetError("Unsupported WBMP type");
        return false;
    }
    if (*width == 0 || *height == 0) {
        image.SetError("Corrupted WBMP");
        return false;
    }
    if (!image.Create(*width, *height, 1, ImageFormat::Wbmp)) {
        image.SetError("WBMP Create failed");
        return false;
    }
    return true;
}

}  // namespace quillmere::image
