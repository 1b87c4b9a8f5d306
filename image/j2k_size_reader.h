#pragma once
// The SIZ segment of a JPEG 2000 codestream, read directly: image area,
// tiling and components. It is read before OpenJPEG sees a file because
// opj_read_header sets up every tile of every component in memory, which a
// header claiming tens of thousands of tiles turns into hundreds of
// megabytes; the tile count known first, such a header is described from
// SIZ alone.

#include <cstdint>
#include <optional>

#include "runtime/byte_stream.h"
#include "image/jpeg2000_family_header.h"
#include "image/openjpeg_reader.h"

namespace quillmere::image {

struct CodestreamSize {
    FamilyImageHeader header;
    std::uint64_t tileCount = 0;
    // Every position and size field is at most INT32_MAX. OpenJPEG 2.5.0
    // divides some of them as signed 32-bit numbers, so a larger field can
    // make it count tens of thousands of tiles where there are two.
    bool fieldsFitInt32 = false;
};

// Reads from the stream position: a raw codestream, or a JP2 file whose
// top-level boxes are walked to the contiguous-codestream box. nullopt when
// there is no well-formed SIZ segment where one must be.
std::optional<CodestreamSize> ReadCodestreamSize(ByteStream& stream, OpenJpegContainer container);

}  // namespace quillmere::image
