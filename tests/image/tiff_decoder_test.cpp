#include <gtest/gtest.h>

#include "image/decoders.h"
#include "tests/support/fixture_writers.h"

namespace quillmere::image {
namespace {

using fixtures::Bytes;
using fixtures::TiffPage;

struct Decoded {
    bool ok;
    CodecImage image;
};

Decoded Decode(const Bytes& bytes) {
    MemoryStream stream(bytes);
    CodecImage image(ImageFormat::Tif);
    const bool ok = DecodeTiff(stream, image);
    return {ok, image};
}

struct DepthCase {
    const char* name;
    std::uint16_t bitsPerSample;
    std::uint16_t samplesPerPixel;
    std::uint16_t photometric;
    std::uint16_t depth;
    std::uint32_t colorCount;
};

TEST(TiffDecoderTest, DepthAndColourCount) {
    const DepthCase cases[] = {
        {"bilevel, min-is-white", 1, 1, PHOTOMETRIC_MINISWHITE, 1, 2},
        {"bilevel, min-is-black", 1, 1, PHOTOMETRIC_MINISBLACK, 1, 2},
        {"4-bit grey", 4, 1, PHOTOMETRIC_MINISBLACK, 4, 16},
        {"8-bit grey", 8, 1, PHOTOMETRIC_MINISBLACK, 8, 256},
        {"16-bit grey", 16, 1, PHOTOMETRIC_MINISBLACK, 8, 256},
        {"1-bit palette", 1, 1, PHOTOMETRIC_PALETTE, 8, 256},
        {"4-bit palette", 4, 1, PHOTOMETRIC_PALETTE, 4, 16},
        {"8-bit palette", 8, 1, PHOTOMETRIC_PALETTE, 8, 256},
        {"24-bit RGB", 8, 3, PHOTOMETRIC_RGB, 24, 0},
        {"48-bit RGB", 16, 3, PHOTOMETRIC_RGB, 24, 0},
        {"CMYK", 8, 4, PHOTOMETRIC_SEPARATED, 24, 0},
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        TiffPage page;
        page.width = 21;
        page.height = 5;
        page.bitsPerSample = c.bitsPerSample;
        page.samplesPerPixel = c.samplesPerPixel;
        page.photometric = c.photometric;
        const Decoded decoded = Decode(fixtures::WriteTiff({page}));
        ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
        EXPECT_EQ(decoded.image.header.width, 21);
        EXPECT_EQ(decoded.image.header.height, 5);
        EXPECT_EQ(decoded.image.header.bitsPerPixel, c.depth);
        EXPECT_EQ(decoded.image.header.colorCount, c.colorCount);
    }
}

struct ResolutionCase {
    const char* name;
    bool present;
    float x;
    float y;
    std::uint16_t unit;
    std::int32_t xDpi;
    std::int32_t yDpi;
};

TEST(TiffDecoderTest, Resolution) {
    const ResolutionCase cases[] = {
        {"300, inch", true, 300.0f, 300.0f, RESUNIT_INCH, 300, 300},
        {"299.99, inch", true, 299.99f, 150.5f, RESUNIT_INCH, 299, 150},
        {"118.11, centimetre", true, 118.11f, 39.37f, RESUNIT_CENTIMETER, 300, 100},
        {"72, no unit", true, 72.4f, 72.4f, RESUNIT_NONE, 72, 72},
        {"absent", false, 0, 0, RESUNIT_INCH, 96, 96},
    };
    for (const ResolutionCase& c : cases) {
        SCOPED_TRACE(c.name);
        TiffPage page;
        page.resolution = c.present;
        page.xResolution = c.x;
        page.yResolution = c.y;
        page.unit = c.unit;
        const Decoded decoded = Decode(fixtures::WriteTiff({page}));
        ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
        EXPECT_EQ(decoded.image.settings.xDpi, c.xDpi);
        EXPECT_EQ(decoded.image.settings.yDpi, c.yDpi);
    }
}

TEST(TiffDecoderTest, AbsentResolutionKeepsInheritedValue) {
    const Bytes tiff = fixtures::WriteTiff({TiffPage{}});
    MemoryStream stream(tiff);
    CodecImage image(ImageFormat::Tif);
    image.SetXDPI(300);
    ASSERT_TRUE(DecodeTiff(stream, image));
    EXPECT_EQ(image.settings.xDpi, 300);
}

TEST(TiffDecoderTest, TheFirstPageIsProbed) {
    TiffPage first;
    first.width = 10;
    TiffPage second;
    second.width = 20;
    TiffPage third;
    third.width = 30;
    const Decoded decoded = Decode(fixtures::WriteTiff({first, second, third}));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.image.header.width, 10);
}

// Changes ImageWidth and ImageLength in a little-endian file's first directory.
Bytes WithSize(Bytes tiff, std::uint32_t width, std::uint32_t height) {
    const std::uint32_t directory = tiff[4] | tiff[5] << 8 | tiff[6] << 16 | static_cast<std::uint32_t>(tiff[7]) << 24;
    const std::uint16_t count = static_cast<std::uint16_t>(tiff[directory] | tiff[directory + 1] << 8);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 2 + 12 * i;
        const std::uint16_t tag = static_cast<std::uint16_t>(tiff[entry] | tiff[entry + 1] << 8);
        const std::uint16_t type = static_cast<std::uint16_t>(tiff[entry + 2] | tiff[entry + 3] << 8);
        if (tag != TIFFTAG_IMAGEWIDTH && tag != TIFFTAG_IMAGELENGTH) continue;
        const std::uint32_t value = tag == TIFFTAG_IMAGEWIDTH ? width : height;
        tiff[entry + 2] = TIFF_LONG;
        tiff[entry + 3] = 0;
        for (int b = 0; b < 4; ++b) tiff[entry + 8 + b] = static_cast<std::uint8_t>(value >> (8 * b));
        (void)type;
    }
    return tiff;
}

TEST(TiffDecoderTest, HugeHeaderProbesWithoutPixels) {
    TiffPage page;
    page.bitsPerSample = 8;
    page.samplesPerPixel = 3;
    page.photometric = PHOTOMETRIC_RGB;
    const Decoded decoded = Decode(WithSize(fixtures::WriteTiff({page}), 100000, 100000));
    ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
    EXPECT_EQ(decoded.image.header.width, 100000);
    EXPECT_EQ(decoded.image.header.height, 100000);
}

TEST(TiffDecoderTest, NotATiffFails) {
    const std::string text = "II is not enough for a TIFF header";
    const Decoded decoded = Decode(Bytes(text.begin(), text.end()));
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(decoded.image.settings.lastError, "Error encountered while opening TIFF file");
}

TEST(TiffDecoderTest, TruncatedFilesFailCleanly) {
    const Bytes tiff = fixtures::WriteTiff({TiffPage{}});
    const std::uint32_t directory = tiff[4] | tiff[5] << 8;
    // Any cut inside the header or the first directory's entries fails.
    for (std::size_t length = 0; length < directory + 2 + 12u; ++length) {
        const Decoded decoded = Decode(Bytes(tiff.begin(), tiff.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_FALSE(decoded.ok) << length;
    }
}

}  // namespace
}  // namespace quillmere::image
