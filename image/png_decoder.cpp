// PNG: IHDR and pHYs through libpng's info read; no image data is inflated
// and no other chunk is kept.

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <string>

#include "image/decoders.h"

namespace quillmere::image {

namespace {

// What libpng's callbacks need: the stream to read and where to keep the
// first error message.
struct PngContext {
    ByteStream* stream = nullptr;
    std::string error;
};

// libpng's error callback must not return; it jumps back to the setjmp in
// ReadPngInfo. Warnings are dropped.
[[noreturn]] void KeepErrorAndJump(png_structp png, png_const_charp message) {
    auto* context = static_cast<PngContext*>(png_get_error_ptr(png));
    if (context->error.empty()) context->error = message != nullptr ? message : "";
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// The probe reads IHDR, PLTE (critical: libpng needs it) and pHYs. Every
// other ancillary chunk, known or not, is skipped unread, so a chunk that
// declares gigabytes costs no memory; its CRC is still checked on the way
// past, as for a chunk that is read.
// Five bytes a name: four letters and a zero.
constexpr char kSkippedChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0tRNS\0zTXt";
constexpr int kSkippedChunkCount = sizeof kSkippedChunks / 5;

// Far above what IHDR, PLTE and pHYs need; a bound on anything libpng
// still allocates for a chunk.
constexpr png_alloc_size_t kChunkMemoryLimit = 64 * 1024;

void ReadFromStream(png_structp png, png_bytep data, png_size_t length) {
    auto* context = static_cast<PngContext*>(png_get_io_ptr(png));
    if (context->stream->Read(data, 1, length) != length) png_error(png, "Read Error");
}

// Owns the read and info structures.
class PngReader {
public:
    explicit PngReader(PngContext& context)
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, KeepErrorAndJump, IgnoreWarning)) {
        if (png_ != nullptr) {
            info_ = png_create_info_struct(png_);
            png_set_read_fn(png_, &context, ReadFromStream);
            png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
            png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER,
                                        reinterpret_cast<png_const_bytep>(kSkippedChunks), kSkippedChunkCount);
            png_set_chunk_malloc_max(png_, kChunkMemoryLimit);
            png_set_chunk_cache_max(png_, 0);
        }
    }
    ~PngReader() {
        if (png_ != nullptr) png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

    // Reads the chunks before the image data; false on any libpng error.
    // Nothing with a destructor lives in this frame, so the jump back skips
    // no clean-up.
    bool ReadInfo() {
        if (setjmp(png_jmpbuf(png_)) != 0) return false;
        png_read_info(png_, info_);
        return true;
    }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

std::uint32_t DepthForCreate(unsigned pixelDepth) {
    if (pixelDepth <= 8) return pixelDepth;
    if (pixelDepth <= 16) return 8;  // 16-bit samples are stripped to 8
    return 24;
}

// Resolution per pHYs unit: metres are converted, unit 0 (or no pHYs)
// passes the count on unchanged; nullopt for any other unit.
std::optional<std::int32_t> DpiFromPhys(int unit, png_uint_32 perUnit) {
    if (unit == PNG_RESOLUTION_METER) {
        return static_cast<std::int32_t>(std::floor(perUnit * 0.025400000000000002 + 0.5));
    }
    if (unit == PNG_RESOLUTION_UNKNOWN) return static_cast<std::int32_t>(perUnit);
    return std::nullopt;
}

}  // namespace

bool DecodePng(ByteStream& stream, CodecImage& image) {
    PngContext context;
    context.stream = &stream;
    PngReader reader(context);
    if (reader.png() == nullptr) {
        image.SetError("Failed to create PNG structure");
        return false;
    }
    if (reader.info() == nullptr) {
        image.SetError("Failed to initialize PNG info structure");
        return false;
    }
    if (!reader.ReadInfo()) {
        image.SetError(context.error);
        return false;
    }

    png_structp png = reader.png();
    png_infop info = reader.info();
    const unsigned pixelDepth = static_cast<unsigned>(png_get_bit_depth(png, info)) * png_get_channels(png, info);
    if (!image.Create(png_get_image_width(png, info), png_get_image_height(png, info), DepthForCreate(pixelDepth),
                      ImageFormat::Png)) {
        return false;
    }

    png_uint_32 xPerUnit = 0;
    png_uint_32 yPerUnit = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
    png_get_pHYs(png, info, &xPerUnit, &yPerUnit, &unit);
    if (const auto dpi = DpiFromPhys(unit, xPerUnit)) image.SetXDPI(*dpi);
    if (const auto dpi = DpiFromPhys(unit, yPerUnit)) image.SetYDPI(*dpi);
    return true;
}

}  // namespace quillmere::image
