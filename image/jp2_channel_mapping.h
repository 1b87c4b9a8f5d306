#pragma once
// The channels of a JP2 file whose codestream holds palette indices: the
// palette box (pclr) gives each palette column's depth, the component
// mapping box (cmap) says which component feeds each channel and whether
// through the palette. A full decode returns those channels, not the
// codestream's components; both boxes sit in the JP2 header box, so the
// channels are known without decoding anything.

#include <cstdint>
#include <optional>
#include <vector>

#include "runtime/byte_stream.h"
#include "image/jpeg2000_family_header.h"

namespace quillmere::image {

struct Jp2Channel {
    std::uint16_t component = 0;  // codestream component that feeds it
    bool throughPalette = false;  // false: the component's samples are used directly
    std::uint8_t column = 0;      // palette column, for a palette channel
};

struct Jp2ChannelMapping {
    std::vector<std::uint32_t> columnDepths;  // bits of each palette column
    std::vector<Jp2Channel> channels;         // in channel order
};

// Walks the top-level boxes from the stream position to the JP2 header box
// and reads its palette and component mapping. nullopt when the file has
// not both (a palette without a mapping is not applied by a decoder) or
// when either box is cut short.
std::optional<Jp2ChannelMapping> ReadJp2ChannelMapping(ByteStream& stream);

// The image a decode that applies the palette returns: one component per
// channel, the size of the component that feeds it, the depth of its
// palette column (or of the component, when used directly). nullopt when
// the mapping names a component or a column that does not exist.
std::optional<FamilyImageHeader> ApplyChannelMapping(const FamilyImageHeader& codestream,
                                                     const Jp2ChannelMapping& mapping);

}  // namespace quillmere::image
