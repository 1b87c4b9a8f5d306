#pragma once
// Which format a file's first bytes announce, for telling a person why no
// decoder took it: the decoder whose signature matched failed for its own
// reason, and a file that matches none is simply no image this program knows.
// Detection itself never relies on this; each decoder checks its header.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "image/image_format.h"

namespace quillmere::image {

// Bytes a signature may need from the start of a file.
inline constexpr std::size_t kSignatureBytes = 18;

struct SignatureMatch {
    ImageFormat format;  // the decoder's own code
    const char* name;    // the format as a person knows it ("PNG", "JPEG 2000", ...)
};

// The format whose signature the head (the file's first bytes, fewer for a
// short file) carries. Fixed signatures are tried first, then the TGA, PCX
// and WBMP headers, which have none and are recognised by their fields.
std::optional<SignatureMatch> MatchSignature(std::span<const std::uint8_t> head);

}  // namespace quillmere::image
