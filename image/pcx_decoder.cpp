// PCX: the 128-byte ZSoft header. Size from the window corners, depth from
// planes and bits per pixel, resolution stored straight from the DPI words.

#include <cstdint>

#include "image/decoders.h"
#include "image/header_fields.h"

namespace quillmere::image {
namespace {

constexpr std::uint8_t kManufacturerZsoft = 10;
constexpr std::uint8_t kEncodingRle = 1;
constexpr std::uint8_t kMaxPlanes = 4;

bool IsPlaneDepth(std::uint8_t bitsPerPixel) {
    return bitsPerPixel == 1 || bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8;
}

// 24 for three or more planes of 8 bits, 4 for four planes of 1 bit, else
// the bits per pixel of one plane.
std::uint32_t DepthFor(std::uint8_t planes, std::uint8_t bitsPerPixel) {
    if (planes >= 3 && bitsPerPixel == 8) return 24;
    if (planes == 4 && bitsPerPixel == 1) return 4;
    return bitsPerPixel;
}

// Xmax − Xmin + 1 as the header's 16-bit corners give it. A window whose
// corners are reversed comes out negative and is passed on as a huge
// unsigned side, which Create rejects.
std::uint32_t Side(std::uint16_t minimum, std::uint16_t maximum) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(maximum) - static_cast<std::int32_t>(minimum) + 1);
}

}  // namespace

bool DecodePcx(ByteStream& stream, CodecImage& image) {
    HeaderBytes<128> header;
    if (!header.ReadFrom(stream)) {
        image.SetError("Can't read PCX image");
        return false;
    }
    if (header.U8(0) != kManufacturerZsoft) {
        image.SetError("Error: Not a PCX file");
        return false;
    }
    if (header.U8(2) != kEncodingRle) {
        image.SetError("PCX file has unknown encoding scheme");
        return false;
    }
    const std::uint8_t bitsPerPixel = header.U8(3);
    const std::uint8_t planes = header.U8(65);
    if (planes > kMaxPlanes) {
        image.SetError("Can't handle image with more than 4 planes");
        return false;
    }
    if (planes == 0 || !IsPlaneDepth(bitsPerPixel)) {
        image.SetError("corrupted PCX");
        return false;
    }

    const std::uint32_t width = Side(header.U16Le(4), header.U16Le(8));
    const std::uint32_t height = Side(header.U16Le(6), header.U16Le(10));
    if (!image.Create(width, height, DepthFor(planes, bitsPerPixel), ImageFormat::Pcx)) return false;

    image.StoreXDPI(header.U16Le(12));
    image.StoreYDPI(header.U16Le(14));
    return true;
}

}  // namespace quillmere::image
