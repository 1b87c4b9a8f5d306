#pragma once
// The result of one decode, as a value.

#include <cstdint>

#include "image/image_format.h"
#include "runtime/text.h"

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
    // The image library's last error text, as GetLastError reports it: the
    // hinted decoder's when detection found nothing either.
    Text lastError;
    // For a person: why the file was not read. The decoder whose signature
    // the file carries and its reason, "未知或错误的图像格式" when it carries
    // none, or why it could not be opened; empty when a decoder took it.
    Text notReadReason;
};

}  // namespace quillmere::image
