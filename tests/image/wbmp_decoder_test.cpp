#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "image/decoders.h"
#include "tests/support/format_bytes.h"

namespace quillmere::image {
namespace {

using testing::ByteBuilder;
using testing::Bytes;
using testing::DecodeBytes;

struct WbmpCase {
    std::string name;
    Bytes file;
    bool accepted;
    std::int32_t width;   // when accepted
    std::int32_t height;
    std::string error;    // when rejected
    friend void PrintTo(const WbmpCase& c, std::ostream* os) { *os << c.name; }
};

class WbmpHeaders : public ::testing::TestWithParam<WbmpCase> {};

TEST_P(WbmpHeaders, AcceptOrFailWithItsText) {
    const WbmpCase& c = GetParam();
    CodecImage image(ImageFormat::Wbmp);
    image.SetXDPI(240);
    const bool accepted = DecodeBytes(DecodeWbmp, c.file, image);
    ASSERT_EQ(accepted, c.accepted) << image.settings.lastError;
    if (c.accepted) {
        EXPECT_EQ(image.header.width, c.width);
        EXPECT_EQ(image.header.height, c.height);
        EXPECT_EQ(image.header.colorCount, 2u);
        EXPECT_EQ(image.settings.xDpi, 240);
    } else {
        EXPECT_EQ(image.settings.lastError, c.error);
    }
}

Bytes Rows(std::size_t count) { return Bytes(count, 0xFF); }

INSTANTIATE_TEST_SUITE_P(
    Files, WbmpHeaders,
    ::testing::Values(
        WbmpCase{"SmallImage", ByteBuilder().U8(0).U8(0).U8(16).U8(32).Append(Rows(64)), true, 16, 32, ""},
        WbmpCase{"HeaderOnly", ByteBuilder().U8(0).U8(0).U8(1).U8(1), true, 1, 1, ""},
        WbmpCase{"AnyFixedHeaderByte", ByteBuilder().U8(0).U8(0x1F).U8(8).U8(8), true, 8, 8, ""},
        // Sides of 128 and more take several 7-bit groups: 0x81 0x48 is 200.
        WbmpCase{"MultiByteSides", ByteBuilder().U8(0).U8(0).U8(0x81).U8(0x48).U8(0x82).U8(0x00), true, 200, 256, ""},
        WbmpCase{"WidthByteZero", ByteBuilder().U8(0).U8(0).U8(0).U8(10).Append(Rows(10)), false, 0, 0,
                 "Corrupted WBMP"},
        WbmpCase{"HeightByteZero", ByteBuilder().U8(0).U8(0).U8(10).U8(0).Append(Rows(10)), false, 0, 0,
                 "Corrupted WBMP"},
        WbmpCase{"SideBeyond32Bits", ByteBuilder().U8(0).U8(0).Fill(4, 0xFF).U8(0x7F).U8(5), false, 0, 0,
                 "Not a WBMP"},
        WbmpCase{"TypeTooLong", ByteBuilder().U8(0xFF).U8(0xD8).U8(0xFF).U8(0xE0).U8(0x80).U8(0x10), false, 0, 0,
                 "Not a WBMP"},
        WbmpCase{"TypeOne", ByteBuilder().U8(1).U8(0).U8(10).U8(10), false, 0, 0, "Unsupported WBMP type"},
        // The start of a JFIF file: the type runs FF D8 FF E0 00, beyond 32 bits.
        WbmpCase{"TypeBeyond32Bits", ByteBuilder().U8(0xFF).U8(0xD8).U8(0xFF).U8(0xE0).U8(0).U8(0x10).Text("JFIF"),
                 false, 0, 0, "Not a WBMP"},
        WbmpCase{"ThreeBytes", ByteBuilder().U8(0).U8(0).U8(10), false, 0, 0, "Not a WBMP"},
        WbmpCase{"EndsInsideAMultiByteSide", ByteBuilder().U8(0).U8(0).U8(10).U8(0x81), false, 0, 0, "Not a WBMP"},
        WbmpCase{"Empty", Bytes{}, false, 0, 0, "Not a WBMP"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace quillmere::image
