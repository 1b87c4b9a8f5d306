// WMF: without a metafile player the size comes from the placeable (Aldus)
// header, whose bounding box is given in units per inch; it is converted to
// pixels at 96 dpi. A metafile without that header has no size we can know
// short of playing it, so it is refused.

#include <cstdint>
#include <cstdlib>

#include "image/decoders.h"
#include "image/header_fields.h"

namespace quillmere::image {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::uint16_t kMetafileHeaderWords = 9;
constexpr std::uint32_t kScreenDpi = 96;
constexpr std::uint32_t kTrueColour = 24;

// Nearest whole pixel for an extent of `units` at `unitsPerInch`; a
// non-empty extent is at least one pixel.
std::uint32_t PixelsFromUnits(std::uint32_t units, std::uint32_t unitsPerInch) {
    const std::uint64_t pixels = (static_cast<std::uint64_t>(units) * kScreenDpi + unitsPerInch / 2) / unitsPerInch;
    return pixels == 0 ? 1u : static_cast<std::uint32_t>(pixels);
}

}  // namespace

bool DecodeWmf(ByteStream& stream, CodecImage& image) {
    const std::int64_t start = stream.Tell();
    if (stream.Size() <= start) {
        image.SetErrorUtf8("空的WMF");
        return false;
    }
    // Placeable header: key, handle, left, top, right, bottom, units per
    // inch, reserved, checksum. Then the standard header: type (1 memory,
    // 2 disk), header size in words (9), version, ...
    HeaderBytes<22> placeable;
    HeaderBytes<18> standard;
    if (!placeable.ReadFrom(stream) || placeable.U32Le(0) != kPlaceableKey || !standard.ReadFrom(stream) ||
        (standard.U16Le(0) != 1 && standard.U16Le(0) != 2) || standard.U16Le(2) != kMetafileHeaderWords) {
        image.SetErrorUtf8("损坏的WMF");
        return false;
    }
    const std::uint16_t unitsPerInch = placeable.U16Le(14);
    if (unitsPerInch == 0) {
        image.SetErrorUtf8("损坏的WMF");
        return false;
    }
    const auto extentX = static_cast<std::uint32_t>(std::abs(placeable.S16Le(10) - placeable.S16Le(6)));
    const auto extentY = static_cast<std::uint32_t>(std::abs(placeable.S16Le(12) - placeable.S16Le(8)));
    if (extentX == 0 || extentY == 0) {
        image.SetErrorUtf8("空的WMF");
        return false;
    }
    return image.Create(PixelsFromUnits(extentX, unitsPerInch), PixelsFromUnits(extentY, unitsPerInch), kTrueColour,
                        ImageFormat::Wmf);
}

}  // namespace quillmere::image
