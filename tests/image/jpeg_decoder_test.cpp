#include <gtest/gtest.h>

#include "image/decoders.h"
#include "tests/support/fixture_writers.h"

namespace quillmere::image {
namespace {

using fixtures::Bytes;
using fixtures::JpegSpec;

struct Decoded {
    bool ok;
    CodecImage image;
};

Decoded Decode(const Bytes& bytes) {
    MemoryStream stream(bytes);
    CodecImage image(ImageFormat::Jpg);
    const bool ok = DecodeJpeg(stream, image);
    return {ok, image};
}

struct ResolutionCase {
    const char* name;
    JpegSpec fixture;
    std::int32_t xDpi;
};

JpegSpec Jfif(std::uint8_t unit, std::uint16_t x, std::uint16_t y) {
    JpegSpec fixture;
    fixture.densityUnit = unit;
    fixture.xDensity = x;
    fixture.yDensity = y;
    return fixture;
}

JpegSpec WithExif(JpegSpec fixture, Bytes payload) {
    fixture.markers.push_back({JPEG_APP0 + 1, std::move(payload)});
    return fixture;
}

JpegSpec NoJfif() {
    JpegSpec fixture;
    fixture.jfif = false;
    return fixture;
}

TEST(JpegDecoderTest, Resolution) {
    Bytes damagedExif = fixtures::SimpleExifPayload(true, 300, 1, 2);
    damagedExif[6] = 'Q';
    const ResolutionCase cases[] = {
        {"JFIF unit 1, 300", Jfif(1, 300, 300), 300},
        {"JFIF unit 2, 118", Jfif(2, 118, 118), 300},
        {"JFIF unit 0, 1:1", Jfif(0, 1, 1), 1},
        {"no JFIF, no EXIF", NoJfif(), 1},
        {"JFIF unit 1, density 0", Jfif(1, 0, 0), 96},
        {"EXIF 300/1 inch over JFIF 200", WithExif(Jfif(1, 200, 200), fixtures::SimpleExifPayload(true, 300, 1, 2)),
         300},
        {"EXIF 11811/100 cm", WithExif(Jfif(1, 200, 200), fixtures::SimpleExifPayload(false, 11811, 100, 3)), 299},
        {"EXIF denominator 0 inherits", WithExif(Jfif(1, 200, 200), fixtures::SimpleExifPayload(true, 300, 0, 2)),
         96},
        {"EXIF unit 6 inherits", WithExif(Jfif(1, 200, 200), fixtures::SimpleExifPayload(true, 300, 1, 6)), 96},
        {"damaged EXIF falls back to JFIF", WithExif(Jfif(1, 200, 200), damagedExif), 200},
    };
    for (const ResolutionCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded decoded = Decode(fixtures::WriteJpeg(c.fixture));
        ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
        EXPECT_EQ(decoded.image.settings.xDpi, c.xDpi);
    }
}

TEST(JpegDecoderTest, ExifWithoutXResolutionKeepsInheritedValue) {
    fixtures::ExifBuilder exif(true);
    exif.AddDirectory({{fixtures::kTagResolutionUnit, fixtures::kFormatShort, 1, 2}});
    const Bytes jpeg = fixtures::WriteJpeg(WithExif(Jfif(1, 200, 200), exif.App1Payload()));
    MemoryStream stream(jpeg);
    CodecImage image(ImageFormat::Jpg);
    image.SetXDPI(150);  // what the attempt inherited
    ASSERT_TRUE(DecodeJpeg(stream, image));
    EXPECT_EQ(image.settings.xDpi, 150);
}

TEST(JpegDecoderTest, VerticalResolutionFollowsTheSameRules) {
    const Decoded decoded = Decode(fixtures::WriteJpeg(Jfif(2, 118, 40)));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.image.settings.xDpi, 300);
    EXPECT_EQ(decoded.image.settings.yDpi, 102);
}

struct ComponentsCase {
    int components;
    std::uint16_t depth;
    std::uint32_t colorCount;
};

TEST(JpegDecoderTest, DepthAndColourCountByComponents) {
    const ComponentsCase cases[] = {{1, 8, 256}, {3, 24, 0}, {4, 24, 0}};
    for (const ComponentsCase& c : cases) {
        SCOPED_TRACE(c.components);
        JpegSpec fixture;
        fixture.width = 2480;
        fixture.height = 35;
        fixture.components = c.components;
        const Decoded decoded = Decode(fixtures::WriteJpeg(fixture));
        ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
        EXPECT_EQ(decoded.image.header.width, 2480);
        EXPECT_EQ(decoded.image.header.height, 35);
        EXPECT_EQ(decoded.image.header.bitsPerPixel, c.depth);
        EXPECT_EQ(decoded.image.header.colorCount, c.colorCount);
        EXPECT_EQ(decoded.image.settings.jpegQuality, 75);  // the writer keeps libjpeg's default quality
    }
}

TEST(JpegDecoderTest, LargestDimensionsProbeWithoutPixels) {
    Bytes jpeg = fixtures::WriteJpeg({});
    // Rewrite the frame header's height and width to 65500 x 65500.
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = 0xFF; jpeg[i + 6] = 0xDC;
            jpeg[i + 7] = 0xFF; jpeg[i + 8] = 0xDC;
            break;
        }
    }
    const Decoded decoded = Decode(jpeg);
    ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
    EXPECT_EQ(decoded.image.header.width, 65500);
    EXPECT_EQ(decoded.image.header.height, 65500);
}

TEST(JpegDecoderTest, NotAJpegFailsWithLibjpegMessage) {
    const std::string text = "plain text, not an image\n";
    const Decoded decoded = Decode(Bytes(text.begin(), text.end()));
    EXPECT_FALSE(decoded.ok);
    EXPECT_EQ(decoded.image.settings.lastError, "Not a JPEG file: starts with 0x70 0x6c");
}

TEST(JpegDecoderTest, EmptyStreamFails) {
    const Decoded decoded = Decode(Bytes{});
    EXPECT_FALSE(decoded.ok);
    EXPECT_FALSE(decoded.image.settings.lastError.empty());
}

TEST(JpegDecoderTest, TruncatedHeadersFailAndTruncatedScanDataDoesNot) {
    const Bytes jpeg = fixtures::WriteJpeg({});
    std::size_t startOfScan = 0;
    for (std::size_t i = 2; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) {
            startOfScan = i;
            break;
        }
    }
    ASSERT_GT(startOfScan, 0u);
    for (std::size_t length = 0; length < jpeg.size(); ++length) {
        const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(length));
        const Decoded decoded = Decode(cut);
        // The header ends with the 14-byte scan header of a three-component file.
        if (length < startOfScan) {
            EXPECT_FALSE(decoded.ok) << length;
            EXPECT_FALSE(decoded.image.settings.lastError.empty()) << length;
        }
        if (length >= startOfScan + 14) {
            EXPECT_TRUE(decoded.ok) << length;
        }
    }
}

TEST(JpegDecoderTest, StartsFromStreamPosition) {
    Bytes withPrefix = {'x', 'y', 'z'};
    const Bytes jpeg = fixtures::WriteJpeg(Jfif(1, 300, 300));
    withPrefix.insert(withPrefix.end(), jpeg.begin(), jpeg.end());
    MemoryStream stream(withPrefix);
    stream.Seek(3, SeekOrigin::Begin);
    CodecImage image(ImageFormat::Jpg);
    ASSERT_TRUE(DecodeJpeg(stream, image));
    EXPECT_EQ(image.settings.xDpi, 300);
}

}  // namespace
}  // namespace quillmere::image
