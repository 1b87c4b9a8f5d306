#include "image/jp2_channel_mapping.h"

#include "image/header_fields.h"

namespace quillmere::image {
namespace {

constexpr std::uint32_t kBoxJp2Header = 0x6A703268;      // "jp2h"
constexpr std::uint32_t kBoxJp2Codestream = 0x6A703263;  // "jp2c"
constexpr std::uint32_t kBoxPalette = 0x70636C72;        // "pclr"
constexpr std::uint32_t kBoxComponentMap = 0x636D6170;   // "cmap"
constexpr int kMaxBoxesPerLevel = 256;
constexpr std::uint8_t kMappingDirect = 0;
constexpr std::uint8_t kMappingPalette = 1;

struct Box {
    std::uint32_t type = 0;
    std::int64_t payloadStart = 0;
    std::int64_t end = 0;  // one past the box's last byte
};

// Reads the box header at the stream position; its extent must lie within
// `limit`. A zero length runs to the limit.
std::optional<Box> ReadBoxHeader(ByteStream& stream, std::int64_t limit) {
    const std::int64_t start = stream.Tell();
    HeaderBytes<8> head;  // length, type
    if (start + 8 > limit || !head.ReadFrom(stream)) return std::nullopt;
    std::uint64_t length = head.U32Be(0);
    std::int64_t headerLength = 8;
    if (length == 1) {  // a 64-bit length follows
        HeaderBytes<8> extended;
        if (start + 16 > limit || !extended.ReadFrom(stream)) return std::nullopt;
        length = (static_cast<std::uint64_t>(extended.U32Be(0)) << 32) | extended.U32Be(4);
        headerLength = 16;
    }
    if (length == 0) length = static_cast<std::uint64_t>(limit - start);
    if (length < static_cast<std::uint64_t>(headerLength) || length > static_cast<std::uint64_t>(limit - start)) {
        return std::nullopt;
    }
    return Box{head.U32Be(4), start + headerLength, start + static_cast<std::int64_t>(length)};
}

// Finds the first box of the type among the boxes from the stream position
// to `limit`, stopping at `stopAt` (0: no stop). The stream is left at the
// found box's payload.
std::optional<Box> FindBox(ByteStream& stream, std::int64_t limit, std::uint32_t type, std::uint32_t stopAt) {
    for (int count = 0; count < kMaxBoxesPerLevel; ++count) {
        const std::optional<Box> box = ReadBoxHeader(stream, limit);
        if (!box || (stopAt != 0 && box->type == stopAt)) return std::nullopt;
        if (box->type == type) return box;
        if (box->end >= limit || !stream.Seek(box->end, SeekOrigin::Begin)) return std::nullopt;
    }
    return std::nullopt;
}

// NE (entries), NPC (columns), then one byte per column: sign bit and
// depth − 1. The entries themselves are not needed.
std::optional<std::vector<std::uint32_t>> ReadPaletteDepths(ByteStream& stream, const Box& box) {
    HeaderBytes<3> counts;
    if (box.end - box.payloadStart < 3 || !counts.ReadFrom(stream)) return std::nullopt;
    const std::uint16_t entries = counts.U16Be(0);
    const std::uint8_t columns = counts.U8(2);
    if (entries == 0 || columns == 0 || box.end - box.payloadStart < 3 + columns) return std::nullopt;
    std::vector<std::uint32_t> depths;
    depths.reserve(columns);
    for (std::uint8_t i = 0; i < columns; ++i) {
        HeaderBytes<1> depth;
        if (!depth.ReadFrom(stream)) return std::nullopt;
        depths.push_back((depth.U8(0) & 0x7Fu) + 1);
    }
    return depths;
}

// Four bytes a channel: CMP, MTYP, PCOL.
std::optional<std::vector<Jp2Channel>> ReadChannels(ByteStream& stream, const Box& box) {
    const std::int64_t count = (box.end - box.payloadStart) / 4;
    if (count == 0) return std::nullopt;
    std::vector<Jp2Channel> channels;
    channels.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        HeaderBytes<4> entry;
        if (!entry.ReadFrom(stream)) return std::nullopt;
        const std::uint8_t type = entry.U8(2);
        if (type != kMappingDirect && type != kMappingPalette) return std::nullopt;
        channels.push_back(Jp2Channel{entry.U16Be(0), type == kMappingPalette, entry.U8(3)});
    }
    return channels;
}

}  // namespace

std::optional<Jp2ChannelMapping> ReadJp2ChannelMapping(ByteStream& stream) {
    const std::int64_t size = stream.Size();
    const std::optional<Box> header = FindBox(stream, size, kBoxJp2Header, kBoxJp2Codestream);
    if (!header) return std::nullopt;

    Jp2ChannelMapping mapping;
    if (!stream.Seek(header->payloadStart, SeekOrigin::Begin)) return std::nullopt;
    const std::optional<Box> palette = FindBox(stream, header->end, kBoxPalette, 0);
    if (!palette) return std::nullopt;
    auto depths = ReadPaletteDepths(stream, *palette);
    if (!depths) return std::nullopt;
    mapping.columnDepths = std::move(*depths);

    if (!stream.Seek(header->payloadStart, SeekOrigin::Begin)) return std::nullopt;
    const std::optional<Box> componentMap = FindBox(stream, header->end, kBoxComponentMap, 0);
    if (!componentMap) return std::nullopt;
    auto channels = ReadChannels(stream, *componentMap);
    if (!channels) return std::nullopt;
    mapping.channels = std::move(*channels);
    return mapping;
}

std::optional<FamilyImageHeader> ApplyChannelMapping(const FamilyImageHeader& codestream,
                                                     const Jp2ChannelMapping& mapping) {
    FamilyImageHeader mapped;
    mapped.width = codestream.width;
    mapped.height = codestream.height;
    mapped.components.reserve(mapping.channels.size());
    for (const Jp2Channel& channel : mapping.channels) {
        if (channel.component >= codestream.components.size()) return std::nullopt;
        ComponentGeometry component = codestream.components[channel.component];
        if (channel.throughPalette) {
            if (channel.column >= mapping.columnDepths.size()) return std::nullopt;
            component.precision = mapping.columnDepths[channel.column];
        }
        mapped.components.push_back(component);
    }
    return mapped;
}

}  // namespace quillmere::image
