#pragma once
// The object one decode attempt works on: the bitmap header a decoder fills
// through Create and the settings block it starts from and may change.
//
// Only headers are read (no pixel buffer exists), so Create records the
// picture's geometry and reserves nothing.

#include <cstdint>
#include <string>
#include <string_view>

#include "image/image_format.h"

namespace quillmere::image {

// The fields of the bitmap info header that a probe can see.
struct BitmapHeader {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitsPerPixel = 0;   // 1, 4, 8 or 24 once Create has run
    std::uint32_t colorCount = 0;     // 2, 16, 256, or 0 for true colour
    std::int32_t xPixelsPerMetre = 0;
    std::int32_t yPixelsPerMetre = 0;
};

// The settings a decode attempt inherits from the image object and hands back.
struct ImageSettings {
    ImageFormat formatType = ImageFormat::Unknown;
    std::string lastError;            // GB18030 bytes
    std::uint8_t jpegQuality = 90;
    std::int32_t xDpi = 96;
    std::int32_t yDpi = 96;
};

class CodecImage {
public:
    // Startup(Unknown).
    CodecImage() { Startup(ImageFormat::Unknown); }
    // Startup(format).
    explicit CodecImage(ImageFormat format) { Startup(format); }

    // The defaults: no picture, format type := format, quality 90, 96 dpi
    // both ways.
    void Startup(ImageFormat format);

    // Records the picture's geometry. Depth is rounded up to 1, 4, 8 or 24 and
    // the colour count derived from it (2, 16, 256, 0); format type := format.
    // Fails with the error text set when width or height is 0, or too large
    // for the header's signed fields.
    bool Create(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel, ImageFormat format);
    bool HasPicture() const noexcept { return hasPicture_; }

    // dpi <= 0 becomes 96; the pixels-per-metre field follows.
    void SetXDPI(std::int32_t dpi);
    void SetYDPI(std::int32_t dpi);
    // Writes the resolution as given, 0 and negatives included.
    void StoreXDPI(std::int32_t dpi) { settings.xDpi = dpi; }
    void StoreYDPI(std::int32_t dpi) { settings.yDpi = dpi; }

    // Sets the last error text from GB18030 bytes (ASCII qualifies).
    void SetError(std::string_view gb18030) { settings.lastError.assign(gb18030); }
    // Sets the last error text from UTF-8 (for the Chinese texts in source).
    void SetErrorUtf8(std::string_view utf8);

    // Takes the source's settings when this object holds no picture.
    void CopyInfo(const CodecImage& source);
    // Takes over the source's header, settings and picture; the source is
    // left without a picture.
    bool Transfer(CodecImage& source);

    BitmapHeader header;
    ImageSettings settings;

private:
    bool hasPicture_ = false;
};

// floor(dpi × 39.37007874015748 + 0.5), truncated to 32 bits.
std::int32_t PixelsPerMetreFromDpi(std::int32_t dpi);

}  // namespace quillmere::image
