#pragma once
// Tiny JP2 files and J2K codestreams made with OpenJPEG's encoder, for the
// JPEG-2000 family tests.

#include <openjpeg.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quillmere::image::testing {

struct J2kComponent {
    std::uint32_t precision = 8;
    std::uint32_t dx = 1;  // sub-sampling
    std::uint32_t dy = 1;
};

struct J2kSpec {
    std::uint32_t width = 17;
    std::uint32_t height = 13;
    std::vector<J2kComponent> components = {J2kComponent{}, J2kComponent{}, J2kComponent{}};
    bool jp2 = false;  // JP2 file instead of a raw codestream
};

namespace detail {

// A growable output OpenJPEG writes into, with the seeks the JP2 writer uses
// to fill in box lengths.
struct MemorySink {
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

inline OPJ_SIZE_T SinkWrite(void* buffer, OPJ_SIZE_T count, void* user) {
    auto* sink = static_cast<MemorySink*>(user);
    if (sink->bytes.size() < sink->position + count) sink->bytes.resize(sink->position + count);
    std::memcpy(sink->bytes.data() + sink->position, buffer, count);
    sink->position += count;
    return count;
}

inline OPJ_OFF_T SinkSkip(OPJ_OFF_T count, void* user) {
    auto* sink = static_cast<MemorySink*>(user);
    sink->position += static_cast<std::size_t>(count);
    return count;
}

inline OPJ_BOOL SinkSeek(OPJ_OFF_T offset, void* user) {
    static_cast<MemorySink*>(user)->position = static_cast<std::size_t>(offset);
    return OPJ_TRUE;
}

inline void Quiet(const char*, void*) {}

}  // namespace detail

// Encodes a zero-filled image; empty on any encoder failure.
inline std::vector<std::uint8_t> EncodeJ2k(const J2kSpec& fixture) {
    std::vector<opj_image_cmptparm_t> parameters(fixture.components.size());
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const J2kComponent& c = fixture.components[i];
        parameters[i] = opj_image_cmptparm_t{};
        parameters[i].dx = c.dx;
        parameters[i].dy = c.dy;
        parameters[i].w = (fixture.width + c.dx - 1) / c.dx;
        parameters[i].h = (fixture.height + c.dy - 1) / c.dy;
        parameters[i].prec = c.precision;
        parameters[i].sgnd = 0;
    }
    const OPJ_COLOR_SPACE space = fixture.components.size() >= 3 ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY;
    opj_image_t* image = opj_image_create(static_cast<OPJ_UINT32>(parameters.size()), parameters.data(), space);
    if (image == nullptr) return {};
    image->x0 = 0;
    image->y0 = 0;
    image->x1 = fixture.width;
    image->y1 = fixture.height;
    for (OPJ_UINT32 i = 0; i < image->numcomps; ++i) {
        std::fill_n(image->comps[i].data, image->comps[i].w * image->comps[i].h, 0);
    }

    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = 0;
    settings.cp_disto_alloc = 1;
    settings.numresolution = 1;
    settings.tcp_mct = 0;

    opj_codec_t* codec = opj_create_compress(fixture.jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_set_info_handler(codec, detail::Quiet, nullptr);
    opj_set_warning_handler(codec, detail::Quiet, nullptr);
    opj_set_error_handler(codec, detail::Quiet, nullptr);
    detail::MemorySink sink;
    opj_stream_t* stream = opj_stream_create(4096, OPJ_FALSE);
    opj_stream_set_user_data(stream, &sink, nullptr);
    opj_stream_set_write_function(stream, detail::SinkWrite);
    opj_stream_set_skip_function(stream, detail::SinkSkip);
    opj_stream_set_seek_function(stream, detail::SinkSeek);

    const bool ok = opj_setup_encoder(codec, &settings, image) && opj_start_compress(codec, image, stream) &&
                    opj_encode(codec, stream) && opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    return ok ? sink.bytes : std::vector<std::uint8_t>{};
}

}  // namespace quillmere::image::testing
