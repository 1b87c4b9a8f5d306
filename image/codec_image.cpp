#include "image/codec_image.h"

#include <cmath>
#include <limits>

#include "runtime/text_encoding.h"

namespace quillmere::image {

std::int32_t PixelsPerMetreFromDpi(std::int32_t dpi) {
    const double perMetre = std::floor(static_cast<double>(dpi) * 39.37007874015748 + 0.5);
    return static_cast<std::int32_t>(static_cast<std::int64_t>(perMetre));
}

void CodecImage::Startup(ImageFormat format) {
    header = BitmapHeader{};
    settings = ImageSettings{};
    settings.formatType = format;
    hasPicture_ = false;
    SetXDPI(96);
    SetYDPI(96);
}

bool CodecImage::Create(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                        ImageFormat format) {
    hasPicture_ = false;
    if (width == 0 || height == 0) {
        SetErrorUtf8("创建图像对象: 高度和宽度必须大于零");
        return false;
    }
    // No buffer is reserved, so the only size limit is what the header's
    // signed width and height can hold.
    constexpr auto kMaxSide = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
    if (width > kMaxSide || height > kMaxSide) {
        SetErrorUtf8("超过规定的图像数据占用的内存大小");
        return false;
    }
    std::uint16_t depth = 24;
    if (bitsPerPixel <= 1) depth = 1;
    else if (bitsPerPixel <= 4) depth = 4;
    else if (bitsPerPixel <= 8) depth = 8;

    header.width = static_cast<std::int32_t>(width);
    header.height = static_cast<std::int32_t>(height);
    header.bitsPerPixel = depth;
    header.colorCount = depth == 24 ? 0u : (1u << depth);
    settings.formatType = format;
    hasPicture_ = true;
    return true;
}

void CodecImage::SetXDPI(std::int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    settings.xDpi = dpi;
    header.xPixelsPerMetre = PixelsPerMetreFromDpi(dpi);
}

void CodecImage::SetYDPI(std::int32_t dpi) {
    if (dpi <= 0) dpi = 96;
    settings.yDpi = dpi;
    header.yPixelsPerMetre = PixelsPerMetreFromDpi(dpi);
}

void CodecImage::SetErrorUtf8(std::string_view utf8) { settings.lastError = TextFromUtf8(utf8).bytes(); }

void CodecImage::CopyInfo(const CodecImage& source) {
    if (!hasPicture_) settings = source.settings;
}

bool CodecImage::Transfer(CodecImage& source) {
    header = source.header;
    settings = source.settings;
    hasPicture_ = source.hasPicture_;
    source.hasPicture_ = false;
    return true;
}

}  // namespace quillmere::image
