#pragma once
// The format codes: each names a decoder, and a file's format hint is one.

#include <cstdint>

namespace quillmere::image {

// Unknown asks for detection across every decoder. Other values (a caller's
// number outside 0 to 15) name no decoder.
enum class ImageFormat : std::int32_t {
    Unknown = 0, Bmp = 1, Gif = 2, Jpg = 3, Png = 4, Ico = 5, Tif = 6, Tga = 7, Pcx = 8,
    Wbmp = 9, Wmf = 10, Jp2 = 11, Jpc = 12, Pgx = 13, Pnm = 14, Ras = 15,
};

}  // namespace quillmere::image
