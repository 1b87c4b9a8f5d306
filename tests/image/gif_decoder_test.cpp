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
    std::uint32_t colorCount;
    friend void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << c.name; }
};

class GifAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(GifAccepted, ScreenSizeAndDepthFromTheFirstFramesTable) {
    const AcceptedCase& c = GetParam();
    CodecImage image(ImageFormat::Gif);
    image.SetXDPI(300);  // GIF carries no resolution: the inherited one stays
    ASSERT_TRUE(DecodeBytes(DecodeGif, GifFile(c.fixture), image)) << image.settings.lastError;
    EXPECT_EQ(image.header.width, c.fixture.width);
    EXPECT_EQ(image.header.height, c.fixture.height);
    EXPECT_EQ(image.header.colorCount, c.colorCount);
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
        AcceptedCase{"TwoEntriesGiveDepth1", With(kBase, [](GifSpec& s) { s.globalTableEntries = 2; }), 2},
        AcceptedCase{"FourEntriesGiveDepth4", With(kBase, [](GifSpec& s) { s.globalTableEntries = 4; }), 16},
        AcceptedCase{"SixteenEntriesGiveDepth4", With(kBase, [](GifSpec& s) { s.globalTableEntries = 16; }), 16},
        AcceptedCase{"ThirtyTwoEntriesGiveDepth8", With(kBase, [](GifSpec& s) { s.globalTableEntries = 32; }), 256},
        AcceptedCase{"FullTableGivesDepth8", kBase, 256},
        AcceptedCase{"Gif87a", With(kBase, [](GifSpec& s) { s.signature = "GIF87a"; }), 256},
        AcceptedCase{"NoTrailerStillCounts", With(kBase, [](GifSpec& s) { s.trailer = false; }), 256},
        AcceptedCase{"AnimatedFirstFrame", kAnimated, 256},
        AcceptedCase{"AnimatedFirstFrameWithLocalTable",
                     With(kAnimated, [](GifSpec& s) { s.frames = {Frame{16}, Frame{}, Frame{2}}; }), 16},
        AcceptedCase{"NoGlobalTableLocalDecides",
                     With(kBase, [](GifSpec& s) { s.globalTableEntries.reset(); s.frames = {Frame{4}}; }), 16},
        AcceptedCase{"HugeLogicalScreen", With(kBase, [](GifSpec& s) { s.width = 65535; s.height = 65535; }), 256}),
    [](const auto& info) { return info.param.name; });

TEST(GifDecoder, NoFramesFails) {
    CodecImage image(ImageFormat::Gif);
    EXPECT_FALSE(DecodeBytes(DecodeGif, GifFile(With(kBase, [](GifSpec& s) { s.frames.clear(); })), image));
    EXPECT_EQ(image.settings.lastError, "GIF frame not present");
}

TEST(GifDecoder, AFileCutAfterItsFirstFrameDescriptorStillHasThatFrame) {
    const Bytes whole = GifFile(kAnimated);
    // Everything before the frames, then the first frame's graphic control
    // extension (8 bytes) and its descriptor (10).
    const Bytes beforeFrames = GifFile(With(kAnimated, [](GifSpec& s) {
        s.frames.clear();
        s.trailer = false;
    }));
    const std::size_t firstDescriptorEnd = beforeFrames.size() + 8 + 10;
    CodecImage cutInside(ImageFormat::Gif);
    EXPECT_FALSE(DecodeBytes(DecodeGif, Truncated(whole, firstDescriptorEnd - 1), cutInside));
    EXPECT_EQ(cutInside.settings.lastError, "GIF frame not present");
    for (const std::size_t length : {firstDescriptorEnd, firstDescriptorEnd + 7, whole.size() - 30}) {
        CodecImage image(ImageFormat::Gif);
        EXPECT_TRUE(DecodeBytes(DecodeGif, Truncated(whole, length), image)) << length;
        EXPECT_EQ(image.header.colorCount, 256u) << length;
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
