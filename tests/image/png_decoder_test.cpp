#include <gtest/gtest.h>

#include <sys/resource.h>
#include <zlib.h>

#include <cstdlib>
#include <string>

#include "image/decoders.h"
#include "tests/support/fixture_writers.h"
#include "tests/support/sanitizer_build.h"

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

// A chunk of the given type: declared length, type, data and a CRC over
// type and data (the declared length need not be the data's).
Bytes Chunk(const std::string& type, std::uint32_t declaredLength, const Bytes& data) {
    Bytes chunk(8);
    fixtures::PutBigEndian32(chunk, 0, declaredLength);
    chunk.insert(chunk.begin() + 4, type.begin(), type.end());
    chunk.resize(8);
    chunk.insert(chunk.end(), data.begin(), data.end());
    uLong crc = crc32(0, chunk.data() + 4, 4);
    crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
    const std::size_t crcAt = chunk.size();
    chunk.resize(crcAt + 4);
    fixtures::PutBigEndian32(chunk, crcAt, static_cast<std::uint32_t>(crc));
    return chunk;
}

// The file with the chunk placed right after IHDR (signature 8 + IHDR 25).
Bytes WithChunkAfterHeader(Bytes png, const Bytes& chunk) {
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());
    return png;
}

TEST(PngDecoderTest, LargeAncillaryChunksAreSkippedAndPhysStillRead) {
    PngSpec fixture;
    fixture.phys = true;
    fixture.xPerUnit = 11811;
    fixture.yPerUnit = 11811;
    const Bytes png = fixtures::WritePng(fixture);
    // 3 MB of text-like data: beyond any chunk limit a probe sets, within what libpng reads.
    Bytes data(3 * 1024 * 1024, 'a');
    data[1] = 0;  // keyword "a"
    for (const char* type : {"tEXt", "zTXt", "iTXt", "iCCP", "pCAL", "sCAL", "sPLT", "eXIf", "quIL"}) {
        SCOPED_TRACE(type);
        const Decoded decoded =
            Decode(WithChunkAfterHeader(png, Chunk(type, static_cast<std::uint32_t>(data.size()), data)));
        ASSERT_TRUE(decoded.ok) << decoded.image.settings.lastError;
        EXPECT_EQ(decoded.image.header.width, 8);
        EXPECT_EQ(decoded.image.settings.xDpi, 300);
    }
}

TEST(PngDecoderTest, ChunksDeclaringGigabytesFailWithoutTakingMemory) {
    if (quillmere::testing::kShadowMemorySanitizer) GTEST_SKIP() << "the sanitizer's shadow memory counts as resident";
    // A valid header, then an ancillary chunk that declares 2 GB and ends
    // after a few bytes: the form of libpng's own crash tests.
    const Bytes png = fixtures::WritePng({});
    const Bytes start(png.begin(), png.begin() + 33);
    EXPECT_EXIT(
        {
            rusage before{};
            getrusage(RUSAGE_SELF, &before);
            bool anyDecoded = false;
            for (const char* type : {"tEXt", "zTXt", "iTXt", "pCAL", "sCAL", "sPLT", "iCCP", "quIL"}) {
                Bytes file = start;
                const Bytes chunk = Chunk(type, 0x7FFFFFF0u, Bytes{'k', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
                file.insert(file.end(), chunk.begin(), chunk.end() - 4);
                anyDecoded = anyDecoded || Decode(file).ok;
            }
            rusage after{};
            getrusage(RUSAGE_SELF, &after);
            const long grownKiB = after.ru_maxrss - before.ru_maxrss;
            std::exit(!anyDecoded && grownKiB < 16 * 1024 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quillmere::image
