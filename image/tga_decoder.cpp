// TGA: the 18-byte header is all there is to recognise the format by, so it
// is checked field by field, and the image ID and colour map it announces
// must actually be present in the stream.

#include <cstdint>

#include "image/decoders.h"
#include "image/header_fields.h"

namespace quillmere::image {
namespace {

constexpr std::int64_t kHeaderSize = 18;
constexpr std::uint16_t kMaxColourMapEntries = 256;

// Colour-mapped, true-colour and grey, each raw (1, 2, 3) or run-length encoded (9, 10, 11).
bool IsKnownImageType(std::uint8_t type) {
    return type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
}

bool IsColourMapped(std::uint8_t type) { return type == 1 || type == 9; }

// Colour-map type 0 (none) or 1 (present), and present whenever the pixels
// are indices into it. TGA has no signature and is tried before PCX, so this
// is what keeps other headers (a PCX's, whose second byte is its version)
// from passing as a TGA's.
bool IsColourMapTypeFor(std::uint8_t colourMapType, std::uint8_t imageType) {
    if (colourMapType > 1) return false;
    return colourMapType == 1 || !IsColourMapped(imageType);
}

bool IsPixelDepth(std::uint8_t depth) {
    return depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
}

}  // namespace

bool DecodeTga(ByteStream& stream, CodecImage& image) {
    const std::int64_t start = stream.Tell();
    HeaderBytes<kHeaderSize> header;
    if (!header.ReadFrom(stream)) {
        image.SetError("Not a TGA");
        return false;
    }
    const std::uint8_t idLength = header.U8(0);
    const std::uint8_t colourMapType = header.U8(1);
    const std::uint8_t imageType = header.U8(2);
    const std::uint16_t colourMapLength = header.U16Le(5);
    const std::uint8_t colourMapEntryBits = header.U8(7);
    const std::uint16_t width = header.U16Le(12);
    const std::uint16_t height = header.U16Le(14);
    const std::uint8_t pixelDepth = header.U8(16);

    if (!IsKnownImageType(imageType)) {
        image.SetError("Unknown TGA image type");
        return false;
    }
    if (!IsColourMapTypeFor(colourMapType, imageType) || width == 0 || height == 0 || pixelDepth == 0 ||
        colourMapLength > kMaxColourMapEntries || !IsPixelDepth(pixelDepth)) {
        image.SetError("bad TGA header");
        return false;
    }
    // The ID field and colour map sit between the header and the pixels.
    const std::int64_t colourMapBytes =
        colourMapType == 1 ? static_cast<std::int64_t>(colourMapLength) * ((colourMapEntryBits + 7) / 8) : 0;
    if (stream.Size() - start < kHeaderSize + idLength + colourMapBytes) {
        image.SetError("corrupted TGA");
        return false;
    }

    if (!image.Create(width, height, pixelDepth, ImageFormat::Tga)) {
        image.SetError("TGA Create failed");
        return false;
    }
    return true;
}

}  // namespace quillmere::image
