// BMP: a 14-byte "BM" file header followed by a bitmap info header, or a bare
// info header read from the start of the stream. Only the headers are read.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

#include "image/decoders.h"
#include "image/header_fields.h"

namespace quillmere::image {
namespace {

constexpr std::uint32_t kCoreHeaderSize = 12;   // OS/2 1.x: 16-bit width and height
constexpr std::uint32_t kOs2ShortHeaderSize = 16;  // OS/2 2.x short form: ends after the bit count
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kOs2InfoHeaderSize = 64;

constexpr std::uint32_t kCompressionRgb = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr std::uint32_t kCompressionRle4 = 2;
constexpr std::uint32_t kCompressionBitfields = 3;

struct BmpInfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows stored top-down
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = kCompressionRgb;
    std::uint32_t imageSize = 0;
    std::int32_t xPixelsPerMetre = 0;
    std::int32_t yPixelsPerMetre = 0;
    std::uint32_t colorsUsed = 0;
};

bool HasFileHeaderMagic(const HeaderBytes<14>& fileHeader) {
    return fileHeader.U8(0) == 'B' && fileHeader.U8(1) == 'M';
}

// True when imageSize is exactly the padded row size times the row count,
// the check that lets a bare header of an unusual size be trusted.
bool ImageSizeMatchesRows(const BmpInfoHeader& info) {
    if (info.width < 0) return false;
    const std::uint64_t rowBits = static_cast<std::uint64_t>(info.bitCount) * static_cast<std::uint64_t>(info.width);
    const std::uint64_t stride = (rowBits + 31) / 32 * 4;
    const std::uint64_t rows = static_cast<std::uint64_t>(std::llabs(static_cast<long long>(info.height)));
    if (rows != 0 && stride > std::numeric_limits<std::uint32_t>::max() / rows) return false;
    return stride * rows == info.imageSize;
}

// Reads the info header at the stream position. A header following "BM" may
// be any of the Windows versions (40 bytes or longer); a bare one of another
// size than 12, 40 or 64 must also prove itself by its other fields.
std::optional<BmpInfoHeader> ReadInfoHeader(ByteStream& stream, bool afterFileHeader) {
    HeaderBytes<4> sizeField;
    if (!sizeField.ReadFrom(stream)) return std::nullopt;
    BmpInfoHeader info;
    info.size = sizeField.U32Le(0);

    if (info.size == kCoreHeaderSize) {
        HeaderBytes<kCoreHeaderSize - 4> core;
        if (!core.ReadFrom(stream)) return std::nullopt;
        info.width = core.U16Le(0);
        info.height = core.U16Le(2);
        info.planes = core.U16Le(4);
        info.bitCount = core.U16Le(6);
        return info;
    }
    // The OS/2 2.x short form holds the Windows header's first fields (32-bit
    // width and height, planes, bit count) and ends there: no compression, no
    // resolution, so both read as 0. Only after "BM": bare, a size of 16 is
    // too weak a sign of a bitmap.
    const bool shortOs2 = afterFileHeader && info.size == kOs2ShortHeaderSize;
    if (info.size < kInfoHeaderSize && !shortOs2) return std::nullopt;

    HeaderBytes<kInfoHeaderSize - 4> rest;
    if (!rest.ReadPrefixFrom(stream, std::min(info.size, kInfoHeaderSize) - 4)) return std::nullopt;
    info.width = rest.S32Le(0);
    info.height = rest.S32Le(4);
    info.planes = rest.U16Le(8);
    info.bitCount = rest.U16Le(10);
    info.compression = rest.U32Le(12);
    info.imageSize = rest.U32Le(16);
    info.xPixelsPerMetre = rest.S32Le(20);
    info.yPixelsPerMetre = rest.S32Le(24);
    info.colorsUsed = rest.U32Le(28);

    if (afterFileHeader || info.size == kInfoHeaderSize || info.size == kOs2InfoHeaderSize) return info;
    const bool plausible = ImageSizeMatchesRows(info) && info.planes == 1 &&
                           info.compression == kCompressionRgb && info.colorsUsed == 0;
    if (!plausible) return std::nullopt;
    return info;
}

// floor(ppm × 0.0254 + 0.5): 0 pixels per metre stays 0.
std::int32_t DpiFromPixelsPerMetre(std::int32_t pixelsPerMetre) {
    const double dpi = std::floor(static_cast<double>(pixelsPerMetre) * 0.025400000000000002 + 0.5);
    return static_cast<std::int32_t>(static_cast<std::int64_t>(dpi));
}

// The text a full decode would fail with for this bit count and compression,
// or nullptr when the combination is one the pixel reader handles.
const char* UnsupportedCompression(const BmpInfoHeader& info) {
    switch (info.bitCount) {
        case 1:
            return info.compression == kCompressionRgb ? nullptr : "compression type not supported";
        case 4:
            return info.compression == kCompressionRgb || info.compression == kCompressionRle4
                       ? nullptr
                       : "compression type not supported";
        case 8:
            return info.compression == kCompressionRgb || info.compression == kCompressionRle8
                       ? nullptr
                       : "compression type not supported";
        case 16:
        case 32:
            return info.compression == kCompressionRgb || info.compression == kCompressionBitfields
                       ? nullptr
                       : "unknown compression";
        case 24:
            return info.compression == kCompressionRgb ? nullptr : "unknown compression";
        default:
            // 0 (embedded JPEG or PNG) and odd depths have no pixel reader.
            return "compression type not supported";
    }
}

}  // namespace

bool DecodeBmp(ByteStream& stream, CodecImage& image) {
    const std::int64_t start = stream.Tell();
    HeaderBytes<14> fileHeader;
    if (!fileHeader.ReadFrom(stream)) {
        image.SetError("Not a BMP");
        return false;
    }
    const bool afterFileHeader = HasFileHeaderMagic(fileHeader);
    if (!afterFileHeader && !stream.Seek(start, SeekOrigin::Begin)) {
        image.SetError("Not a BMP");
        return false;
    }

    const std::optional<BmpInfoHeader> info = ReadInfoHeader(stream, afterFileHeader);
    // A negative width, or a height whose magnitude does not fit, is corruption.
    if (!info || info->width < 0 || info->height == std::numeric_limits<std::int32_t>::min()) {
        image.SetError("Error reading BMP info");
        return false;
    }
    const std::int32_t height = info->height < 0 ? -info->height : info->height;

    if (!image.Create(static_cast<std::uint32_t>(info->width), static_cast<std::uint32_t>(height),
                      info->bitCount, ImageFormat::Bmp)) {
        return false;  // Create's own text stands
    }

    image.header.xPixelsPerMetre = info->xPixelsPerMetre;
    image.header.yPixelsPerMetre = info->yPixelsPerMetre;
    image.StoreXDPI(DpiFromPixelsPerMetre(info->xPixelsPerMetre));
    image.StoreYDPI(DpiFromPixelsPerMetre(info->yPixelsPerMetre));

    if (const char* text = UnsupportedCompression(*info)) {
        image.SetError(text);
        return false;
    }
    return true;
}

}  // namespace quillmere::image
