// JP2 files whose codestream holds palette indices: the probe reports the
// channels the palette box and the component mapping box make of them, as a
// full OpenJPEG decode of the same file returns them.

#include <gtest/gtest.h>

#include <openjpeg.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/format_bytes.h"
#include "tests/support/jp2_fixtures.h"
#include "image/decoders.h"
#include "image/image_object.h"
#include "image/jp2_channel_mapping.h"
#include "image/jpeg2000_family_header.h"
#include "tests/support/openjpeg_fixtures.h"

namespace quillmere::image {
namespace {

using testing::Bytes;
using testing::ChannelEntry;
using testing::J2kComponent;
using testing::Jp2Layout;
using testing::Paletted;
using testing::WriteJp2;

// ---- The full decode to compare with ----

struct MemoryInput {
    const Bytes* bytes;
    std::size_t position = 0;
};

OPJ_SIZE_T ReadMemory(void* buffer, OPJ_SIZE_T count, void* user) {
    auto* input = static_cast<MemoryInput*>(user);
    const std::size_t left = input->bytes->size() - input->position;
    if (left == 0) return static_cast<OPJ_SIZE_T>(-1);
    const std::size_t taken = std::min<std::size_t>(count, left);
    std::memcpy(buffer, input->bytes->data() + input->position, taken);
    input->position += taken;
    return taken;
}

OPJ_OFF_T SkipMemory(OPJ_OFF_T count, void* user) {
    auto* input = static_cast<MemoryInput*>(user);
    input->position = std::min<std::size_t>(input->bytes->size(), input->position + static_cast<std::size_t>(count));
    return count;
}

OPJ_BOOL SeekMemory(OPJ_OFF_T offset, void* user) {
    auto* input = static_cast<MemoryInput*>(user);
    if (offset < 0 || static_cast<std::size_t>(offset) > input->bytes->size()) return OPJ_FALSE;
    input->position = static_cast<std::size_t>(offset);
    return OPJ_TRUE;
}

void Quiet(const char*, void*) {}

// Every sample decoded, the palette applied: the components OpenJPEG hands
// to a program that shows the picture.
std::optional<FamilyImageHeader> FullDecode(const Bytes& jp2) {
    // opj_stream_t and opj_codec_t are the same type, so each owner names its call.
    struct StreamDeleter {
        void operator()(opj_stream_t* p) const { opj_stream_destroy(p); }
    };
    struct CodecDeleter {
        void operator()(opj_codec_t* p) const { opj_destroy_codec(p); }
    };
    struct ImageDeleter {
        void operator()(opj_image_t* p) const { opj_image_destroy(p); }
    };
    MemoryInput input{&jp2};
    std::unique_ptr<opj_stream_t, StreamDeleter> stream(opj_stream_create(4096, OPJ_TRUE));
    std::unique_ptr<opj_codec_t, CodecDeleter> codec(opj_create_decompress(OPJ_CODEC_JP2));
    opj_stream_set_user_data(stream.get(), &input, nullptr);
    opj_stream_set_user_data_length(stream.get(), jp2.size());
    opj_stream_set_read_function(stream.get(), ReadMemory);
    opj_stream_set_skip_function(stream.get(), SkipMemory);
    opj_stream_set_seek_function(stream.get(), SeekMemory);
    opj_set_info_handler(codec.get(), Quiet, nullptr);
    opj_set_warning_handler(codec.get(), Quiet, nullptr);
    opj_set_error_handler(codec.get(), Quiet, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters)) return std::nullopt;
    opj_image_t* raw = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &raw)) return std::nullopt;
    std::unique_ptr<opj_image_t, ImageDeleter> image(raw);
    if (!opj_decode(codec.get(), stream.get(), image.get()) || !opj_end_decompress(codec.get(), stream.get())) {
        return std::nullopt;
    }
    FamilyImageHeader decoded;
    decoded.width = image->x1 - image->x0;
    decoded.height = image->y1 - image->y0;
    for (OPJ_UINT32 i = 0; i < image->numcomps; ++i) {
        decoded.components.push_back(ComponentGeometry{image->comps[i].w, image->comps[i].h, image->comps[i].prec});
    }
    return decoded;
}

struct Probed {
    bool ok;
    CodecImage image;
};

