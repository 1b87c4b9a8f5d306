// GIF: the logical screen descriptor gives the size; the block structure is
// walked (sub-blocks skipped, never decompressed) to the first frame, whose
// colour table sets the depth.

#include <cstdint>
#include <optional>

#include "image/decoders.h"
#include "image/header_fields.h"

namespace quillmere::image {
namespace {

constexpr int kExtensionIntroducer = 0x21;
constexpr int kImageSeparator = 0x2C;
constexpr std::uint8_t kColourTableFlag = 0x80;

// Bytes of a colour table whose size field (low three bits of the packed
// flags) is n: 3 × 2^(n+1).
std::int64_t ColourTableBytes(std::uint8_t packedFlags) { return 3LL << ((packedFlags & 7) + 1); }
std::uint32_t ColourTableEntries(std::uint8_t packedFlags) { return 1u << ((packedFlags & 7) + 1); }

// 1 for up to 2 entries, 4 for up to 16, else 8.
std::uint32_t DepthForColourTable(std::uint32_t entries) {
    if (entries <= 2) return 1;
    if (entries <= 16) return 4;
    return 8;
}

// Moves past a chain of data sub-blocks (length byte, data) and its
// terminator. False when the stream ends inside the chain.
bool SkipSubBlocks(ByteStream& stream) {
    for (;;) {
        const int length = stream.GetC();
        if (length < 0) return false;
        if (length == 0) return true;
        if (!stream.Seek(length, SeekOrigin::Current) || stream.Tell() > stream.Size()) return false;
    }
}

// Steps over extensions to the first image descriptor and returns its
// packed flags; nullopt at the trailer, at the end of the data, or where the
// structure stops making sense (a stray byte) before an intact descriptor.
constexpr int kMaxPaddingRun = 256;

std::optional<std::uint8_t> FirstFrameFlags(ByteStream& stream) {
    int paddingRun = 0;
    for (;;) {
        const int introducer = stream.GetC();
        // Some writers leave a few zero bytes between blocks; a long run is a
        // hole in a half-written file, and walking it would read the hole.
        if (introducer == 0) {
            if (++paddingRun > kMaxPaddingRun) return std::nullopt;
            continue;
        }
        paddingRun = 0;
        if (introducer == kExtensionIntroducer) {
            if (stream.GetC() < 0 || !SkipSubBlocks(stream)) return std::nullopt;
            continue;
        }
        if (introducer != kImageSeparator) return std::nullopt;  // the trailer (0x3B), end of data or garbage

        HeaderBytes<9> descriptor;  // left, top, width, height, packed flags
        if (!descriptor.ReadFrom(stream)) return std::nullopt;
        return descriptor.U8(8);
    }
}

}  // namespace

bool DecodeGif(ByteStream& stream, CodecImage& image) {
    HeaderBytes<13> header;  // signature, version, screen width and height, flags, background, aspect
    if (!header.ReadFrom(stream) || header.U8(0) != 'G' || header.U8(1) != 'I' || header.U8(2) != 'F' ||
        header.U8(3) != '8') {
        image.SetError("Not a GIF");
        return false;
    }
    const std::uint8_t screenFlags = header.U8(10);
    if ((screenFlags & kColourTableFlag) != 0 &&
        !stream.Seek(ColourTableBytes(screenFlags), SeekOrigin::Current)) {
        image.SetError("Not a GIF");
        return false;
    }

    // The first frame is the one probed.
    const std::optional<std::uint8_t> frameFlags = FirstFrameFlags(stream);
    if (!frameFlags) {
        image.SetError("GIF frame not present");
        return false;
    }
    // The frame's own table when it has one, else the global table.
    const std::uint8_t tableFlags = (*frameFlags & kColourTableFlag) != 0 ? *frameFlags : screenFlags;
    return image.Create(header.U16Le(6), header.U16Le(8), DepthForColourTable(ColourTableEntries(tableFlags)),
                        ImageFormat::Gif);
}

}  // namespace quillmere::image
