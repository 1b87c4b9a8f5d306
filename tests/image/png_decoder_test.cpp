#include <gtest/gtest.h>

#include <zlib.h>

#include "image/decoders.h"
#include "tests/support/fixture_writers.h"

namespace quillmere::image {
namespace {

using fixtures::Bytes;
using fixtures::PngSpec;

struct Decoded {
    bool ok;
    CodecImage image;
};

Decoded Decode(const Bytes& bytes) {
    MemoryStream stream(bytes);
    CodecImage image(ImageFormat::Png);
    const bool ok = DecodePng(stream, image);
    return {ok, image};
}

struct DepthCase {
    const char* name;
    int bitDepth;
    int colorType;
    std::uint16_t depth;
    std::uint32_t colorCount;
};

TEST(PngDecoderTest, DepthAndColourCount) {
    const DepthCase cases[] = {
        {"1-bit grey", 1, PNG_COLOR_TYPE_GRAY, 1, 2},
        {"2-bit grey", 2, PNG_COLOR_TYPE_GRAY, 4, 16},
        {"4-bit palette", 4, PNG_COLOR_TYPE_PALETTE, 4, 16},
        {"8-bit palette", 8, PNG_COLOR_TYPE_PALETTE, 8, 256},
        {"8-bit grey", 8, PNG_COLOR_TYPE_GRAY, 8, 256},
        {"8-bit grey with alpha", 8, PNG_COLOR_TYPE_GRAY_ALPHA, 8, 256},
        {"16-bit grey", 16, PNG_COLOR_TYPE_GRAY, 8, 256},
        {"8-bit RGB", 8, PNG_COLOR_TYPE_RGB, 24, 0},
        {"8-bit RGBA", 8, PNG_COLOR_TYPE_RGB_ALPHA, 24, 0},
        {"16-bit RGB", 16, PNG_COLOR_TYPE_RGB, 24, 0},
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        PngSpec fixture;
        fixture.width = 33;
        fixture.height = 7;
        fixture.bitDepth = c.bitDepth;
        fixture.colorType = c.colorType;
        const Decoded decoded = Decode(fixtures::WritePng(fixture));
        ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
        EXPECT_EQ(decoded.image.header.width, 33);
        EXPECT_EQ(decoded.image.header.height, 7);
        EXPECT_EQ(decoded.image.header.bitsPerPixel, c.depth);
        EXPECT_EQ(decoded.image.header.colorCount, c.colorCount);
    }
}

struct PhysCase {
    const char* name;
    bool phys;
    std::uint32_t x;
    std::uint32_t y;
    int unit;
    std::int32_t xDpi;
    std::int32_t yDpi;
};

TEST(PngDecoderTest, ResolutionFromPhys) {
    const PhysCase cases[] = {
        {"11811 per metre", true, 11811, 3780, PNG_RESOLUTION_METER, 300, 96},
        {"no pHYs", false, 0, 0, 0, 96, 96},
        {"aspect ratio 1:1", true, 1, 1, PNG_RESOLUTION_UNKNOWN, 1, 1},
        {"unit 0, count 0", true, 0, 0, PNG_RESOLUTION_UNKNOWN, 96, 96},
        {"0 per metre", true, 0, 0, PNG_RESOLUTION_METER, 96, 96},
    };
    for (const PhysCase& c : cases) {
        SCOPED_TRACE(c.name);
        PngSpec fixture;
        fixture.phys = c.phys;
        fixture.xPerUnit = c.x;
        fixture.yPerUnit = c.y;
        fixture.unit = c.unit;
        const Decoded decoded = Decode(fixtures::WritePng(fixture));
        ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
        EXPECT_EQ(decoded.image.settings.xDpi, c.xDpi);
        EXPECT_EQ(decoded.image.settings.yDpi, c.yDpi);
    }
}

// Sets IHDR's width and height and fixes its CRC.
Bytes WithSize(Bytes png, std::uint32_t width, std::uint32_t height) {
    fixtures::PutBigEndian32(png, 16, width);
    fixtures::PutBigEndian32(png, 20, height);
    const auto crc = static_cast<std::uint32_t>(crc32(0, png.data() + 12, 17));
    fixtures::PutBigEndian32(png, 29, crc);
    return png;
}

TEST(PngDecoderTest, HugeHeaderProbesWithoutPixels) {
    const Decoded decoded = Decode(WithSize(fixtures::WritePng({}), 100000, 100000));
    ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
    EXPECT_EQ(decoded.image.header.width, 100000);
    EXPECT_EQ(decoded.image.header.height, 100000);
    EXPECT_EQ(decoded.image.header.colorCount, 0u);
}

TEST(PngDecoderTest, ZeroWidthFailsWithLibpngMessage) {
    const Decoded decoded = Decode(WithSize(fixtures::WritePng({}), 0, 4));
    EXPECT_FALSE(decoded.ok);
    EXPECT_FALSE(decoded.image.settings.lastError.empty());
}

TEST(PngDecoderTest, NotAPngFails) {
    const std::string text = "GIF89a and more text";
    const Decoded decoded = Decode(Bytes(text.begin(), text.end()));
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(decoded.image.settings.lastError, "Not a PNG file");
}

TEST(PngDecoderTest, TruncatedBeforeImageDataFails) {
    const Bytes png = fixtures::WritePng({});
    // Signature (8) + IHDR (25) is 33 bytes; every cut before the IDAT chunk fails.
    for (std::size_t length = 0; length < 41; ++length) {
        const Decoded decoded = Decode(Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_FALSE(decoded.ok) << length;
        EXPECT_FALSE(decoded.image.settings.lastError.empty()) << length;
    }
}

TEST(PngDecoderTest, CorruptHeaderCrcFails) {
    Bytes png = fixtures::WritePng({});
    png[29] ^= 0xFF;
    const Decoded decoded = Decode(png);
    EXPECT_FALSE(decoded.ok);
    EXPECT_FALSE(decoded.image.settings.lastError.empty());
}

}  // namespace
}  // namespace quillmere::image
