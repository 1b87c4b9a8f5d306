#include "image/j2k_size_reader.h"

#include <vector>

#include "image/header_fields.h"

namespace quillmere::image {
namespace {

constexpr std::uint32_t kBoxJp2Codestream = 0x6A703263;  // "jp2c"
constexpr int kMaxBoxesBeforeCodestream = 256;
constexpr std::uint16_t kMarkerSoc = 0xFF4F;
constexpr std::uint16_t kMarkerSiz = 0xFF51;
constexpr std::uint16_t kMaxComponents = 16384;
constexpr std::uint64_t kMaxTiles = 65535;  // tile indices are 16-bit, 65535 reserved

// Moves the stream to the payload of the first top-level "jp2c" box.
bool SeekToJp2Codestream(ByteStream& stream) {
    for (int box = 0; box < kMaxBoxesBeforeCodestream; ++box) {
        const std::int64_t boxStart = stream.Tell();
        HeaderBytes<8> head;  // length, type
        if (!head.ReadFrom(stream)) return false;
        std::uint64_t length = head.U32Be(0);
        std::int64_t headerLength = 8;
        if (length == 1) {  // 64-bit length follows
            HeaderBytes<8> extended;
            if (!extended.ReadFrom(stream)) return false;
            length = (static_cast<std::uint64_t>(extended.U32Be(0)) << 32) | extended.U32Be(4);
            headerLength = 16;
        }
        if (head.U32Be(4) == kBoxJp2Codestream) return true;
        // A zero length runs to the end of the file: nothing after it.
        if (length == 0 || length < static_cast<std::uint64_t>(headerLength)) return false;
        if (length > static_cast<std::uint64_t>(stream.Size() - boxStart)) return false;
        if (!stream.Seek(boxStart + static_cast<std::int64_t>(length), SeekOrigin::Begin)) return false;
    }
    return false;
}

std::uint32_t CeilDiv(std::uint32_t value, std::uint32_t divisor) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(value) + divisor - 1) / divisor);
}

std::uint64_t CeilDiv64(std::uint64_t value, std::uint64_t divisor) { return (value + divisor - 1) / divisor; }

}  // namespace

std::optional<CodestreamSize> ReadCodestreamSize(ByteStream& stream, OpenJpegContainer container) {
    if (container == OpenJpegContainer::Jp2 && !SeekToJp2Codestream(stream)) return std::nullopt;

    // SOC, SIZ marker, Lsiz, Rsiz, Xsiz, Ysiz, XOsiz, YOsiz, XTsiz, YTsiz, XTOsiz, YTOsiz, Csiz.
    HeaderBytes<42> siz;
    if (!siz.ReadFrom(stream) || siz.U16Be(0) != kMarkerSoc || siz.U16Be(2) != kMarkerSiz) return std::nullopt;
    const std::uint32_t x1 = siz.U32Be(8);
    const std::uint32_t y1 = siz.U32Be(12);
    const std::uint32_t x0 = siz.U32Be(16);
    const std::uint32_t y0 = siz.U32Be(20);
    const std::uint32_t tileWidth = siz.U32Be(24);
    const std::uint32_t tileHeight = siz.U32Be(28);
    const std::uint32_t tileX0 = siz.U32Be(32);
    const std::uint32_t tileY0 = siz.U32Be(36);
    const std::uint16_t componentCount = siz.U16Be(40);

    if (componentCount == 0 || componentCount > kMaxComponents) return std::nullopt;
    if (siz.U16Be(4) != 38 + 3u * componentCount) return std::nullopt;
    if (x0 >= x1 || y0 >= y1 || tileWidth == 0 || tileHeight == 0) return std::nullopt;
    // The first tile must start at or before the image and reach into it.
    if (tileX0 > x0 || tileY0 > y0) return std::nullopt;
    if (static_cast<std::uint64_t>(tileX0) + tileWidth <= x0 || static_cast<std::uint64_t>(tileY0) + tileHeight <= y0) {
        return std::nullopt;
    }

    CodestreamSize size;
    constexpr std::uint32_t kInt32Max = 0x7FFFFFFF;
    size.fieldsFitInt32 = x1 <= kInt32Max && y1 <= kInt32Max && tileWidth <= kInt32Max && tileHeight <= kInt32Max;
    size.header.width = x1 - x0;
    size.header.height = y1 - y0;
    size.tileCount = CeilDiv64(x1 - tileX0, tileWidth) * CeilDiv64(y1 - tileY0, tileHeight);
    if (size.tileCount > kMaxTiles) return std::nullopt;
    size.header.components.reserve(componentCount);
    for (std::uint16_t i = 0; i < componentCount; ++i) {
        HeaderBytes<3> component;  // Ssiz (sign bit and precision − 1), XRsiz, YRsiz
        if (!component.ReadFrom(stream)) return std::nullopt;
        const std::uint32_t precision = (component.U8(0) & 0x7Fu) + 1;
        const std::uint8_t dx = component.U8(1);
        const std::uint8_t dy = component.U8(2);
        if (precision > 38 || dx == 0 || dy == 0) return std::nullopt;
        size.header.components.push_back(ComponentGeometry{
            CeilDiv(x1, dx) - CeilDiv(x0, dx),
            CeilDiv(y1, dy) - CeilDiv(y0, dy),
            precision,
        });
    }
    return size;
}

}  // namespace quillmere::image
