#pragma once
// PGX, the single-component test format of JPEG 2000: a text line
// "PG <ML|LM> [+|-]<precision> <width> <height>" before raw samples.

#include <optional>

#include "runtime/byte_stream.h"
#include "image/jpeg2000_family_header.h"

namespace quillmere::image {

// Reads the header line at the stream position; nullopt when malformed.
std::optional<FamilyImageHeader> ReadPgxHeader(ByteStream& stream);

}  // namespace quillmere::image
