#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "image/decoders.h"
#include "tests/image/decoder_rejects.h"
#include "tests/support/format_bytes.h"

namespace quillmere::image {
namespace {

using testing::ByteBuilder;
using testing::Bytes;
using testing::DecodeBytes;
using testing::Gb;
using testing::Truncated;

struct InfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 4;
    std::int32_t height = 3;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;
    std::int32_t xPixelsPerMetre = 3780;
    std::int32_t yPixelsPerMetre = 3780;
    std::uint32_t colorsUsed = 0;
};

// The info header (12-byte core form when size is 12, the OS/2 2.x short
// form of the Windows header's first 16 bytes when it is 16, else the 40
// Windows bytes padded with zeros up to the stated size).
Bytes InfoHeaderBytes(const InfoHeader& info) {
    ByteBuilder out;
    out.U32Le(info.size);
    if (info.size == 12) {
        out.U16Le(static_cast<std::uint32_t>(info.width)).U16Le(static_cast<std::uint32_t>(info.height));
        out.U16Le(info.planes).U16Le(info.bitCount);
        return out;
    }
    out.S32Le(info.width).S32Le(info.height).U16Le(info.planes).U16Le(info.bitCount);
    if (info.size == 16) return out;
    out.U32Le(info.compression).U32Le(info.imageSize);
    out.S32Le(info.xPixelsPerMetre).S32Le(info.yPixelsPerMetre);
    out.U32Le(info.colorsUsed).U32Le(0);
    if (info.size > 40) out.Zeros(info.size - 40);
    return out;
}

// "BM" file header, info header, and a little filler standing in for the
// palette and pixels (never read).
Bytes BmpFile(const InfoHeader& info) {
    const Bytes infoBytes = InfoHeaderBytes(info);
    ByteBuilder out;
    out.Text("BM").U32Le(0).U32Le(0).U32Le(static_cast<std::uint32_t>(14 + infoBytes.size()));
    out.Append(infoBytes).Zeros(16);
    return out;
}

Bytes BareHeader(const InfoHeader& info) { return ByteBuilder().Append(InfoHeaderBytes(info)).Zeros(16); }

InfoHeader With(InfoHeader info, auto change) {
    change(info);
    return info;
}

struct AcceptedCase {
    std::string name;
    Bytes file;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t colorCount;
    std::int32_t xDpi;
    friend void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << c.name; }
};

class BmpAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(BmpAccepted, ReportsSizeColoursAndResolution) {
    const AcceptedCase& c = GetParam();
    CodecImage image(ImageFormat::Bmp);
    ASSERT_TRUE(DecodeBytes(DecodeBmp, c.file, image)) << image.settings.lastError;
    EXPECT_EQ(image.header.width, c.width);
    EXPECT_EQ(image.header.height, c.height);
    EXPECT_EQ(image.header.colorCount, c.colorCount);
    EXPECT_EQ(image.settings.xDpi, c.xDpi);
}

const InfoHeader kBase{};

