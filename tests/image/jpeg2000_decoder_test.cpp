#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "image/decoders.h"
#include "image/openjpeg_reader.h"
#include "tests/support/format_bytes.h"
#include "tests/support/openjpeg_fixtures.h"

namespace quillmere::image {
namespace {

using testing::ByteBuilder;
using testing::Bytes;
using testing::DecodeBytes;
using testing::EncodeJ2k;
using testing::Gb;
using testing::J2kComponent;
using testing::J2kSpec;
using testing::Truncated;

constexpr const char* kCannotLoad = "error: cannot load image data";

// formatCode: the number a table names the format by.
bool DecodeFamily(const Bytes& bytes, CodecImage& image, std::int32_t formatCode) {
    const auto format = static_cast<ImageFormat>(formatCode);
    return DecodeBytes([format](ByteStream& s, CodecImage& i) { return DecodeJpeg2000Family(s, i, format); }, bytes,
                       image);
}

J2kSpec MakeJ2k(std::vector<J2kComponent> components, bool jp2 = false) {
    J2kSpec fixture;
    fixture.components = std::move(components);
    fixture.jp2 = jp2;
    return fixture;
}

// ---- JP2 and J2K through OpenJPEG ----

struct CodestreamCase {
    std::string name;
    J2kSpec fixture;
    std::uint32_t colorCount;
    friend void PrintTo(const CodestreamCase& c, std::ostream* os) { *os << c.name; }
};

class Jpeg2000Codestreams : public ::testing::TestWithParam<CodestreamCase> {};

TEST_P(Jpeg2000Codestreams, DepthFromTheComponents) {
    const CodestreamCase& c = GetParam();
    const Bytes file = EncodeJ2k(c.fixture);
    ASSERT_FALSE(file.empty());
    const std::int32_t ownFormat = c.fixture.jp2 ? 11 : 12;
    for (const std::int32_t format : {0, ownFormat}) {
        CodecImage image(static_cast<ImageFormat>(format));
        image.SetXDPI(300);  // the family keeps the inherited resolution
        ASSERT_TRUE(DecodeFamily(file, image, format)) << format << ": " << image.settings.lastError;
        EXPECT_EQ(image.header.width, 17);
        EXPECT_EQ(image.header.height, 13);
        EXPECT_EQ(image.header.colorCount, c.colorCount);
        EXPECT_EQ(image.settings.xDpi, 300);
        EXPECT_EQ(image.settings.formatType, static_cast<ImageFormat>(ownFormat));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encoded, Jpeg2000Codestreams,
    ::testing::Values(
        CodestreamCase{"J2kThreeEqualComponents", MakeJ2k({{8}, {8}, {8}}), 0},
        CodestreamCase{"Jp2ThreeEqualComponents", MakeJ2k({{8}, {8}, {8}}, true), 0},
        CodestreamCase{"J2kThreeSixteenBitComponents", MakeJ2k({{16}, {16}, {16}}), 0},
        CodestreamCase{"J2kGrey", MakeJ2k({{8}}), 256},
        CodestreamCase{"Jp2Grey", MakeJ2k({{8}}, true), 256},
        CodestreamCase{"J2kTwelveBitGreyCappedAt8", MakeJ2k({{12}}), 256},
        CodestreamCase{"J2kFourBitGrey", MakeJ2k({{4}}), 16},
        CodestreamCase{"J2kOneBitGrey", MakeJ2k({{1}}), 2},
        CodestreamCase{"J2kSubsampledChromaIsNotEqualSized", MakeJ2k({{8, 1, 1}, {8, 2, 2}, {8, 2, 2}}), 256},
        CodestreamCase{"J2kFourComponents", MakeJ2k({{8}, {8}, {8}, {8}}), 256},
        CodestreamCase{"J2kGreyWithAlpha", MakeJ2k({{4}, {8}}), 16}),
    [](const auto& info) { return info.param.name; });

TEST(Jpeg2000Decoder, FormatCodeRestrictsTheKind) {
    const Bytes j2k = EncodeJ2k(MakeJ2k({{8}}));
    const Bytes jp2 = EncodeJ2k(MakeJ2k({{8}}, true));
    struct Case {
        const Bytes* file;
        std::int32_t format;
        bool accepted;
    };
    for (const Case c : {Case{&j2k, 12, true}, Case{&j2k, 11, false}, Case{&j2k, 14, false},
                         Case{&jp2, 11, true}, Case{&jp2, 12, false}, Case{&jp2, 15, false}}) {
        CodecImage image;
        EXPECT_EQ(DecodeFamily(*c.file, image, c.format), c.accepted) << c.format;
        if (!c.accepted) {
            EXPECT_EQ(image.settings.lastError, kCannotLoad) << c.format;
        }
    }
}

TEST(Jpeg2000Decoder, TruncatedCodestreamsFail) {
    const Bytes j2k = EncodeJ2k(MakeJ2k({{8}, {8}, {8}}));
    const Bytes jp2 = EncodeJ2k(MakeJ2k({{8}, {8}, {8}}, true));
    for (const std::size_t length : {4, 20, 45}) {
        CodecImage image;
        EXPECT_FALSE(DecodeFamily(Truncated(j2k, length), image, 0)) << length;
        EXPECT_EQ(image.settings.lastError, kCannotLoad) << length;
    }
    for (const std::size_t length : {12, 40, 70}) {
        CodecImage image;
        EXPECT_FALSE(DecodeFamily(Truncated(jp2, length), image, 0)) << length;
        EXPECT_EQ(image.settings.lastError, kCannotLoad) << length;
    }
}

TEST(Jpeg2000Decoder, OpenJpegErrorsAreKeptNotPrinted) {
    const Bytes cut = Truncated(EncodeJ2k(MakeJ2k({{8}})), 20);
    MemoryStream stream{std::span<const unsigned char>(cut.data(), cut.size())};
    const OpenJpegHeaderResult result = ReadOpenJpegHeader(stream, OpenJpegContainer::Codestream);
    EXPECT_FALSE(result.header.has_value());
    EXPECT_FALSE(result.libraryError.empty());
}

TEST(Jpeg2000Decoder, TooManyComponents) {
    J2kSpec fixture = MakeJ2k(std::vector<J2kComponent>(65, J2kComponent{}));
    fixture.width = 2;
    fixture.height = 2;
    CodecImage image;
    EXPECT_FALSE(DecodeFamily(EncodeJ2k(fixture), image, 0));
    EXPECT_EQ(image.settings.lastError, "error: too much components");
}

// Sets Xsiz, Ysiz, XTsiz and YTsiz of the SIZ segment (found after SOC, so
// this works on a raw codestream and inside a JP2 file alike).
Bytes WithCodestreamSize(Bytes file, std::uint32_t width, std::uint32_t height, std::uint32_t tileWidth,
                         std::uint32_t tileHeight) {
    const Bytes marker = {0xFF, 0x4F, 0xFF, 0x51};
    const auto soc = std::search(file.begin(), file.end(), marker.begin(), marker.end());
    EXPECT_NE(soc, file.end());
    const auto at = static_cast<std::size_t>(soc - file.begin());
    auto put = [&](std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) file.at(at + offset + i) = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    };
    put(8, width);
    put(12, height);
    put(24, tileWidth);
    put(28, tileHeight);
    return file;
}

TEST(Jpeg2000Decoder, HugeDimensionsAreProbedFromTheHeaderOnly) {
    const Bytes huge =
        WithCodestreamSize(EncodeJ2k(MakeJ2k({{8}, {8}, {8}})), 2000000000, 1500000000, 2000000000, 1500000000);
    CodecImage image;
    ASSERT_TRUE(DecodeFamily(huge, image, 0)) << image.settings.lastError;
    EXPECT_EQ(image.header.width, 2000000000);
    EXPECT_EQ(image.header.height, 1500000000);
    EXPECT_EQ(image.header.colorCount, 0u);
}

// Tens of thousands of tiles: described from the SIZ segment, with the same
// rules as for a file OpenJPEG reads.
struct TiledCase {
    std::string name;
    J2kSpec fixture;
    std::uint32_t side;
    std::uint32_t tile;
    std::uint32_t colorCount;
    friend void PrintTo(const TiledCase& c, std::ostream* os) { *os << c.name; }
};

class Jpeg2000Tiling : public ::testing::TestWithParam<TiledCase> {};

TEST_P(Jpeg2000Tiling, SizeAndDepthWhateverTheTileCount) {
    const TiledCase& c = GetParam();
    CodecImage image;
    const Bytes file = WithCodestreamSize(EncodeJ2k(c.fixture), c.side, c.side, c.tile, c.tile);
    ASSERT_TRUE(DecodeFamily(file, image, 0)) << image.settings.lastError;
    EXPECT_EQ(image.header.width, static_cast<std::int32_t>(c.side));
    EXPECT_EQ(image.header.height, static_cast<std::int32_t>(c.side));
    EXPECT_EQ(image.header.colorCount, c.colorCount);
}

INSTANTIATE_TEST_SUITE_P(
    Tiles, Jpeg2000Tiling,
    ::testing::Values(TiledCase{"J2kFewTilesColour", MakeJ2k({{8}, {8}, {8}}), 4096, 1024, 0},
                      TiledCase{"J2kManyTilesColour", MakeJ2k({{8}, {8}, {8}}), 60000, 256, 0},
                      TiledCase{"Jp2ManyTilesColour", MakeJ2k({{8}, {8}, {8}}, true), 60000, 256, 0},
                      TiledCase{"J2kManyTilesGrey12", MakeJ2k({{12}}), 60000, 256, 256},
                      TiledCase{"J2kManyTilesSubsampled", MakeJ2k({{8, 1, 1}, {4, 2, 2}, {4, 2, 2}}), 60000, 256, 256},
                      TiledCase{"J2kMostTilesAllowed", MakeJ2k({{8}}), 255 * 256, 256, 256},
                      // A single tile of the largest size the SIZ segment can
                      // give, which OpenJPEG misreads as signed: from SIZ.
                      TiledCase{"J2kOneTileOfMaximalSize", MakeJ2k({{8}, {8}, {8}}), 4096, 0xFFFFFFFF, 0},
                      TiledCase{"Jp2OneTileJustAboveInt32", MakeJ2k({{8}}, true), 4096, 0x80000000, 256},
                      TiledCase{"J2kOneTileOfInt32Max", MakeJ2k({{8}}), 4096, 0x7FFFFFFF, 256}),
    [](const auto& info) { return info.param.name; });

TEST(Jpeg2000Decoder, MoreThan65535TilesFail) {
    CodecImage image;
    const Bytes file = WithCodestreamSize(EncodeJ2k(MakeJ2k({{8}})), 256 * 256 + 1, 256, 1, 1);
    EXPECT_FALSE(DecodeFamily(file, image, 0));
    EXPECT_EQ(image.settings.lastError, kCannotLoad);
}

// ---- PNM, PGX and Sun raster headers ----

struct HeaderCase {
    std::string name;
    Bytes file;
    bool accepted;
    std::int32_t width;
    std::int32_t height;
    std::uint32_t colorCount;
    std::string error;  // when rejected
    friend void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }
};

HeaderCase Accepts(std::string name, Bytes file, std::int32_t width, std::int32_t height, std::uint32_t colours) {
    return HeaderCase{std::move(name), std::move(file), true, width, height, colours, ""};
}
HeaderCase Rejects(std::string name, Bytes file, std::string error = kCannotLoad) {
    return HeaderCase{std::move(name), std::move(file), false, 0, 0, 0, std::move(error)};
}

class FamilyHeaders : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(FamilyHeaders, AcceptOrFailWithItsText) {
    const HeaderCase& c = GetParam();
    CodecImage image;
    image.SetXDPI(150);
    const bool accepted = DecodeFamily(c.file, image, 0);
    ASSERT_EQ(accepted, c.accepted) << image.settings.lastError;
    if (c.accepted) {
        EXPECT_EQ(image.header.width, c.width);
        EXPECT_EQ(image.header.height, c.height);
        EXPECT_EQ(image.header.colorCount, c.colorCount);
        EXPECT_EQ(image.settings.xDpi, 150);
    } else {
        EXPECT_EQ(image.settings.lastError, c.error);
    }
}

Bytes Text(std::string_view text) { return ByteBuilder().Text(text); }

INSTANTIATE_TEST_SUITE_P(
    Pnm, FamilyHeaders,
    ::testing::Values(
        Accepts("PlainBitmap", Text("P1\n# made by hand\n3 2\n0 1 0\n1 0 1\n"), 3, 2, 2),
        Accepts("RawBitmap", ByteBuilder().Text("P4 8 8\n").Fill(8, 0xAA), 8, 8, 2),
        Accepts("PlainGrey", Text("P2 4 4 255\n"), 4, 4, 256),
        Accepts("RawGrey", ByteBuilder().Text("P5\n640 480\n255\n").Fill(16, 0), 640, 480, 256),
        Accepts("SixteenBitGreyCappedAt8", Text("P5 4 4 65535\n"), 4, 4, 256),
        Accepts("FourBitGrey", Text("P5 4 4 15\n"), 4, 4, 16),
        Accepts("GreyOfTwoLevels", Text("P2 4 4 1\n"), 4, 4, 2),
        Accepts("PlainColour", Text("P3 2 2 255\n"), 2, 2, 0),
        Accepts("RawColourWithComments", Text("P6 # width next\n2480 # then height\n3508\n# max\n255\n"), 2480,
                3508, 0),
        Accepts("CommentTouchingMagic", Text("P6#c\n2 2 255\n"), 2, 2, 0),
        Accepts("HugeSides", Text("P6 2000000000 2000000000 255\n"), 2000000000, 2000000000, 0),
        Rejects("ZeroMaximum", Text("P6 2 2 0\n")),
        Rejects("MaximumAbove65535", Text("P6 2 2 70000\n")),
        Rejects("WidthOverflows", Text("P5 99999999999 2 255\n")),
        Rejects("MissingHeight", Text("P5 4")),
        Rejects("MissingMaximum", Text("P5 4 4")),
        Rejects("NonDigitWidth", Text("P5 x 4 255\n")),
        Rejects("Pam", Text("P7\nWIDTH 4\n")),
        Rejects("MagicOnly", Text("P3")),
        Rejects("ZeroWidth", Text("P6 0 2 255\n"), Gb("创建图像对象: 高度和宽度必须大于零")),
        Rejects("WiderThanTheHeaderHolds", Text("P5 3000000000 2 255\n"), Gb("超过规定的图像数据占用的内存大小"))),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Pgx, FamilyHeaders,
    ::testing::Values(
        Accepts("TwelveBitBigEndian", Text("PG ML +12 100 50\n"), 100, 50, 256),
        Accepts("FourBitLittleEndianUnsigned", Text("PG LM 4 10 20\n"), 10, 20, 16),
        Accepts("OneBitSigned", Text("PG ML -1 8 8\n"), 8, 8, 2),
        Accepts("SpaceAfterSign", Text("PG ML + 8 3 3\n"), 3, 3, 256),
        Rejects("UnknownByteOrder", Text("PG XX 8 1 1\n")),
        Rejects("NoSpaceAfterMagic", Text("PGML 8 1 1\n")),
        Rejects("ZeroPrecision", Text("PG ML 0 1 1\n")),
        Rejects("PrecisionAbove32", Text("PG ML 33 1 1\n")),
        Rejects("MissingHeight", Text("PG ML 8 1")),
        Rejects("ZeroHeight", Text("PG ML 8 5 0\n"), Gb("创建图像对象: 高度和宽度必须大于零"))),
    [](const auto& info) { return info.param.name; });

Bytes Ras(std::uint32_t width, std::uint32_t height, std::uint32_t depth, std::uint32_t type = 1,
          std::uint32_t mapType = 0, std::uint32_t mapLength = 0) {
    return ByteBuilder()
        .U32Be(0x59A66A95).U32Be(width).U32Be(height).U32Be(depth).U32Be(0).U32Be(type).U32Be(mapType).U32Be(mapLength)
        .Zeros(mapLength + 8);
}

INSTANTIATE_TEST_SUITE_P(
    Ras, FamilyHeaders,
    ::testing::Values(
        Accepts("TwentyFourBit", Ras(640, 480, 24), 640, 480, 0),
        Accepts("ThirtyTwoBit", Ras(64, 48, 32), 64, 48, 0),
        Accepts("EightBitGrey", Ras(64, 48, 8), 64, 48, 256),
        Accepts("EightBitWithColourMap", Ras(64, 48, 8, 1, 1, 768), 64, 48, 256),
        Accepts("OneBit", Ras(64, 48, 1, 0), 64, 48, 2),
        Rejects("RunLengthEncoded", Ras(64, 48, 24, 2)),
        Rejects("RgbOrderType", Ras(64, 48, 24, 3)),
        Rejects("RawColourMap", Ras(64, 48, 8, 1, 2, 768)),
        Rejects("ColourMapOnTrueColour", Ras(64, 48, 24, 1, 1, 768)),
        Rejects("ZeroDepth", Ras(64, 48, 0)),
        Rejects("DepthAbove32", Ras(64, 48, 48)),
        Rejects("HeaderCutShort", Truncated(Ras(64, 48, 24), 31)),
        Rejects("ZeroWidth", Ras(0, 48, 24), Gb("创建图像对象: 高度和宽度必须大于零"))),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Unrecognised, FamilyHeaders,
    ::testing::Values(Rejects("Empty", Bytes{}), Rejects("PlainText", Text("Plain text, no image here.\n")),
                      Rejects("JpegSignature", ByteBuilder().U8(0xFF).U8(0xD8).U8(0xFF).U8(0xE0).Zeros(20)),
                      Rejects("LoneP", Text("P"))),
    [](const auto& info) { return info.param.name; });

TEST(Jpeg2000Decoder, OwnHeaderFormatsAreRestrictedByCode) {
    const Bytes pnm = Text("P5 4 4 255\n");
    const Bytes pgx = Text("PG ML +8 4 4\n");
    const Bytes ras = Ras(4, 4, 8);
    struct Case {
        const Bytes* file;
        std::int32_t format;
        bool accepted;
    };
    for (const Case c : {Case{&pgx, 13, true}, Case{&pnm, 14, true}, Case{&ras, 15, true}, Case{&pnm, 13, false},
                         Case{&pgx, 15, false}, Case{&ras, 14, false}, Case{&pnm, 11, false}}) {
        CodecImage image;
        EXPECT_EQ(DecodeFamily(*c.file, image, c.format), c.accepted) << c.format;
        if (c.accepted) {
            EXPECT_EQ(image.settings.formatType, static_cast<ImageFormat>(c.format));
        }
    }
}

}  // namespace
}  // namespace quillmere::image