Probed Probe(const Bytes& bytes, ImageFormat format) {
    MemoryStream stream(bytes);
    CodecImage image(format);
    const bool ok = DecodeJpeg2000Family(stream, image, format);
    return {ok, image};
}

// What Create makes of a depth: 1, 4, 8 or 24 bits, and the colour count.
std::uint16_t BitmapDepthOf(std::uint32_t depth) { return depth <= 1 ? 1 : depth <= 4 ? 4 : depth <= 8 ? 8 : 24; }
std::uint32_t ColourCountOf(std::uint32_t depth) {
    const std::uint16_t bits = BitmapDepthOf(depth);
    return bits == 24 ? 0 : 1u << bits;
}

// ---- Probe against full decode ----

struct PaletteCase {
    std::string name;
    Jp2Layout layout;
    std::uint16_t bitsPerPixel;  // what the row is built from, stated outright
    std::uint32_t colorCount;
    friend void PrintTo(const PaletteCase& c, std::ostream* out) { *out << c.name; }
};

Jp2Layout PlainGrey() { return Jp2Layout{}; }

Jp2Layout PaletteWithoutMapping() {
    Jp2Layout layout = Paletted({8, 8, 8});
    layout.channels.reset();
    return layout;
}

Jp2Layout MappingBeforePalette() {
    Jp2Layout layout = Paletted({8, 8, 8});
    layout.mapBeforePalette = true;
    return layout;
}

class Jp2Palettes : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(Jp2Palettes, ProbeReportsWhatTheFullDecodeReturns) {
    const PaletteCase& c = GetParam();
    const Bytes jp2 = WriteJp2(c.layout);
    ASSERT_FALSE(jp2.empty());

    const std::optional<FamilyImageHeader> decoded = FullDecode(jp2);
    ASSERT_TRUE(decoded.has_value()) << "OpenJPEG cannot decode the fixture";
    const std::uint32_t decodedDepth = FamilyImageDepth(*decoded);

    for (const ImageFormat format : {ImageFormat::Unknown, ImageFormat::Jp2}) {
        SCOPED_TRACE(static_cast<int>(format));
        const Probed probed = Probe(jp2, format);
        ASSERT_TRUE(probed.ok) << probed.image.settings.lastError;
        EXPECT_EQ(probed.image.header.width, static_cast<std::int32_t>(decoded->width));
        EXPECT_EQ(probed.image.header.height, static_cast<std::int32_t>(decoded->height));
        EXPECT_EQ(probed.image.header.bitsPerPixel, BitmapDepthOf(decodedDepth));
        EXPECT_EQ(probed.image.header.colorCount, ColourCountOf(decodedDepth));
        EXPECT_EQ(probed.image.header.bitsPerPixel, c.bitsPerPixel);
        EXPECT_EQ(probed.image.header.colorCount, c.colorCount);
    }
    // The run passes the JPEG code with every file; detection finds the JP2.
    const ImageProbe run = ProbeImageBytes(jp2, ImageFormat::Jpg);
    EXPECT_TRUE(run.decoded);
    EXPECT_EQ(run.colorCount, c.colorCount);
    EXPECT_EQ(run.jpegQuality, 90);
}

INSTANTIATE_TEST_SUITE_P(
    HeaderBoxes, Jp2Palettes,
    ::testing::Values(PaletteCase{"RgbPaletteOver8BitIndex", Paletted({8, 8, 8}), 24, 0},
                      PaletteCase{"RgbPaletteOver4BitIndex", Paletted({8, 8, 8}, 4), 24, 0},
                      PaletteCase{"FiveBitRgbPalette", Paletted({5, 5, 5}), 24, 0},
                      PaletteCase{"GreyPalette", Paletted({8}), 8, 256},
                      PaletteCase{"FourBitGreyPalette", Paletted({4}), 4, 16},
                      PaletteCase{"RgbaPalette", Paletted({8, 8, 8, 8}), 8, 256},
                      PaletteCase{"PaletteWithoutMapping", PaletteWithoutMapping(), 8, 256},
                      PaletteCase{"NoPalette", PlainGrey(), 8, 256}),
    [](const auto& info) { return info.param.name; });

// ---- Mappings a decoder cannot apply ----

