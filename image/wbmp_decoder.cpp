// WBMP (type 0): type, fixed header byte, width, height, then 1-bit rows.
// The type, width and height are WAP multi-byte integers (7 bits per byte,
// high bit set on all but the last), which for sides below 128 is one byte.

#include <cstdint>
#include <limits>
#include <optional>

#include "image/decoders.h"

namespace quillmere::image {
namespace {

constexpr std::uint32_t kFormatWbmp = 9;
constexpr int kMaxIntegerBytes = 5;  // 35 bits of payload, enough for 32
// What a field too large for 32 bits reads as: no field accepts it. (Not 0:
// the type field wants 0, and the start of a JFIF file, FF D8 FF E0 00,
// would then read as type 0.)
constexpr std::uint64_t kTooLarge = std::numeric_limits<std::uint64_t>::max();

// Reads one multi-byte integer; nullopt when the stream ends inside it.
// A value beyond 32 bits, or one still going after five bytes, is kTooLarge.
std::optional<std::uint64_t> ReadMultiByteInteger(ByteStream& stream) {
    std::uint64_t value = 0;
    for (int i = 0; i < kMaxIntegerBytes; ++i) {
        const int byte = stream.GetC();
        if (byte < 0) return std::nullopt;
        value = (value << 7) | static_cast<std::uint64_t>(byte & 0x7F);
        if ((byte & 0x80) == 0) return value > UINT32_MAX ? kTooLarge : value;
    }
    return kTooLarge;
}

bool IsSide(std::uint64_t value) { return value != 0 && value <= UINT32_MAX; }

}  // namespace

bool DecodeWbmp(ByteStream& stream, CodecImage& image) {
    const std::optional<std::uint64_t> type = ReadMultiByteInteger(stream);
    const int fixedHeader = type ? stream.GetC() : -1;
    const std::optional<std::uint64_t> width = fixedHeader >= 0 ? ReadMultiByteInteger(stream) : std::nullopt;
    const std::optional<std::uint64_t> height = width ? ReadMultiByteInteger(stream) : std::nullopt;
    if (!height) {
        image.SetError("Not a WBMP");
        return false;
    }
    if (*type != 0) {
        image.SetError("Unsupported WBMP type");
        return false;
    }
    if (!IsSide(*width) || !IsSide(*height)) {
        image.SetError("Corrupted WBMP");
        return false;
    }
    if (!image.Create(static_cast<std::uint32_t>(*width), static_cast<std::uint32_t>(*height), 1, kFormatWbmp)) {
        image.SetError("WBMP Create failed");
        return false;
    }
    return true;
}

}  // namespace quillmere::image
