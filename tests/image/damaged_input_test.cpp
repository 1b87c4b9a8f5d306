// Decoders fed randomly damaged headers: every outcome is either a picture
// with sane properties or a failure that says why. Run under a sanitizer
// this also shows no read outside the input.

#include <gtest/gtest.h>

#include <random>

#include "image/decoders.h"
#include "image/exif_reader.h"
#include "tests/support/fixture_writers.h"

namespace quillmere::image {
namespace {

using fixtures::Bytes;

using Decoder = bool (*)(ByteStream&, CodecImage&);

struct Sample {
    const char* name;
    Decoder decode;
    Bytes bytes;
};

std::vector<Sample> Samples() {
    fixtures::JpegSpec jpeg;
    jpeg.markers.push_back({JPEG_APP0 + 1, fixtures::SimpleExifPayload(true, 300, 1, 2)});
    fixtures::PngSpec png;
    png.phys = true;
    png.xPerUnit = png.yPerUnit = 11811;
    fixtures::TiffPage page;
    page.resolution = true;
    page.xResolution = page.yResolution = 300;
    return {
        {"jpeg", DecodeJpeg, fixtures::WriteJpeg(jpeg)},
        {"png", DecodePng, fixtures::WritePng(png)},
        {"tiff", DecodeTiff, fixtures::WriteTiff({page, page})},
    };
}

bool SaneColourCount(std::uint32_t count) { return count == 0 || count == 2 || count == 16 || count == 256; }

TEST(DamagedInputTest, RandomByteDamageFailsCleanlyOrDecodesSanely) {
    std::mt19937 random(20240521);
    for (const Sample& sample : Samples()) {
        SCOPED_TRACE(sample.name);
        // Damage stays within the first 200 bytes (the headers) and the last
        // 300 (where libtiff puts its directories).
        for (int round = 0; round < 1500; ++round) {
            Bytes damaged = sample.bytes;
            const int flips = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < flips; ++i) {
                const std::size_t span = std::min<std::size_t>(200, damaged.size());
                std::size_t at = random() % span;
                if (random() % 2 == 0 && damaged.size() > 300) at = damaged.size() - 1 - random() % 300;
                damaged[at] = static_cast<std::uint8_t>(random());
            }
            if (random() % 4 == 0) damaged.resize(random() % damaged.size());
            MemoryStream stream(damaged);
            CodecImage image;
            if (sample.decode(stream, image)) {
                EXPECT_GT(image.header.width, 0);
                EXPECT_GT(image.header.height, 0);
                EXPECT_TRUE(SaneColourCount(image.header.colorCount)) << image.header.colorCount;
                EXPECT_GT(image.settings.xDpi, 0);
            } else {
                EXPECT_FALSE(image.settings.lastError.empty());
            }
        }
    }
}

TEST(DamagedInputTest, RandomExifBlocksEndWithAnAnswer) {
    std::mt19937 random(7);
    fixtures::ExifBuilder exif(false);
    const std::uint32_t sub = 8 + 2 + 3 * 12 + 4;
    exif.AddDirectory({{fixtures::kTagXResolution, fixtures::kFormatRational, 1, sub + 2 + 12 + 4},
                       {fixtures::kTagResolutionUnit, fixtures::kFormatShort, 1, 2},
                       {fixtures::kTagExifDirectory, fixtures::kFormatLong, 1, sub}},
                      sub);
    exif.AddDirectory({{fixtures::kTagYResolution, fixtures::kFormatRational, 1, sub + 2 + 12 + 4}}, 8);
    exif.AddRational(300, 1);
    const Bytes payload = exif.App1Payload();
    int accepted = 0;
    for (int round = 0; round < 5000; ++round) {
        Bytes damaged = payload;
        for (int i = 0; i < 3; ++i) damaged[6 + random() % (damaged.size() - 6)] = static_cast<std::uint8_t>(random());
        ExifReader reader;
        const bool ok = reader.ParseExifBlock(damaged, damaged.size() + 2);
        if (ok) {
            ++accepted;
        } else {
            EXPECT_FALSE(reader.error().empty());
        }
    }
    // Some damage hits bytes the walk never needs.
    EXPECT_GT(accepted, 0);
}

}  // namespace
}  // namespace quillmere::image