TEST(Jp2Palettes, MappingToMissingComponentOrColumnKeepsTheCodestreamComponents) {
    struct Case {
        const char* name;
        std::vector<ChannelEntry> channels;
    };
    const Case cases[] = {
        {"component 1 of 1", {{0, 1, 0}, {1, 1, 1}, {0, 1, 2}}},
        {"column 3 of 3", {{0, 1, 0}, {0, 1, 1}, {0, 1, 3}}},
        {"mapping type 2", {{0, 1, 0}, {0, 2, 1}, {0, 1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Jp2Layout layout = Paletted({8, 8, 8});
        layout.channels = c.channels;
        const Probed probed = Probe(WriteJp2(layout), ImageFormat::Jp2);
        ASSERT_TRUE(probed.ok) << probed.image.settings.lastError;
        EXPECT_EQ(probed.image.header.bitsPerPixel, 8);
        EXPECT_EQ(probed.image.header.colorCount, 256u);
    }
}

// ---- The box reader on its own ----

TEST(Jp2ChannelMappingReader, ReadsDepthsAndChannels) {
    Jp2Layout layout = Paletted({8, 5, 12});
    layout.channels = std::vector<ChannelEntry>{{0, 1, 2}, {0, 1, 0}, {0, 0, 0}, {0, 1, 1}};
    const Bytes jp2 = WriteJp2(layout);
    MemoryStream stream(jp2);
    const std::optional<Jp2ChannelMapping> mapping = ReadJp2ChannelMapping(stream);
    ASSERT_TRUE(mapping.has_value());
    EXPECT_EQ(mapping->columnDepths, (std::vector<std::uint32_t>{8, 5, 12}));
    ASSERT_EQ(mapping->channels.size(), 4u);
    EXPECT_TRUE(mapping->channels[0].throughPalette);
    EXPECT_EQ(mapping->channels[0].column, 2);
    EXPECT_FALSE(mapping->channels[2].throughPalette);

    FamilyImageHeader codestream{17, 13, {ComponentGeometry{17, 13, 8}}};
    const std::optional<FamilyImageHeader> applied = ApplyChannelMapping(codestream, *mapping);
    ASSERT_TRUE(applied.has_value());
    std::vector<std::uint32_t> precisions;
    for (const ComponentGeometry& component : applied->components) {
        EXPECT_EQ(component.width, 17u);
        EXPECT_EQ(component.height, 13u);
        precisions.push_back(component.precision);
    }
    // Palette channels take their column's depth, a direct one its component's.
    EXPECT_EQ(precisions, (std::vector<std::uint32_t>{12, 8, 8, 5}));
}

// OpenJPEG refuses a mapping box before the palette box, so a whole probe
// fails such a file; the box reader itself does not depend on the order.
TEST(Jp2ChannelMappingReader, MappingMayPrecedeThePalette) {
    const Bytes jp2 = WriteJp2(MappingBeforePalette());
    MemoryStream stream(jp2);
    const std::optional<Jp2ChannelMapping> mapping = ReadJp2ChannelMapping(stream);
    ASSERT_TRUE(mapping.has_value());
    EXPECT_EQ(mapping->columnDepths.size(), 3u);
    EXPECT_EQ(mapping->channels.size(), 3u);
}

TEST(Jp2ChannelMappingReader, CutBoxesGiveNoMapping) {
    const Bytes jp2 = WriteJp2(Paletted({8, 8, 8}));
    // Find where the component mapping box ends; cut at every byte up to it.
    const std::string cmap = "cmap";
    const auto at = std::search(jp2.begin(), jp2.end(), cmap.begin(), cmap.end());
    ASSERT_NE(at, jp2.end());
    const std::size_t mapEnd = static_cast<std::size_t>(at - jp2.begin()) + 4 + 12;
    for (std::size_t length = 0; length < mapEnd; ++length) {
        SCOPED_TRACE(length);
        const Bytes cut = testing::Truncated(jp2, length);
        MemoryStream stream(cut);
        EXPECT_FALSE(ReadJp2ChannelMapping(stream).has_value());
    }
    MemoryStream whole(jp2);
    EXPECT_TRUE(ReadJp2ChannelMapping(whole).has_value());
}

}  // namespace
}  // namespace quillmere::image
