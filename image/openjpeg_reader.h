#pragma once
// JP2 files and raw J2K/JPC codestreams through OpenJPEG, header only:
// opj_read_header reads the boxes and the main codestream header and stops
// before the first tile.

#include <optional>
#include <string>

#include "runtime/byte_stream.h"
#include "image/jpeg2000_family_header.h"

namespace quillmere::image {

enum class OpenJpegContainer { Jp2, Codestream };

struct OpenJpegHeaderResult {
    std::optional<FamilyImageHeader> header;
    std::string libraryError;  // OpenJPEG's last error message, if it gave one
};

// Reads from the stream position to its end. OpenJPEG's information and
// warning messages are dropped; its error messages are kept in the result.
OpenJpegHeaderResult ReadOpenJpegHeader(ByteStream& stream, OpenJpegContainer container);

}  // namespace quillmere::image
