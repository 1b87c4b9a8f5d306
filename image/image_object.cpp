#include "image/image_object.h"

#include <array>
#include <map>
#include <string>

#include "image/codec_image.h"
#include "image/decoders.h"
#include "image/format_signature.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"

namespace quillmere::image {

namespace {

using DecoderFunction = bool (*)(ByteStream&, CodecImage&);

bool DecodeJpeg2000Detecting(ByteStream& stream, CodecImage& image) {
    return DecodeJpeg2000Family(stream, image, ImageFormat::Unknown);
}

// Detection order: the formats with a fixed signature, then TGA, PCX, WBMP
// and WMF, whose headers are checked field by field, and last the JPEG-2000
// family, which recognises several kinds of data itself.
struct DetectionStep {
    DecoderFunction decode;
    ImageFormat format;
};
constexpr DetectionStep kDetectionOrder[] = {
    {DecodeBmp, ImageFormat::Bmp}, {DecodeJpeg, ImageFormat::Jpg}, {DecodeIco, ImageFormat::Ico},
    {DecodeGif, ImageFormat::Gif}, {DecodePng, ImageFormat::Png},  {DecodeTiff, ImageFormat::Tif},
    {DecodeTga, ImageFormat::Tga}, {DecodePcx, ImageFormat::Pcx},  {DecodeWbmp, ImageFormat::Wbmp},
    {DecodeWmf, ImageFormat::Wmf}, {DecodeJpeg2000Detecting, ImageFormat::Unknown},
};

DecoderFunction DecoderFor(ImageFormat format) {
    switch (format) {
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

bool IsJpeg2000Family(ImageFormat format) {
    const auto code = static_cast<std::int32_t>(format);
    return code >= static_cast<std::int32_t>(ImageFormat::Jp2) && code <= static_cast<std::int32_t>(ImageFormat::Ras);
}

const std::string& UnknownFormatText() {
    static const std::string text = TextFromUtf8("解码: 未知或错误的图像格式").bytes();
    return text;
}

// One decode of one stream: what the last successful attempt left, and the
// format fallback that decides which decoder gets the stream.
class Decoding {
public:
    // The hinted decoder first (a format code 1 to 15), then detection.
    bool Run(ByteStream& stream, ImageFormat hint) {
        const bool hinted = DecoderFor(hint) != nullptr || IsJpeg2000Family(hint);
        if (hinted) {
            if (DecodeAs(stream, hint)) return true;
            if (!stream.Seek(0, SeekOrigin::Begin)) return false;
        }
        const std::string hintedError = image_.settings.lastError;
        // A decoder's attempt depends on the stream alone, so the hinted one,
        // having failed, would fail again in detection: it is not run twice.
        const bool detected = Detect(stream, hinted ? DecoderFor(hint) : nullptr);
        if (!detected && hint != ImageFormat::Unknown) image_.settings.lastError = hintedError;
        return detected;
    }

    const CodecImage& image() const { return image_; }

    // The error text of the decoder for format (the JPEG-2000 family's
    // detection under Unknown), if it was tried and failed.
    const std::string* FailureOf(ImageFormat format) const {
        auto found = failures_.find(format);
        if (found == failures_.end() && IsJpeg2000Family(format)) found = failures_.find(ImageFormat::Unknown);
        return found != failures_.end() ? &found->second : nullptr;
    }

private:
    // One attempt on a temporary that starts with this object's settings;
    // only a success changes this object.
    template <typename Decoder>
    bool Attempt(ByteStream& stream, ImageFormat format, const Decoder& decode, std::string* error) {
        CodecImage attempt(format);
        attempt.CopyInfo(image_);
        if (decode(stream, attempt)) {
            image_.Transfer(attempt);
            return true;
        }
        failures_[format] = attempt.settings.lastError;
        if (error != nullptr) *error = attempt.settings.lastError;
        return false;
    }

    bool DecodeAs(ByteStream& stream, ImageFormat format) {
        std::string error;
        const bool decoded =
            IsJpeg2000Family(format)
                ? Attempt(stream, format,
                          [format](ByteStream& s, CodecImage& image) { return DecodeJpeg2000Family(s, image, format); },
                          &error)
                : Attempt(stream, format, DecoderFor(format), &error);
        if (!decoded) image_.settings.lastError = error;
        return decoded;
    }

    bool Detect(ByteStream& stream, DecoderFunction alreadyFailed) {
        const std::int64_t start = stream.Tell();
        for (const DetectionStep& step : kDetectionOrder) {
            if (step.decode == alreadyFailed) continue;
            if (Attempt(stream, step.format, step.decode, nullptr)) return true;
            stream.Seek(start, SeekOrigin::Begin);
        }
        image_.settings.lastError = UnknownFormatText();
        return false;
    }

    CodecImage image_;
    std::map<ImageFormat, std::string> failures_;
};

constexpr int kShortestPath = 4;

// Why no decoder took the stream, for a person: the last error text belongs
// to whichever decoder ran last or was hinted, which for most files is not
// the format the file is in.
Text ReasonNotRead(ByteStream& stream, const Decoding& decoding) {
    std::array<std::uint8_t, kSignatureBytes> head{};
    std::size_t got = 0;
    if (stream.Seek(0, SeekOrigin::Begin)) got = stream.Read(head.data(), 1, head.size());
    const auto match = MatchSignature(std::span<const std::uint8_t>(head.data(), got));
    const std::string* failure = match ? decoding.FailureOf(match->format) : nullptr;
    if (failure == nullptr) return TextFromUtf8("未知或错误的图像格式");
    return TextFromUtf8(match->name) + Text(": ") + Text(*failure);
}

ImageProbe ProbeFromImage(const CodecImage& image, bool decoded) {
    ImageProbe probe;
    probe.pathAccepted = true;
    probe.decoded = decoded;
    probe.width = image.header.width;
    probe.height = image.header.height;
    probe.xDpi = image.settings.xDpi;
    probe.yDpi = image.settings.yDpi;
    probe.colorCount = image.header.colorCount;
    probe.jpegQuality = image.settings.jpegQuality;
    if (decoded) probe.format = image.settings.formatType;
    probe.lastError = Text(image.settings.lastError);
    return probe;
}

// The start-up values of a handle whose object exists.
ImageProbe StartupProbe() {
    ImageProbe probe;
    probe.pathAccepted = true;
    return probe;
}

}  // namespace

ImageProbe ProbeImageStream(ByteStream& stream, ImageFormat hint) {
    Decoding decoding;
    const bool decoded = decoding.Run(stream, hint);
    ImageProbe probe = ProbeFromImage(decoding.image(), decoded);
    if (!decoded) probe.notReadReason = ReasonNotRead(stream, decoding);
    return probe;
}

ImageProbe ProbeImageFile(const FileSystem& fs, const Text& path, ImageFormat hint) {
    if (TextLength(path) < kShortestPath) return ImageProbe{};
    std::string failure;
    const auto file = fs.OpenRegularFile(TextToNativeName(path), failure);
    if (!file) {
        ImageProbe unopened = StartupProbe();
        unopened.notReadReason = TextFromUtf8(failure);
        return unopened;
    }
    return ProbeImageStream(*file, hint);
}

ImageProbe ProbeImageBytes(std::span<const unsigned char> bytes, ImageFormat hint) {
    MemoryStream stream(bytes);
    return ProbeImageStream(stream, hint);
}

const ImageProbe* ProbeOf(const ImageHandle& handle) { return handle.probe_ ? &*handle.probe_ : nullptr; }

void AdoptProbe(ImageHandle& handle, const ImageProbe& probe) {
    if (!probe.pathAccepted) {
        // Nothing is made for a path too short to name a file, but a handle
        // in use must not go on describing the previous file.
        if (handle.probe_) handle.probe_ = StartupProbe();
        return;
    }
    handle.probe_ = probe;
}

bool DecodeFromFile(const FileSystem& fs, ImageHandle& handle, const Text& path, ImageFormat format) {
    const ImageProbe probe = ProbeImageFile(fs, path, format);
    AdoptProbe(handle, probe);
    return probe.decoded;
}

bool DecodeFromFile(ImageHandle& handle, const Text& path, ImageFormat format) {
    const RealFileSystem fs;
    return DecodeFromFile(fs, handle, path, format);
}

void Free(ImageHandle& handle) { handle.probe_.reset(); }

Text GetLastError(const ImageHandle& handle) {
    const ImageProbe* probe = ProbeOf(handle);
    return probe != nullptr ? probe->lastError : Text();
}

std::int32_t GetWidth(const ImageHandle& handle) {
    const ImageProbe* probe = ProbeOf(handle);
    return probe != nullptr ? probe->width : 0;
}

std::int32_t GetHeight(const ImageHandle& handle) {
    const ImageProbe* probe = ProbeOf(handle);
    return probe != nullptr ? probe->height : 0;
}

std::int32_t GetXDPI(const ImageHandle& handle) {
    const ImageProbe* probe = ProbeOf(handle);
    return probe != nullptr ? probe->xDpi : 0;
}

std::int32_t GetYDPI(const ImageHandle& handle) {
    const ImageProbe* probe = ProbeOf(handle);
    return probe != nullptr ? probe->yDpi : 0;
}

std::uint32_t GetNumColors(const ImageHandle& handle) {
    const ImageProbe* probe = ProbeOf(handle);
    return probe != nullptr ? probe->colorCount : 0;
}

std::uint8_t GetJpegQuality(const ImageHandle& handle) {
    const ImageProbe* probe = ProbeOf(handle);
    return probe != nullptr ? probe->jpegQuality : 0;
}

}  // namespace quillmere::image
