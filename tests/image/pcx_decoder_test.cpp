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
using testing::Gb;
using testing::Truncated;

struct PcxHeader {
    std::uint8_t manufacturer = 10;
    std::uint8_t encoding = 1;
    std::uint8_t bitsPerPixel = 8;
    std::uint16_t xMin = 0;
    std::uint16_t yMin = 0;
    std::uint16_t xMax = 99;
    std::uint16_t yMax = 49;
    std::uint16_t xDpi = 300;
    std::uint16_t yDpi = 300;
    std::uint8_t planes = 1;
};

Bytes PcxFile(const PcxHeader& h) {
    ByteBuilder out;
    out.U8(h.manufacturer).U8(5).U8(h.encoding).U8(h.bitsPerPixel);
    out.U16Le(h.xMin).U16Le(h.yMin).U16Le(h.xMax).U16Le(h.yMax).U16Le(h.xDpi).U16Le(h.yDpi);
    out.Zeros(48).U8(0).U8(h.planes).U16Le(100).U16Le(1).Zeros(58);
    return out.Zeros(16);  // stand-in for run-length data
}

PcxHeader With(PcxHeader h, auto change) {
    change(h);
    return h;
}

const PcxHeader kBase{};

struct DepthCase {
    std::uint8_t planes;
    std::uint8_t bitsPerPixel;
    std::uint32_t colorCount;
};

TEST(PcxDecoder, DepthFromPlanesAndBits) {
    const DepthCase cases[] = {
        {3, 8, 0},    // RGB
        {4, 8, 0},    // RGBA
        {4, 1, 16},   // EGA planes
        {1, 8, 256},  // 256-colour palette
        {1, 1, 2},    // monochrome
        {1, 4, 16},
        {1, 2, 16},   // 2 bits round up to a 16-colour depth
        {2, 1, 2},
        {3, 1, 2},
        {2, 8, 256},
    };
    for (const DepthCase& c : cases) {
        CodecImage image(ImageFormat::Pcx);
        const Bytes file = PcxFile(With(kBase, [&](PcxHeader& h) { h.planes = c.planes; h.bitsPerPixel = c.bitsPerPixel; }));
        ASSERT_TRUE(DecodeBytes(DecodePcx, file, image)) << int(c.planes) << "x" << int(c.bitsPerPixel);
        EXPECT_EQ(image.header.colorCount, c.colorCount) << int(c.planes) << "x" << int(c.bitsPerPixel);
    }
}

TEST(PcxDecoder, SizeFromTheWindowCorners) {
    CodecImage image(ImageFormat::Pcx);
    const Bytes file = PcxFile(With(kBase, [](PcxHeader& h) { h.xMin = 10; h.xMax = 109; h.yMin = 5; h.yMax = 5; }));
    ASSERT_TRUE(DecodeBytes(DecodePcx, file, image));
    EXPECT_EQ(image.header.width, 100);
    EXPECT_EQ(image.header.height, 1);
}

TEST(PcxDecoder, StoresTheDpiWordsAsTheyAre) {
    struct DpiCase {
        std::uint16_t xDpi;
        std::uint16_t yDpi;
    };
    for (const DpiCase c : {DpiCase{300, 300}, DpiCase{0, 0}, DpiCase{72, 600}, DpiCase{65535, 1}}) {
        CodecImage image(ImageFormat::Pcx);
        image.SetXDPI(150);
        const Bytes file = PcxFile(With(kBase, [&](PcxHeader& h) { h.xDpi = c.xDpi; h.yDpi = c.yDpi; }));
        ASSERT_TRUE(DecodeBytes(DecodePcx, file, image));
        EXPECT_EQ(image.settings.xDpi, c.xDpi);
        EXPECT_EQ(image.settings.yDpi, c.yDpi);
    }
}

using testing::DecoderRejects;
using testing::RejectedBy;
using testing::RejectedCase;
using testing::RejectedCaseName;

INSTANTIATE_TEST_SUITE_P(
    Pcx, DecoderRejects,
    RejectedBy({ImageFormat::Pcx, DecodePcx}, ::testing::Values(
        RejectedCase{"HeaderCutShort", Truncated(PcxFile(kBase), 127), "Can't read PCX image"},
        RejectedCase{"Empty", Bytes{}, "Can't read PCX image"},
        RejectedCase{"WrongManufacturer", PcxFile(With(kBase, [](PcxHeader& h) { h.manufacturer = 11; })),
                     "Error: Not a PCX file"},
        RejectedCase{"UnencodedData", PcxFile(With(kBase, [](PcxHeader& h) { h.encoding = 0; })),
                     "PCX file has unknown encoding scheme"},
        RejectedCase{"FivePlanes", PcxFile(With(kBase, [](PcxHeader& h) { h.planes = 5; })),
                     "Can't handle image with more than 4 planes"},
        RejectedCase{"NoPlanes", PcxFile(With(kBase, [](PcxHeader& h) { h.planes = 0; })), "corrupted PCX"},
        RejectedCase{"ThreeBitsPerPixel", PcxFile(With(kBase, [](PcxHeader& h) { h.bitsPerPixel = 3; })),
                     "corrupted PCX"},
        RejectedCase{"EmptyWindow", PcxFile(With(kBase, [](PcxHeader& h) { h.xMin = 10; h.xMax = 9; })),
                     Gb("创建图像对象: 高度和宽度必须大于零")},
        RejectedCase{"ReversedCorners", PcxFile(With(kBase, [](PcxHeader& h) { h.yMin = 500; h.yMax = 10; })),
                     Gb("超过规定的图像数据占用的内存大小")})),
    RejectedCaseName);

}  // namespace
}  // namespace quillmere::image
