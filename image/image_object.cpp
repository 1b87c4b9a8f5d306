#include "image/image_object.h"

#include <optional>
#include <string>

#include "image/byte_stream.h"
#include "image/codec_image.h"
#include "image/decoders.h"
#include "runtime/text_encoding.h"

namespace quillmere::image {

namespace {

using DecoderFunction = bool (*)(ByteStream&, CodecImage&);

bool DecodeJpeg2000Detecting(ByteStream& stream, CodecImage& image) {
    return DecodeJpeg2000Family(stream, image, 0);
}

// Detection order: the strongest signatures first, the JPEG-2000 family
// (which recognises several kinds of data itself) last.
struct DetectionStep {
    DecoderFunction decode;
    ImageFormat format;
};
constexpr DetectionStep kDetectionOrder[] = {
    {DecodeBmp, ImageFormat::Bmp}, {DecodeJpeg, ImageFormat::Jpg}, {DecodeIco, ImageFormat::Ico},
    {DecodeGif, ImageFormat::Gif}, {DecodePng, ImageFormat::Png},  {DecodeTiff, ImageFormat::Tif},
    {DecodeTga, ImageFormat::Tga}, {DecodePcx, ImageFormat::Pcx},  {DecodeWbmp, ImageFormat::Wbmp},
    {DecodeWmf, ImageFormat::Wmf}, {DecodeJpeg2000Detecting, ImageFormat::Jp2},
};

DecoderFunction DecoderFor(std::int32_t format) {
    switch (static_cast<ImageFormat>(format)) {
        case ImageFormat::Bmp: return DecodeBmp;
        case ImageFormat::Gif: return DecodeGif;
        case ImageFormat::Jpg: return DecodeJpeg;
        case ImageFormat::Png: return DecodePng;
        case ImageFormat::Ico: return DecodeIco;
        case ImageFormat::Tif: return DecodeTiff;
        case ImageFormat::Tga: return DecodeTga;
        case ImageFormat::Pcx: return DecodePcx;
        case ImageFormat::Wbmp: return DecodeWbmp;
        case ImageFormat::Wmf: return DecodeWmf;
        default: return nullptr;
    }
}

bool KeepsFrameCountOnFailure(std::int32_t format) {
    const auto code = static_cast<ImageFormat>(format);
    return code == ImageFormat::Ico || code == ImageFormat::Gif || code == ImageFormat::Tif;
}

const std::string& UnknownFormatText() {
    static const std::string text = TextFromUtf8("解码: 未知或错误的图像格式").bytes();
    return text;
}

}  // namespace

// The image object: what the last successful decode left, and the format
// fallback that decides which decoder gets a file.
class ImageObject {
public:
    ImageObject() { Startup(0); }

    void Startup(std::uint32_t format) { image_.Startup(format); }

    // One open serves both attempts, so they see the same file and its
    // first bytes are read from disk once.
    bool Load(const std::string& nativePath, std::int32_t format) {
        auto file = FileStream::Open(nativePath);
        if (!file) return false;
        return LoadStream(*file, format);
    }

    // The hinted decoder first (format 1 to 15), then detection; both read
    // the stream from its start. Files and bytes in memory both come here.
    bool LoadStream(ByteStream& stream, std::int32_t format) {
        if (format >= 1 && format <= 15) {
            if (Decode(stream, format)) return true;
            if (!stream.Seek(0, SeekOrigin::Begin)) return false;
        }
        const std::string hintedError = image_.settings.lastError;
        const bool detected = Decode(stream, 0);
        if (!detected && format != 0) image_.settings.lastError = hintedError;
        return detected;
    }

    bool Decode(ByteStream& stream, std::int32_t format) {
        if (format == 0) return Detect(stream);
        if (format >= 1 && format <= 10) return DecodeAs(stream, format, DecoderFor(format));
        if (format >= 11 && format <= 15) {
            return DecodeAs(stream, format, [format](ByteStream& s, CodecImage& image) {
                return DecodeJpeg2000Family(s, image, format);
            });
        }
        image_.settings.lastError = UnknownFormatText();
        return false;
    }

    const CodecImage& image() const { return image_; }
    CodecImage& image() { return image_; }

private:
    // One attempt on a temporary that starts with this object's settings;
    // only a success changes this object.
    template <typename Decoder>
    std::optional<CodecImage> Attempt(ByteStream& stream, std::uint32_t codecFormat, const Decoder& decode) {
        CodecImage attempt(codecFormat);
        attempt.CopyInfo(image_);
        if (decode(stream, attempt)) {
            image_.Transfer(attempt);
            return std::nullopt;
        }
        return attempt;
    }

    template <typename Decoder>
    bool DecodeAs(ByteStream& stream, std::int32_t format, const Decoder& decode) {
        auto failed = Attempt(stream, static_cast<std::uint32_t>(format), decode);
        if (!failed) return true;
        image_.settings.lastError = failed->settings.lastError;
        if (KeepsFrameCountOnFailure(format)) image_.settings.frameCount = failed->settings.frameCount;
        return false;
    }

