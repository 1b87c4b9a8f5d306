#pragma once
// The result of one decode, as a value.

#include <cstdint>
#include <string>

#include "image/image_format.h"

namespace quillmere::image {

struct ImageProbe {
    bool pathAccepted = false;  // false: path shorter than 4 bytes, nothing happened
    bool decoded = false;       // a decoder accepted the file
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t xDpi = 96;
    std::int32_t yDpi = 96;
    std::uint32_t colorCount = 0;
    std::uint8_t jpegQuality = 90;
    ImageFormat format = ImageFormat::Unknown;  // the decoder that accepted the file, if one did
    std::string lastError;    // GB18030 bytes, like Text; a decoder's message
    std::string openFailure;  // UTF-8; why the file could not be opened, when it could not
};

}  // namespace quillmere::image
