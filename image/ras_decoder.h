#pragma once
// Sun raster: a 32-byte big-endian header (magic, width, height, depth,
// length, type, colour-map type, colour-map length).

#include <optional>

#include "runtime/byte_stream.h"
#include "image/jpeg2000_family_header.h"

namespace quillmere::image {

// Reads the header at the stream position; nullopt when it is not one whose
// pixels can be read (standard or old encoding, no colour map or an RGB map
// on a depth of 8 or less, depth 1 to 32). Depths of 24 and 32 are three
// 8-bit components; shallower ones a single component of that depth.
std::optional<FamilyImageHeader> ReadRasHeader(ByteStream& stream);

}  // namespace quillmere::image
