// ICO and CUR: an icon directory of 16-byte entries, each pointing at a
// bitmap (info header, XOR mask, AND mask) or at an embedded PNG. The entry
// chosen by the frame index is probed; the frame count is the entry count.

#include <cstdint>
#include <optional>

#include "image/decoders.h"
#include "image/header_fields.h"

namespace quillmere::image {
namespace {

constexpr std::uint16_t kTypeIcon = 1;
constexpr std::uint16_t kTypeCursor = 2;
constexpr std::int64_t kDirectoryHeaderSize = 6;
constexpr std::int64_t kEntrySize = 16;
constexpr std::uint32_t kInfoHeaderSize = 40;

// The entry's width or height byte; 0 stands for 256 pixels.
std::uint32_t SideFromEntryByte(std::uint8_t value) { return value == 0 ? 256u : value; }

bool IsBitmapDepth(std::uint32_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

bool StartsWithPngSignature(const HeaderBytes<8>& bytes) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    for (std::size_t i = 0; i < 8; ++i) {
        if (bytes.U8(i) != kSignature[i]) return false;
    }
    return true;
}

// Pixel depth of an embedded PNG, mapped as the PNG decoder maps it:
// up to 8 bits unchanged (2 becomes 4), 16 becomes 8, more becomes 24.
std::optional<std::uint32_t> EmbeddedPngDepth(ByteStream& stream) {
    HeaderBytes<18> ihdr;  // length, "IHDR", width, height, bit depth, colour type
    if (!ihdr.ReadFrom(stream)) return std::nullopt;
    if (ihdr.U8(4) != 'I' || ihdr.U8(5) != 'H' || ihdr.U8(6) != 'D' || ihdr.U8(7) != 'R') return std::nullopt;
    const std::uint32_t bitDepth = ihdr.U8(16);
    std::uint32_t channels = 0;
    switch (ihdr.U8(17)) {
        case 0: channels = 1; break;  // grey
        case 2: channels = 3; break;  // RGB
        case 3: channels = 1; break;  // palette
        case 4: channels = 2; break;  // grey + alpha
        case 6: channels = 4; break;  // RGBA
        default: return std::nullopt;
    }
    if (bitDepth != 1 && bitDepth != 2 && bitDepth != 4 && bitDepth != 8 && bitDepth != 16) return std::nullopt;
    const std::uint32_t pixelDepth = bitDepth * channels;
    if (pixelDepth <= 8) return pixelDepth == 2 ? 4u : pixelDepth;
    if (pixelDepth == 16) return 8u;
    return 24u;
}

// Depth of the entry's image at the stream position: the bit count of its
// bitmap info header, or the mapped depth of an embedded PNG.
std::optional<std::uint32_t> EntryImageDepth(ByteStream& stream) {
    HeaderBytes<8> lead;
    if (!lead.ReadFrom(stream)) return std::nullopt;
    if (StartsWithPngSignature(lead)) return EmbeddedPngDepth(stream);
    if (lead.U32Le(0) != kInfoHeaderSize) return std::nullopt;
    HeaderBytes<8> planesAndBits;  // height, planes, bit count
    if (!planesAndBits.ReadFrom(stream)) return std::nullopt;
    const std::uint32_t bitCount = planesAndBits.U16Le(6);
    if (!IsBitmapDepth(bitCount)) return std::nullopt;
    return bitCount;
}

}  // namespace

bool DecodeIco(ByteStream& stream, CodecImage& image) {
    const std::int64_t start = stream.Tell();
    HeaderBytes<kDirectoryHeaderSize> directory;
    if (!directory.ReadFrom(stream)) {
        image.SetError("Not an ICO");
        return false;
    }
    const std::uint16_t type = directory.U16Le(2);
    if (directory.U16Le(0) != 0 || (type != kTypeIcon && type != kTypeCursor)) {
        image.SetError("Not an ICO");
        return false;
    }
    // The first entry is the one probed.
    if (directory.U16Le(4) == 0) {
        image.SetError("Icon entry not present");
        return false;
    }
    HeaderBytes<kEntrySize> entry;
    if (!stream.Seek(start + kDirectoryHeaderSize, SeekOrigin::Begin) || !entry.ReadFrom(stream)) {
        image.SetError("corrupted ICO");
        return false;
    }
    const std::uint32_t imageOffset = entry.U32Le(12);
    std::optional<std::uint32_t> depth;
    if (stream.Seek(start + imageOffset, SeekOrigin::Begin)) depth = EntryImageDepth(stream);
    if (!depth) {
        image.SetError("corrupted ICO");
        return false;
    }
    return image.Create(SideFromEntryByte(entry.U8(0)), SideFromEntryByte(entry.U8(1)), *depth, ImageFormat::Ico);
}

}  // namespace quillmere::image
