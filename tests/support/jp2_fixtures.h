#pragma once
// JP2 files assembled box by box around a codestream OpenJPEG wrote, with
// the palette and component mapping boxes OpenJPEG's encoder cannot write.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "format_bytes.h"
#include "openjpeg_fixtures.h"

namespace quillmere::image::testing {

inline Bytes Box(std::string_view type, const Bytes& payload) {
    return ByteBuilder().U32Be(static_cast<std::uint32_t>(8 + payload.size())).Text(type).Append(payload);
}

struct PaletteLayout {
    std::uint16_t entries = 256;
    std::vector<std::uint8_t> columnDepths = {8, 8, 8};  // bits of each column
};

struct ChannelEntry {
    std::uint16_t component = 0;
    std::uint8_t type = 1;  // 0 direct, 1 through the palette
    std::uint8_t column = 0;
};

struct Jp2Layout {
    std::vector<J2kComponent> components = {J2kComponent{}};  // the codestream's
    std::uint32_t width = 17;
    std::uint32_t height = 13;
    std::optional<PaletteLayout> palette;
    std::optional<std::vector<ChannelEntry>> channels;
    bool mapBeforePalette = false;
};

inline Bytes PaletteBox(const PaletteLayout& palette) {
    ByteBuilder payload;
    payload.U16Be(palette.entries).U8(static_cast<std::uint32_t>(palette.columnDepths.size()));
    for (const std::uint8_t depth : palette.columnDepths) payload.U8(depth - 1u);
    for (std::uint32_t entry = 0; entry < palette.entries; ++entry) {
        for (const std::uint8_t depth : palette.columnDepths) {
            const std::uint32_t value = (entry * 7 + depth) & ((1u << depth) - 1);
            if (depth > 8) {
                payload.U16Be(value);
            } else {
                payload.U8(value);
            }
        }
    }
    return payload;
}

inline Bytes ComponentMapBox(const std::vector<ChannelEntry>& channels) {
    ByteBuilder payload;
    for (const ChannelEntry& channel : channels) payload.U16Be(channel.component).U8(channel.type).U8(channel.column);
    return payload;
}

// Signature, file type, header (image header, colour, palette, mapping) and
// the codestream OpenJPEG wrote for the components.
inline Bytes WriteJp2(const Jp2Layout& layout) {
    J2kSpec codestreamLayout;
    codestreamLayout.width = layout.width;
    codestreamLayout.height = layout.height;
    codestreamLayout.components = layout.components;
    const Bytes codestream = EncodeJ2k(codestreamLayout);
    if (codestream.empty()) return {};

    const bool sameDepth = std::all_of(layout.components.begin(), layout.components.end(),
                                       [&](const J2kComponent& c) { return c.precision == layout.components[0].precision; });
    const Bytes imageHeader = ByteBuilder()
                                  .U32Be(layout.height)
                                  .U32Be(layout.width)
                                  .U16Be(static_cast<std::uint32_t>(layout.components.size()))
                                  .U8(sameDepth ? layout.components[0].precision - 1 : 255)
                                  .U8(7)   // compression: JPEG 2000
                                  .U8(0)   // colour space known
                                  .U8(0);  // no intellectual property box
    const bool colour = layout.palette ? layout.palette->columnDepths.size() >= 3 : layout.components.size() >= 3;
    const Bytes colourBox = ByteBuilder().U8(1).U8(0).U8(0).U32Be(colour ? 16 : 17);  // enumerated sRGB or grey

    ByteBuilder header;
    header.Append(Box("ihdr", imageHeader)).Append(Box("colr", colourBox));
    const Bytes palette = layout.palette ? Box("pclr", PaletteBox(*layout.palette)) : Bytes{};
    const Bytes channels = layout.channels ? Box("cmap", ComponentMapBox(*layout.channels)) : Bytes{};
    if (layout.mapBeforePalette) {
        header.Append(channels).Append(palette);
    } else {
        header.Append(palette).Append(channels);
    }

    return ByteBuilder()
        .Append(Box("jP  ", ByteBuilder().U32Be(0x0D0A870A)))
        .Append(Box("ftyp", ByteBuilder().Text("jp2 ").U32Be(0).Text("jp2 ")))
        .Append(Box("jp2h", header))
        .Append(Box("jp2c", codestream));
}

// One index component whose samples pick a row of the palette, each column
// feeding one channel.
inline Jp2Layout Paletted(std::vector<std::uint8_t> columnDepths, std::uint32_t indexBits = 8) {
    Jp2Layout layout;
    layout.components = {J2kComponent{indexBits}};
    layout.palette = PaletteLayout{static_cast<std::uint16_t>(std::min<std::uint32_t>(1u << indexBits, 256)),
                               columnDepths};
    std::vector<ChannelEntry> channels;
    for (std::size_t i = 0; i < columnDepths.size(); ++i) {
        channels.push_back(ChannelEntry{0, 1, static_cast<std::uint8_t>(i)});
    }
    layout.channels = channels;
    return layout;
}

}  // namespace quillmere::image::testing
