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

struct Placeable {
    std::int16_t left = 0;
    std::int16_t top = 0;
    std::int16_t right = 1440;
    std::int16_t bottom = 2880;
    std::uint16_t unitsPerInch = 1440;
    std::uint16_t metafileType = 1;
    std::uint16_t headerWords = 9;
};

Bytes StandardHeader(const Placeable& p) {
    return ByteBuilder().U16Le(p.metafileType).U16Le(p.headerWords).U16Le(0x0300).U32Le(24).U16Le(0).U32Le(3).U16Le(0);
}

// Placeable header, standard header, and the end-of-file record.
Bytes WmfFile(const Placeable& p) {
    ByteBuilder out;
    out.U32Le(0x9AC6CDD7).U16Le(0);
    out.U16Le(static_cast<std::uint16_t>(p.left)).U16Le(static_cast<std::uint16_t>(p.top));
    out.U16Le(static_cast<std::uint16_t>(p.right)).U16Le(static_cast<std::uint16_t>(p.bottom));
    out.U16Le(p.unitsPerInch).U32Le(0).U16Le(0);
    out.Append(StandardHeader(p));
    return out.U32Le(3).U16Le(0);
}

Placeable With(Placeable p, auto change) {
    change(p);
    return p;
}

const Placeable kBase{};

struct AcceptedCase {
    std::string name;
    Placeable header;
    std::int32_t width;
    std::int32_t height;
    friend void PrintTo(const AcceptedCase& c, std::ostream* os) { *os << c.name; }
};

class WmfAccepted : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(WmfAccepted, BoundingBoxInPixelsAt96Dpi) {
    const AcceptedCase& c = GetParam();
    CodecImage image(ImageFormat::Wmf);
    image.SetXDPI(300);  // WMF keeps the inherited resolution
    ASSERT_TRUE(DecodeBytes(DecodeWmf, WmfFile(c.header), image)) << image.settings.lastError;
    EXPECT_EQ(image.header.width, c.width);
    EXPECT_EQ(image.header.height, c.height);
    EXPECT_EQ(image.header.colorCount, 0u);
    EXPECT_EQ(image.header.bitsPerPixel, 24);
    EXPECT_EQ(image.settings.xDpi, 300);
}

INSTANTIATE_TEST_SUITE_P(
    Files, WmfAccepted,
    ::testing::Values(
        AcceptedCase{"OneByTwoInchesAtTwips", kBase, 96, 192},
        AcceptedCase{"RoundsToNearestPixel",
                     With(kBase, [](Placeable& p) { p.right = 2540; p.bottom = 1000; p.unitsPerInch = 1000; }), 244, 96},
        AcceptedCase{"OffsetBox",
                     With(kBase, [](Placeable& p) { p.left = -720; p.top = 100; p.right = 720; p.bottom = 1540; }), 96,
                     96},
        AcceptedCase{"ReversedCorners", With(kBase, [](Placeable& p) { p.left = 1440; p.right = 0; }), 96, 192},
        AcceptedCase{"DiskMetafile", With(kBase, [](Placeable& p) { p.metafileType = 2; }), 96, 192},
        AcceptedCase{"TinyBoxIsOnePixel",
                     With(kBase, [](Placeable& p) { p.right = 1; p.bottom = 1; p.unitsPerInch = 1440; }), 1, 1},
        AcceptedCase{"WidestBox",
                     With(kBase, [](Placeable& p) { p.left = -32768; p.right = 32767; p.unitsPerInch = 1; }), 6291360,
                     192 * 1440}),
    [](const auto& info) { return info.param.name; });

using testing::DecoderRejects;
using testing::RejectedBy;
using testing::RejectedCase;
using testing::RejectedCaseName;

INSTANTIATE_TEST_SUITE_P(
    Wmf, DecoderRejects,
    RejectedBy({ImageFormat::Wmf, DecodeWmf}, ::testing::Values(
        RejectedCase{"Empty", Bytes{}, Gb("空的WMF")},
        RejectedCase{"ZeroWidthBox", WmfFile(With(kBase, [](Placeable& p) { p.right = 0; })), Gb("空的WMF")},
        RejectedCase{"ZeroHeightBox", WmfFile(With(kBase, [](Placeable& p) { p.bottom = 0; })), Gb("空的WMF")},
        RejectedCase{"NotPlaceable", ByteBuilder().Append(StandardHeader(kBase)).U32Le(3).U16Le(0), Gb("损坏的WMF")},
        RejectedCase{"ZeroUnitsPerInch", WmfFile(With(kBase, [](Placeable& p) { p.unitsPerInch = 0; })),
                     Gb("损坏的WMF")},
        RejectedCase{"PlaceableHeaderCutShort", Truncated(WmfFile(kBase), 21), Gb("损坏的WMF")},
        RejectedCase{"StandardHeaderMissing", Truncated(WmfFile(kBase), 22), Gb("损坏的WMF")},
        RejectedCase{"StandardHeaderOfWrongType", WmfFile(With(kBase, [](Placeable& p) { p.metafileType = 3; })),
                     Gb("损坏的WMF")},
        RejectedCase{"StandardHeaderOfWrongSize", WmfFile(With(kBase, [](Placeable& p) { p.headerWords = 12; })),
                     Gb("损坏的WMF")},
        RejectedCase{"PlainText", ByteBuilder().Text("a text file that is not a metafile"), Gb("损坏的WMF")})),
    RejectedCaseName);

}  // namespace
}  // namespace quillmere::image