INSTANTIATE_TEST_SUITE_P(
    Headers, BmpAccepted,
    ::testing::Values(
        AcceptedCase{"OneBit", BmpFile(With(kBase, [](auto& i) { i.bitCount = 1; })), 4, 3, 2, 96},
        AcceptedCase{"FourBit", BmpFile(With(kBase, [](auto& i) { i.bitCount = 4; })), 4, 3, 16, 96},
        AcceptedCase{"EightBitListingSixteenColoursStillHas256",
                     BmpFile(With(kBase, [](auto& i) { i.bitCount = 8; i.colorsUsed = 16; })), 4, 3, 256, 96},
        AcceptedCase{"SixteenBitIsTrueColour", BmpFile(With(kBase, [](auto& i) { i.bitCount = 16; })), 4, 3, 0, 96},
        AcceptedCase{"SixteenBitBitfields",
                     BmpFile(With(kBase, [](auto& i) { i.bitCount = 16; i.compression = 3; })), 4, 3, 0, 96},
        AcceptedCase{"TwentyFourBit", BmpFile(kBase), 4, 3, 0, 96},
        AcceptedCase{"ThirtyTwoBit", BmpFile(With(kBase, [](auto& i) { i.bitCount = 32; })), 4, 3, 0, 96},
        AcceptedCase{"EightBitRle", BmpFile(With(kBase, [](auto& i) { i.bitCount = 8; i.compression = 1; })), 4,
                     3, 256, 96},
        AcceptedCase{"FourBitRle", BmpFile(With(kBase, [](auto& i) { i.bitCount = 4; i.compression = 2; })), 4,
                     3, 16, 96},
        AcceptedCase{"TopDownHeightMadePositive", BmpFile(With(kBase, [](auto& i) { i.height = -50; })), 4, 50,
                     0, 96},
        AcceptedCase{"ResolutionFrom11811PerMetre",
                     BmpFile(With(kBase, [](auto& i) { i.xPixelsPerMetre = 11811; })), 4, 3, 0, 300},
        AcceptedCase{"ResolutionFrom3780PerMetre",
                     BmpFile(With(kBase, [](auto& i) { i.xPixelsPerMetre = 3780; })), 4, 3, 0, 96},
        AcceptedCase{"ZeroPerMetreStoresZero", BmpFile(With(kBase, [](auto& i) { i.xPixelsPerMetre = 0; })), 4, 3,
                     0, 0},
        AcceptedCase{"CoreHeaderAfterFileHeader",
                     BmpFile(With(kBase, [](auto& i) { i.size = 12; i.width = 640; i.height = 480; i.bitCount = 8; })),
                     640, 480, 256, 0},
        AcceptedCase{"Os2ShortHeaderAfterFileHeader",
                     BmpFile(With(kBase, [](auto& i) { i.size = 16; i.width = 127; i.height = 64; i.bitCount = 8; })),
                     127, 64, 256, 0},
        AcceptedCase{"Os2ShortTopDownHeader",
                     BmpFile(With(kBase, [](auto& i) { i.size = 16; i.height = -5; i.bitCount = 24; })), 4, 5, 0, 0},
        AcceptedCase{"WindowsV5HeaderAfterFileHeader",
                     BmpFile(With(kBase, [](auto& i) { i.size = 124; i.bitCount = 8; i.colorsUsed = 256; })), 4, 3,
                     256, 96},
        AcceptedCase{"BareCoreHeader",
                     BareHeader(With(kBase, [](auto& i) { i.size = 12; i.width = 7; i.height = 9; i.bitCount = 1; })),
                     7, 9, 2, 0},
        AcceptedCase{"BareInfoHeader", BareHeader(With(kBase, [](auto& i) { i.xPixelsPerMetre = 11811; })), 4, 3,
                     0, 300},
        AcceptedCase{"BareOs2InfoHeader", BareHeader(With(kBase, [](auto& i) { i.size = 64; i.bitCount = 4; })), 4,
                     3, 16, 96},
        // A longer bare header proves itself: image size = stride × height,
        // one plane, no compression, no colour count. Stride of 4 × 24 bits is 12.
        AcceptedCase{"BareLongerHeaderThatChecksOut",
                     BareHeader(With(kBase, [](auto& i) { i.size = 108; i.imageSize = 12 * 3; })), 4, 3, 0, 96},
        AcceptedCase{"BareLongerTopDownHeaderThatChecksOut",
                     BareHeader(With(kBase, [](auto& i) { i.size = 108; i.height = -3; i.imageSize = 12 * 3; })), 4,
                     3, 0, 96},
        AcceptedCase{"HugeDimensionsProbedWithoutPixels",
                     BmpFile(With(kBase, [](auto& i) { i.width = 200000; i.height = -300000; })), 200000, 300000, 0,
                     96}),
    [](const auto& info) { return info.param.name; });

using testing::DecoderRejects;
using testing::RejectedBy;
using testing::RejectedCase;
using testing::RejectedCaseName;

