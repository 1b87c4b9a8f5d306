#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
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

// Colour table entries, as the size field 0..7 encodes them: 2^(n+1).
constexpr std::uint8_t SizeField(std::uint32_t entries) {
    std::uint8_t field = 0;
    while ((2u << field) < entries) ++field;
    return field;
}

struct Frame {
    std::optional<std::uint32_t> localTableEntries;
    // LZW data sub-blocks; the bytes include values that look like block
    // introducers (0x21, 0x2C, 0x3B) to show they are skipped, not parsed.
    std::vector<Bytes> subBlocks = {Bytes{0x2C, 0x3B, 0x21, 0x00, 0x2C}, Bytes(255, 0x3B)};
    bool graphicControl = true;
};

struct GifSpec {
    std::string signature = "GIF89a";
    std::uint16_t width = 40;
    std::uint16_t height = 30;
    std::optional<std::uint32_t> globalTableEntries = 256;
    std::vector<Frame> frames = {Frame{}};
    bool applicationExtension = false;
    bool trailer = true;
};

void AppendTable(ByteBuilder& out, std::uint32_t entries) { out.Fill(3 * (2u << SizeField(entries)), 0x55); }

Bytes GifFile(const GifSpec& fixture) {
    ByteBuilder out;
    out.Text(fixture.signature).U16Le(fixture.width).U16Le(fixture.height);
    const std::uint8_t flags = fixture.globalTableEntries ? 0x80 | 0x70 | SizeField(*fixture.globalTableEntries) : 0x70;
    out.U8(flags).U8(0).U8(0);
    if (fixture.globalTableEntries) AppendTable(out, *fixture.globalTableEntries);
    if (fixture.applicationExtension) {
        out.U8(0x21).U8(0xFF).U8(11).Text("NETSCAPE2.0").U8(3).U8(1).U16Le(0).U8(0);
        out.U8(0x21).U8(0xFE).U8(5).Text("hello").U8(0);  // comment
    }
    for (const Frame& frame : fixture.frames) {
        if (frame.graphicControl) out.U8(0x21).U8(0xF9).U8(4).U8(0).U16Le(10).U8(0).U8(0);
        out.U8(0x2C).U16Le(0).U16Le(0).U16Le(fixture.width).U16Le(fixture.height);
        out.U8(frame.localTableEntries ? 0x80 | SizeField(*frame.localTableEntries) : 0);
        if (frame.localTableEntries) AppendTable(out, *frame.localTableEntries);
        out.U8(8);  // LZW minimum code size
        for (const Bytes& block : frame.subBlocks) out.U8(static_cast<std::uint32_t>(block.size())).Append(block);
        out.U8(0);
    }
    if (fixture.trailer) out.U8(0x3B);
    return out;
}

GifSpec With(GifSpec fixture, auto change) {
    change(fixture);
    return fixture;
}

struct AcceptedCase {
    std::string name;
    GifSpec fixture;
    std::int32_t frameIndex;
    std::uint32_t colorCount;
    std::int32_t frameCount;
    friend void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << c.name; }
};

class GifAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(GifAccepted, ScreenSizeDepthFromTableAndFrameCount) {
    const AcceptedCase& c = GetParam();
    CodecImage image(ImageFormat::Gif);
    image.settings.frameIndex = c.frameIndex;
    image.SetXDPI(300);  // GIF carries no resolution: the inherited one stays
    ASSERT_TRUE(DecodeBytes(DecodeGif, GifFile(c.fixture), image)) << image.settings.lastError;
    EXPECT_EQ(image.header.width, c.fixture.width);
    EXPECT_EQ(image.header.height, c.fixture.height);
    EXPECT_EQ(image.header.colorCount, c.colorCount);
    EXPECT_EQ(image.settings.frameCount, c.frameCount);
    EXPECT_EQ(image.settings.xDpi, 300);
}

const GifSpec kBase{};
const GifSpec kAnimated = With(kBase, [](GifSpec& s) {
    s.applicationExtension = true;
    s.frames = {Frame{}, Frame{16}, Frame{}, Frame{2}};
});

