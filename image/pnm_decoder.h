#pragma once
// Netpbm headers, P1 to P6: magic, width, height and (except for the
// bilevel P1 and P4) the maximum sample value; '#' comments allowed.

#include <optional>

#include "runtime/byte_stream.h"
#include "image/jpeg2000_family_header.h"

namespace quillmere::image {

// Reads the header at the stream position; nullopt when it is not a
// well-formed P1-P6 header. Bilevel files have one 1-bit component, grey
// files one component of as many bits as the maximum value needs, colour
// files three such components.
std::optional<FamilyImageHeader> ReadPnmHeader(ByteStream& stream);

}  // namespace quillmere::image
