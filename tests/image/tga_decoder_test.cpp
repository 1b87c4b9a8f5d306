#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "image/decoders.h"
#include "tests/image/decoder_rejects.h"
#include "tests/support/format_bytes.h"

namespace quillmere::image {
namespace {

using testing::ByteBuilder;
using testing::Bytes;
using testing::DecodeBytes;
using testing::Truncated;

struct TgaHeader {
    std::uint8_t idLength = 0;
    std::uint8_t colourMapType = 0;
    std::uint8_t imageType = 2;
    std::uint16_t colourMapLength = 0;
    std::uint8_t colourMapEntryBits = 0;
    std::uint16_t width = 64;
    std::uint16_t height = 48;
    std::uint8_t pixelDepth = 24;
};

// Header, ID field, colour map, then a few stand-in pixel bytes.
Bytes TgaFile(const TgaHeader& h) {
    ByteBuilder out;
    out.U8(h.idLength).U8(h.colourMapType).U8(h.imageType);
    out.U16Le(0).U16Le(h.colourMapLength).U8(h.colourMapEntryBits);
    out.U16Le(0).U16Le(0).U16Le(h.width).U16Le(h.height).U8(h.pixelDepth).U8(0x20);
    out.Fill(h.idLength, 'i');
    if (h.colourMapType != 0) out.Fill(static_cast<std::size_t>(h.colourMapLength) * ((h.colourMapEntryBits + 7) / 8), 7);
    return out.Zeros(8);
}

TgaHeader With(TgaHeader h, auto change) {
    change(h);
    return h;
}

const TgaHeader kBase{};
const TgaHeader kMapped = With(kBase, [](TgaHeader& h) {
    h.colourMapType = 1;
    h.imageType = 1;
    h.colourMapLength = 256;
    h.colourMapEntryBits = 24;
    h.pixelDepth = 8;
});

struct AcceptedCase {
    std::string name;
    TgaHeader header;
    std::uint32_t colorCount;
    friend void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << c.name; }
};

class TgaAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(TgaAccepted, SizeAndColoursFromTheHeader) {
    const AcceptedCase& c = GetParam();
    CodecImage image(ImageFormat::Tga);
    image.SetXDPI(200);  // TGA keeps the inherited resolution
    ASSERT_TRUE(DecodeBytes(DecodeTga, TgaFile(c.header), image)) << image.settings.lastError;
    EXPECT_EQ(image.header.width, c.header.width);
    EXPECT_EQ(image.header.height, c.header.height);
    EXPECT_EQ(image.header.colorCount, c.colorCount);
    EXPECT_EQ(image.settings.xDpi, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, TgaAccepted,
    ::testing::Values(
        AcceptedCase{"TrueColour24", kBase, 0},
        AcceptedCase{"TrueColour32", With(kBase, [](TgaHeader& h) { h.pixelDepth = 32; }), 0},
        AcceptedCase{"TrueColour16Rle", With(kBase, [](TgaHeader& h) { h.imageType = 10; h.pixelDepth = 16; }), 0},
        AcceptedCase{"TrueColour15", With(kBase, [](TgaHeader& h) { h.pixelDepth = 15; }), 0},
        AcceptedCase{"ColourMapped", kMapped, 256},
        AcceptedCase{"ColourMappedRle", With(kMapped, [](TgaHeader& h) { h.imageType = 9; }), 256},
        AcceptedCase{"Grey", With(kBase, [](TgaHeader& h) { h.imageType = 3; h.pixelDepth = 8; }), 256},
        AcceptedCase{"GreyRle", With(kBase, [](TgaHeader& h) { h.imageType = 11; h.pixelDepth = 8; }), 256},
        AcceptedCase{"TrueColourWithUnusedColourMap",
                     With(kMapped, [](TgaHeader& h) { h.imageType = 2; h.pixelDepth = 24; }), 0},
        AcceptedCase{"WithImageId", With(kBase, [](TgaHeader& h) { h.idLength = 200; }), 0},
        AcceptedCase{"LargestSides", With(kBase, [](TgaHeader& h) { h.width = 65535; h.height = 65535; }), 0}),
    [](const auto& info) { return info.param.name; });

using testing::DecoderRejects;
using testing::RejectedBy;
using testing::RejectedCase;
using testing::RejectedCaseName;

INSTANTIATE_TEST_SUITE_P(
    Tga, DecoderRejects,
    RejectedBy({ImageFormat::Tga, DecodeTga}, ::testing::Values(
        RejectedCase{"HeaderCutShort", Truncated(TgaFile(kBase), 17), "Not a TGA"},
        RejectedCase{"Empty", Bytes{}, "Not a TGA"},
        RejectedCase{"NoImageData", TgaFile(With(kBase, [](TgaHeader& h) { h.imageType = 0; })),
                     "Unknown TGA image type"},
        RejectedCase{"ImageTypeFour", TgaFile(With(kBase, [](TgaHeader& h) { h.imageType = 4; })),
                     "Unknown TGA image type"},
        RejectedCase{"HuffmanImageType", TgaFile(With(kBase, [](TgaHeader& h) { h.imageType = 32; })),
                     "Unknown TGA image type"},
        RejectedCase{"ZeroWidth", TgaFile(With(kBase, [](TgaHeader& h) { h.width = 0; })), "bad TGA header"},
        RejectedCase{"ZeroHeight", TgaFile(With(kBase, [](TgaHeader& h) { h.height = 0; })), "bad TGA header"},
        RejectedCase{"ZeroDepth", TgaFile(With(kBase, [](TgaHeader& h) { h.pixelDepth = 0; })), "bad TGA header"},
        RejectedCase{"DepthTwelve", TgaFile(With(kBase, [](TgaHeader& h) { h.pixelDepth = 12; })), "bad TGA header"},
        RejectedCase{"ColourMapOf257", TgaFile(With(kMapped, [](TgaHeader& h) { h.colourMapLength = 257; })),
                     "bad TGA header"},
        RejectedCase{"ColourMapTypeTwo", TgaFile(With(kBase, [](TgaHeader& h) { h.colourMapType = 2; })),
                     "bad TGA header"},
        RejectedCase{"ColourMappedWithoutColourMap",
                     TgaFile(With(kMapped, [](TgaHeader& h) { h.colourMapType = 0; h.colourMapLength = 0; })),
                     "bad TGA header"},
        RejectedCase{"ColourMappedRleWithoutColourMap",
                     TgaFile(With(kMapped, [](TgaHeader& h) { h.imageType = 9; h.colourMapType = 0; })),
                     "bad TGA header"},
        RejectedCase{"ColourMapCutShort", Truncated(TgaFile(kMapped), 18 + 3 * 256 - 1), "corrupted TGA"},
        RejectedCase{"ImageIdCutShort", Truncated(TgaFile(With(kBase, [](TgaHeader& h) { h.idLength = 50; })), 40),
                     "corrupted TGA"},
        RejectedCase{"PlainText", ByteBuilder().Text("just some words in a text file\n"), "Unknown TGA image type"})),
    RejectedCaseName);

}  // namespace
}  // namespace quillmere::image