INSTANTIATE_TEST_SUITE_P(
    Files, GifAccepted,
    ::testing::Values(
        AcceptedCase{"TwoEntriesGiveDepth1", With(kBase, [](GifSpec& s) { s.globalTableEntries = 2; }), 0, 2, 1},
        AcceptedCase{"FourEntriesGiveDepth4", With(kBase, [](GifSpec& s) { s.globalTableEntries = 4; }), 0, 16, 1},
        AcceptedCase{"SixteenEntriesGiveDepth4", With(kBase, [](GifSpec& s) { s.globalTableEntries = 16; }), 0, 16,
                     1},
        AcceptedCase{"ThirtyTwoEntriesGiveDepth8", With(kBase, [](GifSpec& s) { s.globalTableEntries = 32; }), 0,
                     256, 1},
        AcceptedCase{"FullTableGivesDepth8", kBase, 0, 256, 1},
        AcceptedCase{"Gif87a", With(kBase, [](GifSpec& s) { s.signature = "GIF87a"; }), 0, 256, 1},
        AcceptedCase{"NoTrailerStillCounts", With(kBase, [](GifSpec& s) { s.trailer = false; }), 0, 256, 1},
        AcceptedCase{"AnimatedFirstFrame", kAnimated, 0, 256, 4},
        AcceptedCase{"AnimatedFrameWithLocalTable", kAnimated, 1, 16, 4},
        AcceptedCase{"AnimatedFrameWithoutLocalTable", kAnimated, 2, 256, 4},
        AcceptedCase{"AnimatedLastFrame", kAnimated, 3, 2, 4},
        AcceptedCase{"NoGlobalTableLocalDecides",
                     With(kBase, [](GifSpec& s) { s.globalTableEntries.reset(); s.frames = {Frame{4}}; }), 0, 16, 1},
        AcceptedCase{"HugeLogicalScreen", With(kBase, [](GifSpec& s) { s.width = 65535; s.height = 65535; }), 0,
                     256, 1}),
    [](const auto& info) { return info.param.name; });

TEST(GifDecoder, FrameIndexOutsideTheFramesFailsButReportsTheCount) {
    for (const std::int32_t index : {4, -1, 100}) {
        CodecImage image(ImageFormat::Gif);
        image.settings.frameIndex = index;
        EXPECT_FALSE(DecodeBytes(DecodeGif, GifFile(kAnimated), image)) << index;
        EXPECT_EQ(image.settings.lastError, "GIF frame not present") << index;
        EXPECT_EQ(image.settings.frameCount, 4) << index;
    }
}

TEST(GifDecoder, NoFramesFails) {
    CodecImage image(ImageFormat::Gif);
    EXPECT_FALSE(DecodeBytes(DecodeGif, GifFile(With(kBase, [](GifSpec& s) { s.frames.clear(); })), image));
    EXPECT_EQ(image.settings.lastError, "GIF frame not present");
    EXPECT_EQ(image.settings.frameCount, 0);
}

TEST(GifDecoder, TruncationCountsTheFramesWhoseDescriptorsAreIntact) {
    const Bytes whole = GifFile(kAnimated);
    // The walk sees two frames when the file ends inside the third image
    // descriptor, and three once that descriptor is complete.
    const Bytes one = GifFile(With(kAnimated, [](GifSpec& s) { s.frames.resize(1); }));
    const Bytes two = GifFile(With(kAnimated, [](GifSpec& s) { s.frames.resize(2); }));
    const std::size_t thirdFrameStart = two.size() - 1;  // without the trailer
    const std::size_t thirdDescriptorEnd = thirdFrameStart + 8 /* graphic control */ + 10;
    struct Cut {
        std::size_t length;
        std::int32_t frames;
    };
    for (const Cut cut : {Cut{one.size() - 1, 1}, Cut{thirdDescriptorEnd - 1, 2}, Cut{thirdDescriptorEnd, 3},
                          Cut{thirdDescriptorEnd + 7, 3}}) {
        CodecImage image(ImageFormat::Gif);
        EXPECT_TRUE(DecodeBytes(DecodeGif, Truncated(whole, cut.length), image)) << cut.length;
        EXPECT_EQ(image.settings.frameCount, cut.frames) << cut.length;
    }
}

using testing::DecoderRejects;
using testing::RejectedBy;
using testing::RejectedCase;
using testing::RejectedCaseName;

INSTANTIATE_TEST_SUITE_P(
    Gif, DecoderRejects,
    RejectedBy({ImageFormat::Gif, DecodeGif}, ::testing::Values(
        RejectedCase{"WrongSignature", GifFile(With(kBase, [](GifSpec& s) { s.signature = "GIF90a"; })), "Not a GIF"},
        RejectedCase{"PngSignature", ByteBuilder().U8(0x89).Text("PNG\r\n\x1a\n").Zeros(20), "Not a GIF"},
        RejectedCase{"ScreenDescriptorCutShort", Truncated(GifFile(kBase), 12), "Not a GIF"},
        RejectedCase{"Empty", Bytes{}, "Not a GIF"},
        RejectedCase{"GlobalTableCutShort", Truncated(GifFile(kBase), 13 + 100), "GIF frame not present"},
        RejectedCase{"ZeroWidthScreen", GifFile(With(kBase, [](GifSpec& s) { s.width = 0; })),
                     Gb("创建图像对象: 高度和宽度必须大于零")})),
    RejectedCaseName);

}  // namespace
}  // namespace quillmere::image
