// TIFF: the chosen page's directory tags through libtiff; strips and tiles
// are never read.

#include <tiffio.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <string>

#include "image/decoders.h"

namespace quillmere::image {

namespace {

// A single tag value larger than this is taken as damage, not read.
constexpr tmsize_t kMaxSingleAllocation = 64 * 1024 * 1024;

struct TiffContext {
    ByteStream* stream = nullptr;
    std::string firstError;  // libtiff's first message, for debugging; never printed
};

// Client procedures over the ByteStream; the file is read-only.
tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
    if (size <= 0) return 0;
    auto* context = static_cast<TiffContext*>(handle);
    return static_cast<tmsize_t>(context->stream->Read(buffer, 1, static_cast<std::size_t>(size)));
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* stream = static_cast<TiffContext*>(handle)->stream;
    const SeekOrigin origin = whence == SEEK_CUR ? SeekOrigin::Current
                              : whence == SEEK_END ? SeekOrigin::End
                                                   : SeekOrigin::Begin;
    if (offset > static_cast<toff_t>(std::numeric_limits<std::int64_t>::max()) ||
        !stream->Seek(static_cast<std::int64_t>(offset), origin)) {
        return static_cast<toff_t>(-1);
    }
    return static_cast<toff_t>(stream->Tell());
}

int CloseProc(thandle_t) { return 0; }

toff_t SizeProc(thandle_t handle) {
    return static_cast<toff_t>(static_cast<TiffContext*>(handle)->stream->Size());
}

int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// Per-handle message handlers: returning 1 keeps libtiff from also calling
// its process-wide handlers, which print to standard error.
int KeepError(TIFF*, void* userData, const char* module, const char* format, va_list arguments) {
    auto* context = static_cast<TiffContext*>(userData);
    if (context->firstError.empty()) {
        char message[512];
        std::vsnprintf(message, sizeof message, format, arguments);
        context->firstError = std::string(module != nullptr ? module : "") + ": " + message;
    }
    return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Owns the open options.
class TiffOptions {
public:
    explicit TiffOptions(TiffContext& context) : options_(TIFFOpenOptionsAlloc()) {
        if (options_ == nullptr) return;
        TIFFOpenOptionsSetMaxSingleMemAlloc(options_, kMaxSingleAllocation);
        TIFFOpenOptionsSetErrorHandlerExtR(options_, KeepError, &context);
        TIFFOpenOptionsSetWarningHandlerExtR(options_, IgnoreWarning, &context);
    }
    ~TiffOptions() {
        if (options_ != nullptr) TIFFOpenOptionsFree(options_);
    }
    TiffOptions(const TiffOptions&) = delete;
    TiffOptions& operator=(const TiffOptions&) = delete;
    TIFFOpenOptions* get() const { return options_; }

private:
    TIFFOpenOptions* options_;
};

// Owns an open TIFF handle.
class TiffHandle {
public:
    explicit TiffHandle(TIFF* tiff) : tiff_(tiff) {}
    ~TiffHandle() {
        if (tiff_ != nullptr) TIFFClose(tiff_);
    }
    TiffHandle(const TiffHandle&) = delete;
    TiffHandle& operator=(const TiffHandle&) = delete;
    TIFF* get() const { return tiff_; }

private:
    TIFF* tiff_;
};

TIFF* OpenClient(TiffContext& context, const TiffOptions& options) {
    if (options.get() == nullptr) return nullptr;
    // "O": strip and tile offsets are loaded only when asked for, which
    // this decoder never does.
    return TIFFClientOpenExt("tiff", "rO", &context, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc, MapProc,
                             UnmapProc, options.get());
}

std::uint32_t DepthForCreate(std::uint16_t photometric, std::uint16_t bitsPerSample) {
    switch (photometric) {
        case PHOTOMETRIC_RGB:
            if (bitsPerSample >= 8) return 24;
            break;
        case PHOTOMETRIC_SEPARATED:
        case PHOTOMETRIC_YCBCR:
        case PHOTOMETRIC_LOGL:
        case PHOTOMETRIC_LOGLUV:
            return 24;
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
            if (bitsPerSample == 1) return 1;
            return bitsPerSample == 4 ? 4 : 8;
        default:
            break;
    }
    return bitsPerSample == 4 ? 4 : 8;
}

// Truncated toward zero; a value no 32-bit integer holds becomes the lowest
// one, which SetXDPI treats like any non-positive dpi.
std::int32_t TruncateToInt(float value) {
    if (!std::isfinite(value) || value <= -2147483648.0f || value >= 2147483648.0f) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

// The resolution tag in dots per inch; centimetre values are rounded.
std::optional<std::int32_t> DpiFromTag(TIFF* tiff, ttag_t tag, std::uint16_t unit) {
    float resolution = 0.0f;
    if (TIFFGetField(tiff, tag, &resolution) != 1) return std::nullopt;
    if (unit == RESUNIT_CENTIMETER) resolution = resolution * 2.54f + 0.5f;
    return TruncateToInt(resolution);
}

}  // namespace

bool DecodeTiff(ByteStream& stream, CodecImage& image) {
    TiffContext context;
    context.stream = &stream;
    TiffOptions options(context);
    TiffHandle tiff(OpenClient(context, options));
    if (tiff.get() == nullptr) {
        image.SetError("Error encountered while opening TIFF file");
        return false;
    }

    // The first page is the one probed; a file whose chain of pages libtiff
    // cannot count has none.
    if (TIFFNumberOfDirectories(tiff.get()) < 1) {
        image.SetError("Error: page not present in TIFF file");
        return false;
    }

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t photometric = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
    TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);

    if (!image.Create(width, height, DepthForCreate(photometric, bitsPerSample),
                      ImageFormat::Tif)) {
        return false;
    }

    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    if (const auto dpi = DpiFromTag(tiff.get(), TIFFTAG_XRESOLUTION, unit)) image.SetXDPI(*dpi);
    if (const auto dpi = DpiFromTag(tiff.get(), TIFFTAG_YRESOLUTION, unit)) image.SetYDPI(*dpi);
    return true;
}

}  // namespace quillmere::image