INSTANTIATE_TEST_SUITE_P(
    Bmp, DecoderRejects,
    RejectedBy({ImageFormat::Bmp, DecodeBmp}, ::testing::Values(
        RejectedCase{"ZeroWidth", BmpFile(With(kBase, [](auto& i) { i.width = 0; })),
                     Gb("创建图像对象: 高度和宽度必须大于零")},
        RejectedCase{"ZeroHeight", BmpFile(With(kBase, [](auto& i) { i.height = 0; })),
                     Gb("创建图像对象: 高度和宽度必须大于零")},
        RejectedCase{"ShorterThanFileHeader", Truncated(BmpFile(kBase), 13), "Not a BMP"},
        RejectedCase{"Empty", Bytes{}, "Not a BMP"},
        RejectedCase{"InfoHeaderCutShort", Truncated(BmpFile(kBase), 14 + 30), "Error reading BMP info"},
        RejectedCase{"UnknownHeaderSizeAfterFileHeader", BmpFile(With(kBase, [](auto& i) { i.size = 20; })),
                     "Error reading BMP info"},
        RejectedCase{"BareOs2ShortHeader", BareHeader(With(kBase, [](auto& i) { i.size = 16; i.bitCount = 8; })),
                     "Error reading BMP info"},
        RejectedCase{"Os2ShortHeaderCutShort",
                     Truncated(BmpFile(With(kBase, [](auto& i) { i.size = 16; })), 14 + 15), "Error reading BMP info"},
        RejectedCase{"NegativeWidth", BmpFile(With(kBase, [](auto& i) { i.width = -4; })), "Error reading BMP info"},
        RejectedCase{"BareLongerHeaderWithWrongImageSize",
                     BareHeader(With(kBase, [](auto& i) { i.size = 108; i.imageSize = 35; })),
                     "Error reading BMP info"},
        RejectedCase{"BareLongerHeaderWithColourCount",
                     BareHeader(With(kBase, [](auto& i) { i.size = 108; i.imageSize = 36; i.colorsUsed = 2; })),
                     "Error reading BMP info"},
        RejectedCase{"BareLongerHeaderWithTwoPlanes",
                     BareHeader(With(kBase, [](auto& i) { i.size = 108; i.imageSize = 36; i.planes = 2; })),
                     "Error reading BMP info"},
        RejectedCase{"PlainText", ByteBuilder().Text("This is a plain text file, not a bitmap at all.\n"),
                     "Error reading BMP info"},
        RejectedCase{"TwentyFourBitRle", BmpFile(With(kBase, [](auto& i) { i.compression = 1; })),
                     "unknown compression"},
        RejectedCase{"ThirtyTwoBitJpeg", BmpFile(With(kBase, [](auto& i) { i.bitCount = 32; i.compression = 4; })),
                     "unknown compression"},
        RejectedCase{"EightBitBitfields", BmpFile(With(kBase, [](auto& i) { i.bitCount = 8; i.compression = 3; })),
                     "compression type not supported"},
        RejectedCase{"EightBitRle4", BmpFile(With(kBase, [](auto& i) { i.bitCount = 8; i.compression = 2; })),
                     "compression type not supported"},
        RejectedCase{"EmbeddedPng", BmpFile(With(kBase, [](auto& i) { i.bitCount = 0; i.compression = 5; })),
                     "compression type not supported"})),
    RejectedCaseName);

TEST(BmpDecoder, KeepsRawPixelsPerMetreAndRoundsBothResolutions) {
    CodecImage image(ImageFormat::Bmp);
    const Bytes file = BmpFile(With(kBase, [](auto& i) { i.xPixelsPerMetre = 11811; i.yPixelsPerMetre = 7874; }));
    ASSERT_TRUE(DecodeBytes(DecodeBmp, file, image));
    EXPECT_EQ(image.header.xPixelsPerMetre, 11811);
    EXPECT_EQ(image.header.yPixelsPerMetre, 7874);
    EXPECT_EQ(image.settings.xDpi, 300);
    EXPECT_EQ(image.settings.yDpi, 200);
    EXPECT_EQ(image.header.bitsPerPixel, 24);
}

TEST(BmpDecoder, ZeroPerMetreOverridesAnInheritedResolution) {
    CodecImage image(ImageFormat::Bmp);
    image.SetXDPI(300);
    ASSERT_TRUE(DecodeBytes(DecodeBmp, BmpFile(With(kBase, [](auto& i) { i.xPixelsPerMetre = 0; })), image));
    EXPECT_EQ(image.settings.xDpi, 0);
}

TEST(BmpDecoder, ReadsFromTheStreamPosition) {
    const Bytes file = ByteBuilder().Text("junk").Append(BmpFile(With(kBase, [](auto& i) { i.width = 9; })));
    MemoryStream stream{std::span<const unsigned char>(file.data(), file.size())};
    ASSERT_TRUE(stream.Seek(4, SeekOrigin::Begin));
    CodecImage image(ImageFormat::Bmp);
    ASSERT_TRUE(DecodeBmp(stream, image));
    EXPECT_EQ(image.header.width, 9);
}

}  // namespace
}  // namespace quillmere::image