    bool Detect(ByteStream& stream) {
        const std::int64_t start = stream.Tell();
        for (const DetectionStep& step : kDetectionOrder) {
            const auto codecFormat = step.format == ImageFormat::Jp2 ? 0u : static_cast<std::uint32_t>(step.format);
            if (!Attempt(stream, codecFormat, step.decode)) return true;
            stream.Seek(start, SeekOrigin::Begin);
        }
        image_.settings.lastError = UnknownFormatText();
        return false;
    }

    CodecImage image_;
};

const ImageObject* ObjectOf(const ImageHandle& handle) { return handle.object_.get(); }

ImageHandle::ImageHandle() = default;
ImageHandle::~ImageHandle() = default;
ImageHandle::ImageHandle(ImageHandle&&) noexcept = default;
ImageHandle& ImageHandle::operator=(ImageHandle&&) noexcept = default;

namespace {

constexpr int kShortestPath = 4;

ImageProbe ProbeOf(const CodecImage& image, bool decoded) {
    ImageProbe probe;
    probe.pathAccepted = true;
    probe.decoded = decoded;
    probe.width = image.header.width;
    probe.height = image.header.height;
    probe.xDpi = image.settings.xDpi;
    probe.yDpi = image.settings.yDpi;
    probe.colorCount = image.header.colorCount;
    probe.jpegQuality = image.settings.jpegQuality;
    probe.lastError = image.settings.lastError;
    return probe;
}

}  // namespace

ImageProbe ProbeImageFile(const Text& path, std::int32_t format) {
    if (TextLength(path) < kShortestPath) return ImageProbe{};
    ImageObject object;
    const bool decoded = object.Load(TextToNativeName(path), format);
    return ProbeOf(object.image(), decoded);
}

ImageProbe ProbeRegularFile(const Text& path, std::int32_t format, std::int64_t size) {
    if (TextLength(path) < kShortestPath) return ImageProbe{};
    ImageObject object;
    auto file = FileStream::OpenRegular(TextToNativeName(path), size);
    const bool decoded = file && object.LoadStream(*file, format);
    return ProbeOf(object.image(), decoded);
}

ImageProbe ProbeImageBytes(std::span<const unsigned char> bytes, std::int32_t format) {
    ImageObject object;
    MemoryStream stream(bytes);
    const bool decoded = object.LoadStream(stream, format);
    return ProbeOf(object.image(), decoded);
}

void AdoptProbe(ImageHandle& handle, const ImageProbe& probe) {
    if (!probe.pathAccepted) {
        // No object is made for a path too short to name a file, but one
        // that exists must not go on describing the previous file.
        if (handle.object_) handle.object_->Startup(0);
        return;
    }
    if (!handle.object_) handle.object_ = std::make_unique<ImageObject>();
    // Every file stands alone: the object takes exactly the probe's values.
    handle.object_->Startup(0);
    CodecImage& image = handle.object_->image();
    image.header.width = probe.width;
    image.header.height = probe.height;
    image.header.colorCount = probe.colorCount;
    image.StoreXDPI(probe.xDpi);
    image.StoreYDPI(probe.yDpi);
    image.settings.jpegQuality = probe.jpegQuality;
    image.settings.lastError = probe.lastError;
}

bool DecodeFromFile(ImageHandle& handle, const Text& path, std::int32_t format) {
    const ImageProbe probe = ProbeImageFile(path, format);
    AdoptProbe(handle, probe);
    return probe.decoded;
}

void Free(ImageHandle& handle) { handle.object_.reset(); }

Text GetLastError(const ImageHandle& handle) {
    const ImageObject* object = ObjectOf(handle);
    return object != nullptr ? Text(object->image().settings.lastError) : Text();
}

std::int32_t GetWidth(const ImageHandle& handle) {
    const ImageObject* object = ObjectOf(handle);
    return object != nullptr ? object->image().header.width : 0;
}

std::int32_t GetHeight(const ImageHandle& handle) {
    const ImageObject* object = ObjectOf(handle);
    return object != nullptr ? object->image().header.height : 0;
}

std::int32_t GetXDPI(const ImageHandle& handle) {
    const ImageObject* object = ObjectOf(handle);
    return object != nullptr ? object->image().settings.xDpi : 0;
}

std::int32_t GetYDPI(const ImageHandle& handle) {
    const ImageObject* object = ObjectOf(handle);
    return object != nullptr ? object->image().settings.yDpi : 0;
}

std::uint32_t GetNumColors(const ImageHandle& handle) {
    const ImageObject* object = ObjectOf(handle);
    return object != nullptr ? object->image().header.colorCount : 0;
}

std::uint8_t GetJpegQuality(const ImageHandle& handle) {
    const ImageObject* object = ObjectOf(handle);
    return object != nullptr ? object->image().settings.jpegQuality : 0;
}

}  // namespace quillmere::image
