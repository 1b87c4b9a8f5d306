#include "image/openjpeg_reader.h"

#include <openjpeg.h>

#include <cstdint>
#include <memory>

namespace quillmere::image {
namespace {

// OpenJPEG reads through a buffer of this size; only headers are read, so
// it is kept well below the library's 1 MiB default.
constexpr OPJ_SIZE_T kStreamBufferSize = 16 * 1024;

struct StreamDeleter {
    void operator()(opj_stream_t* stream) const noexcept { opj_stream_destroy(stream); }
};
struct CodecDeleter {
    void operator()(opj_codec_t* codec) const noexcept { opj_destroy_codec(codec); }
};
struct ImageDeleter {
    void operator()(opj_image_t* image) const noexcept { opj_image_destroy(image); }
};
using StreamOwner = std::unique_ptr<opj_stream_t, StreamDeleter>;
using CodecOwner = std::unique_ptr<opj_codec_t, CodecDeleter>;
using ImageOwner = std::unique_ptr<opj_image_t, ImageDeleter>;

// OpenJPEG sees the byte stream from `start` on.
struct StreamWindow {
    ByteStream* stream;
    std::int64_t start;
};

OPJ_SIZE_T ReadBytes(void* buffer, OPJ_SIZE_T count, void* userData) {
    auto* window = static_cast<StreamWindow*>(userData);
    const std::size_t read = window->stream->Read(buffer, 1, count);
    return read == 0 ? static_cast<OPJ_SIZE_T>(-1) : read;
}

OPJ_OFF_T SkipBytes(OPJ_OFF_T count, void* userData) {
    auto* window = static_cast<StreamWindow*>(userData);
    return window->stream->Seek(count, SeekOrigin::Current) ? count : -1;
}

OPJ_BOOL SeekTo(OPJ_OFF_T offset, void* userData) {
    auto* window = static_cast<StreamWindow*>(userData);
    return window->stream->Seek(window->start + offset, SeekOrigin::Begin) ? OPJ_TRUE : OPJ_FALSE;
}

void IgnoreMessage(const char*, void*) {}

void KeepError(const char* message, void* userData) {
    auto* text = static_cast<std::string*>(userData);
    text->assign(message != nullptr ? message : "");
    while (!text->empty() && (text->back() == '\n' || text->back() == '\r')) text->pop_back();
}

std::uint32_t CeilDiv(std::uint32_t value, std::uint32_t divisor) {
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(value) + divisor - 1) / divisor);
}

// Each component covers the image area sub-sampled by its dx and dy.
std::optional<FamilyImageHeader> Describe(const opj_image_t& image) {
    if (image.x1 < image.x0 || image.y1 < image.y0 || image.comps == nullptr) return std::nullopt;
    FamilyImageHeader header;
    header.width = image.x1 - image.x0;
    header.height = image.y1 - image.y0;
    header.components.reserve(image.numcomps);
    for (OPJ_UINT32 i = 0; i < image.numcomps; ++i) {
        const opj_image_comp_t& component = image.comps[i];
        if (component.dx == 0 || component.dy == 0) return std::nullopt;
        header.components.push_back(ComponentGeometry{
            CeilDiv(image.x1, component.dx) - CeilDiv(image.x0, component.dx),
            CeilDiv(image.y1, component.dy) - CeilDiv(image.y0, component.dy),
            component.prec,
        });
    }
    return header;
}

}  // namespace

OpenJpegHeaderResult ReadOpenJpegHeader(ByteStream& stream, OpenJpegContainer container) {
    OpenJpegHeaderResult result;
    StreamWindow window{&stream, stream.Tell()};
    const std::int64_t length = stream.Size() - window.start;
    if (length <= 0) return result;

    StreamOwner input(opj_stream_create(kStreamBufferSize, OPJ_TRUE));
    CodecOwner codec(opj_create_decompress(container == OpenJpegContainer::Jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K));
    if (!input || !codec) return result;
    opj_stream_set_user_data(input.get(), &window, nullptr);
    opj_stream_set_user_data_length(input.get(), static_cast<OPJ_UINT64>(length));
    opj_stream_set_read_function(input.get(), ReadBytes);
    opj_stream_set_skip_function(input.get(), SkipBytes);
    opj_stream_set_seek_function(input.get(), SeekTo);

    opj_set_info_handler(codec.get(), IgnoreMessage, nullptr);
    opj_set_warning_handler(codec.get(), IgnoreMessage, nullptr);
    opj_set_error_handler(codec.get(), KeepError, &result.libraryError);

    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters)) return result;

    opj_image_t* rawImage = nullptr;
    const bool read = opj_read_header(input.get(), codec.get(), &rawImage) == OPJ_TRUE;
    const ImageOwner image(rawImage);
    if (read && image) result.header = Describe(*image);
    return result;
}

}  // namespace quillmere::image
