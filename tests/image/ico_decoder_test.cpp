#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "image/decoders.h"
#include "tests/support/format_bytes.h"

namespace quillmere::image {
namespace {

using testing::ByteBuilder;
using testing::Bytes;
using testing::DecodeBytes;
using testing::Truncated;

// One entry's image: a bitmap info header of the given bit count, or an
// embedded PNG signature and IHDR.
struct IconImage {
    std::uint8_t widthByte = 16;
    std::uint8_t heightByte = 16;
    std::uint16_t bitCount = 8;  // bitmap entries
    bool png = false;
    std::uint8_t pngBitDepth = 8;
    std::uint8_t pngColourType = 6;
};

Bytes ImageBytes(const IconImage& image) {
    ByteBuilder out;
    if (image.png) {
        out.U8(0x89).Text("PNG").U8(0x0D).U8(0x0A).U8(0x1A).U8(0x0A);
        out.U32Be(13).Text("IHDR").U32Be(256).U32Be(256).U8(image.pngBitDepth).U8(image.pngColourType);
        out.U8(0).U8(0).U8(0).U32Be(0);
        return out;
    }
    const std::uint32_t side = image.widthByte == 0 ? 256 : image.widthByte;
    out.U32Le(40).U32Le(side).U32Le(side * 2).U16Le(1).U16Le(image.bitCount).Zeros(24);
    return out.Zeros(8);  // stand-in for the palette and masks, never read
}

Bytes IconFile(const std::vector<IconImage>& images, std::uint16_t type = 1) {
    ByteBuilder out;
    out.U16Le(0).U16Le(type).U16Le(static_cast<std::uint32_t>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    std::vector<Bytes> bodies;
    for (const IconImage& image : images) {
        bodies.push_back(ImageBytes(image));
        out.U8(image.widthByte).U8(image.heightByte).U8(0).U8(0).U16Le(1).U16Le(image.bitCount);
        out.U32Le(static_cast<std::uint32_t>(bodies.back().size())).U32Le(offset);
        offset += static_cast<std::uint32_t>(bodies.back().size());
    }
    for (const Bytes& body : bodies) out.Append(body);
    return out;
}

struct EntryCase {
    std::string name;
    Bytes file;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t colorCount;
    friend void PrintTo(const EntryCase& c, std::ostream* os) { *os << c.name; }
};

class IcoAccepted : public ::testing::TestWithParam<EntryCase> {};

TEST_P(IcoAccepted, ProbesTheFirstEntry) {
    const EntryCase& c = GetParam();
    CodecImage image(ImageFormat::Ico);
    image.SetXDPI(300);  // inherited: icons carry no resolution
    ASSERT_TRUE(DecodeBytes(DecodeIco, c.file, image)) << image.settings.lastError;
    EXPECT_EQ(image.header.width, c.width);
    EXPECT_EQ(image.header.height, c.height);
    EXPECT_EQ(image.header.colorCount, c.colorCount);
    EXPECT_EQ(image.settings.xDpi, 300);
}

const std::vector<IconImage> kThreeSizes = {
    {16, 16, 4},
    {32, 32, 8},
    {48, 48, 32},
};

INSTANTIATE_TEST_SUITE_P(
    Directories, IcoAccepted,
    ::testing::Values(
        EntryCase{"FirstOfThree", IconFile(kThreeSizes), 16, 16, 16},
        EntryCase{"TrueColourFirst", IconFile({{48, 48, 32}, {16, 16, 4}}), 48, 48, 0},
        EntryCase{"MonochromeEntry", IconFile({{32, 32, 1}}), 32, 32, 2},
        EntryCase{"CursorDirectory", IconFile({{32, 32, 24}}, 2), 32, 32, 0},
        EntryCase{"WidthByteZeroMeans256", IconFile({{0, 0, 32}}), 256, 256, 0},
        EntryCase{"EmbeddedRgbaPng", IconFile({{0, 0, 32, true, 8, 6}}), 256, 256, 0},
        EntryCase{"EmbeddedGreyPng", IconFile({{0, 0, 8, true, 8, 0}}), 256, 256, 256},
        EntryCase{"EmbeddedPalettePng", IconFile({{64, 64, 8, true, 4, 3}}), 64, 64, 16}),
    [](const auto& info) { return info.param.name; });

struct RejectedCase {
    std::string name;
    Bytes file;
    std::string error;
    friend void PrintTo(const RejectedCase& c, std::ostream* os) { *os << c.name; }
};

class IcoRejected : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(IcoRejected, FailsWithItsText) {
    const RejectedCase& c = GetParam();
    CodecImage image(ImageFormat::Ico);
    EXPECT_FALSE(DecodeBytes(DecodeIco, c.file, image));
    EXPECT_EQ(image.settings.lastError, c.error);
}

Bytes WithByte(Bytes bytes, std::size_t at, std::uint8_t value) {
    bytes.at(at) = value;
    return bytes;
}

// Offsets inside IconFile's output for one entry: entry at 6, its image at 22.
constexpr std::size_t kFirstEntry = 6;
constexpr std::size_t kFirstImage = 22;

INSTANTIATE_TEST_SUITE_P(
    Directories, IcoRejected,
    ::testing::Values(
        RejectedCase{"NoEntries", IconFile({}), "Icon entry not present"},
        RejectedCase{"ReservedWordSet", WithByte(IconFile(kThreeSizes), 0, 1), "Not an ICO"},
        RejectedCase{"TypeThree", WithByte(IconFile(kThreeSizes), 2, 3), "Not an ICO"},
        RejectedCase{"DirectoryCutShort", Truncated(IconFile(kThreeSizes), 5), "Not an ICO"},
        RejectedCase{"EntryCutShort", Truncated(IconFile(kThreeSizes), kFirstEntry + 8), "corrupted ICO"},
        RejectedCase{"ImageCutShort", Truncated(IconFile({{16, 16, 8}}), kFirstImage + 10), "corrupted ICO"},
        RejectedCase{"ImageOffsetPastTheEnd", WithByte(IconFile({{16, 16, 8}}), kFirstEntry + 15, 0x7F),
                     "corrupted ICO"},
        RejectedCase{"ImageIsNoBitmapHeader", WithByte(IconFile({{16, 16, 8}}), kFirstImage, 41), "corrupted ICO"},
        RejectedCase{"BitmapOfSevenBits", IconFile({{16, 16, 7}}), "corrupted ICO"},
        RejectedCase{"PngWithBadColourType", IconFile({{0, 0, 8, true, 8, 5}}), "corrupted ICO"}),
    [](const auto& info) { return info.param.name; });

TEST(IcoDecoder, PlainTextIsNoIcon) {
    CodecImage image(ImageFormat::Ico);
    EXPECT_FALSE(DecodeBytes(DecodeIco, ByteBuilder().Text("hello, this is text"), image));
    EXPECT_EQ(image.settings.lastError, "Not an ICO");
}

}  // namespace
}  // namespace quillmere::image
