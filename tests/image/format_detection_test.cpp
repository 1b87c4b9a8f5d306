// The formats read by the header decoders of this layer, found through
// DecodeFromFile: with the JPEG hint the program always passes, with their
// own codes, and with a failed hint whose text is kept.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "image/image_object.h"
#include "tests/support/format_bytes.h"
#include "tests/support/openjpeg_fixtures.h"

namespace quillmere::image {
namespace {

using testing::ByteBuilder;
using testing::Bytes;
using testing::EncodeJ2k;
using testing::Gb;
using testing::J2kSpec;

// A private directory under the system temporary directory, removed with
// everything in it when the test ends.
class ScratchDirectory {
public:
    ScratchDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-formats-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // Writes the file and returns its path as Text.
    Text Write(const std::string& name, const Bytes& bytes) const {
        const std::filesystem::path file = path_ / name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return TextFromUtf8(file.string());
    }

private:
    std::filesystem::path path_;
};

Bytes Bmp(std::int32_t width, std::int32_t height, std::uint16_t bits, std::int32_t pixelsPerMetre) {
    return ByteBuilder()
        .Text("BM").U32Le(0).U32Le(0).U32Le(54)
        .U32Le(40).S32Le(width).S32Le(height).U16Le(1).U16Le(bits).U32Le(0).U32Le(0)
        .S32Le(pixelsPerMetre).S32Le(pixelsPerMetre).U32Le(0).U32Le(0)
        .Zeros(64);
}

Bytes Icon() {
    return ByteBuilder()
        .U16Le(0).U16Le(1).U16Le(1)
        .U8(48).U8(48).U8(0).U8(0).U16Le(1).U16Le(4).U32Le(48).U32Le(22)
        .U32Le(40).U32Le(48).U32Le(96).U16Le(1).U16Le(4).Zeros(24)
        .Zeros(64);
}

Bytes Gif() {
    return ByteBuilder()
        .Text("GIF89a").U16Le(120).U16Le(80).U8(0x80 | 0x03).U8(0).U8(0).Fill(3 * 16, 9)
        .U8(0x2C).U16Le(0).U16Le(0).U16Le(120).U16Le(80).U8(0).U8(4).U8(3).U8(1).U8(2).U8(3).U8(0)
        .U8(0x2C).U16Le(0).U16Le(0).U16Le(10).U16Le(10).U8(0).U8(4).U8(1).U8(7).U8(0)
        .U8(0x3B);
}

Bytes Tga() {
    return ByteBuilder().U8(0).U8(0).U8(2).Zeros(5).U16Le(0).U16Le(0).U16Le(320).U16Le(200).U8(24).U8(0x20).Zeros(60);
}

Bytes Pcx() {
    return ByteBuilder()
        .U8(10).U8(5).U8(1).U8(8).U16Le(0).U16Le(0).U16Le(799).U16Le(599).U16Le(200).U16Le(200)
        .Zeros(48).U8(0).U8(3).U16Le(800).U16Le(1).Zeros(58)
        .Zeros(64);
}

Bytes Wbmp(std::uint8_t width, std::uint8_t height) {
    return ByteBuilder().U8(0).U8(0).U8(width).U8(height).Fill(32, 0xFF);
}

Bytes Wmf() {
    return ByteBuilder()
        .U32Le(0x9AC6CDD7).U16Le(0).U16Le(0).U16Le(0).U16Le(2880).U16Le(1440).U16Le(1440).U32Le(0).U16Le(0)
        .U16Le(1).U16Le(9).U16Le(0x0300).U32Le(12).U16Le(0).U32Le(3).U16Le(0)
        .U32Le(3).U16Le(0);
}

Bytes Ras() {
    return ByteBuilder().U32Be(0x59A66A95).U32Be(33).U32Be(44).U32Be(8).U32Be(0).U32Be(1).U32Be(0).U32Be(0).Zeros(64);
}

J2kSpec Grey(bool jp2) {
    J2kSpec fixture;
    fixture.components = {testing::J2kComponent{}};
    fixture.jp2 = jp2;
    return fixture;
}

struct DetectionCase {
    std::string name;
    Bytes file;
    ImageFormat ownFormat;
    std::int32_t width;
    std::int32_t height;
    std::int32_t xDpi;
    std::uint32_t colorCount;
    friend void PrintTo(const DetectionCase& c, std::ostream* os) { *os << c.name; }
};

class FormatDetection : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(FormatDetection, FoundWithTheJpegHintAndWithItsOwnCode) {
    const DetectionCase& c = GetParam();
    ScratchDirectory scratch;
    const Text path = scratch.Write("file-" + c.name, c.file);
    for (const ImageFormat format : {ImageFormat::Jpg, ImageFormat::Unknown, c.ownFormat}) {
        ImageHandle handle;
        ASSERT_TRUE(DecodeFromFile(handle, path, format))
            << static_cast<int>(format) << ": " << GetLastError(handle).bytes();
        EXPECT_EQ(GetWidth(handle), c.width) << static_cast<int>(format);
        EXPECT_EQ(GetHeight(handle), c.height) << static_cast<int>(format);
        EXPECT_EQ(GetXDPI(handle), c.xDpi) << static_cast<int>(format);
        EXPECT_EQ(GetNumColors(handle), c.colorCount) << static_cast<int>(format);
        EXPECT_EQ(GetJpegQuality(handle), 90) << static_cast<int>(format);
    }
}

INSTANTIATE_TEST_SUITE_P(
    HeaderFormats, FormatDetection,
    ::testing::Values(DetectionCase{"Bmp", Bmp(640, -480, 8, 11811), ImageFormat::Bmp, 640, 480, 300, 256},
                      DetectionCase{"BmpWithoutResolution", Bmp(64, 48, 24, 0), ImageFormat::Bmp, 64, 48, 0, 0},
                      DetectionCase{"Ico", Icon(), ImageFormat::Ico, 48, 48, 96, 16},
                      DetectionCase{"Gif", Gif(), ImageFormat::Gif, 120, 80, 96, 16},
                      DetectionCase{"Tga", Tga(), ImageFormat::Tga, 320, 200, 96, 0},
                      DetectionCase{"Pcx", Pcx(), ImageFormat::Pcx, 800, 600, 200, 0},
                      DetectionCase{"Wbmp", Wbmp(100, 20), ImageFormat::Wbmp, 100, 20, 96, 2},
                      DetectionCase{"Wmf", Wmf(), ImageFormat::Wmf, 192, 96, 96, 0},
                      DetectionCase{"Jp2", EncodeJ2k(Grey(true)), ImageFormat::Jp2, 17, 13, 96, 256},
                      DetectionCase{"J2k", EncodeJ2k(J2kSpec{}), ImageFormat::Jpc, 17, 13, 96, 0},
                      DetectionCase{"Pgx", ByteBuilder().Text("PG ML +8 30 20\n").Zeros(600), ImageFormat::Pgx, 30, 20, 96, 256},
                      DetectionCase{"Pnm", ByteBuilder().Text("P6\n# scan\n2480 3508\n255\n").Zeros(32), ImageFormat::Pnm, 2480,
                                    3508, 96, 0},
                      DetectionCase{"Ras", Ras(), ImageFormat::Ras, 33, 44, 96, 256}),
    [](const auto& info) { return info.param.name; });

TEST(FormatDetection, GifWithoutFramesKeepsItsText) {
    // The hinted GIF decoder finds no frame to probe; detection finds no
    // other format, and the GIF decoder's text is the one kept.
    ScratchDirectory scratch;
    const Bytes noFrames = ByteBuilder().Text("GIF89a").U16Le(10).U16Le(10).U8(0).U8(0).U8(0).U8(0x3B);
    ImageHandle handle;
    EXPECT_FALSE(DecodeFromFile(handle, scratch.Write("empty.gif", noFrames), ImageFormat::Gif));
    EXPECT_EQ(GetLastError(handle).bytes(), "GIF frame not present");
    EXPECT_EQ(GetWidth(handle), 0);
}

TEST(FormatDetection, FailedHintKeepsItsOwnText) {
    ScratchDirectory scratch;
    struct Case {
        std::string name;
        Bytes file;
        ImageFormat format;
        std::string error;
    };
    const Case cases[] = {
        {"zero-width.wbmp", Wbmp(0, 10), ImageFormat::Wbmp, "Corrupted WBMP"},
        {"zero-width.bmp", Bmp(0, 10, 24, 3780), ImageFormat::Bmp, Gb("创建图像对象: 高度和宽度必须大于零")},
        {"empty-box.wmf", ByteBuilder().U32Le(0x9AC6CDD7).Zeros(10).U16Le(1440).Zeros(6).U16Le(1).U16Le(9).Zeros(14), ImageFormat::Wmf, Gb("空的WMF")},
        {"no-maximum.pnm", ByteBuilder().Text("P5 4 4\n"), ImageFormat::Pnm, "error: cannot load image data"},
    };
    for (const Case& c : cases) {
        ImageHandle handle;
        EXPECT_FALSE(DecodeFromFile(handle, scratch.Write(c.name, c.file), c.format)) << c.name;
        EXPECT_EQ(GetLastError(handle).bytes(), c.error) << c.name;
        EXPECT_EQ(GetXDPI(handle), 96) << c.name;
    }
}

TEST(FormatDetection, EachFileStandsAlone) {
    // A 300-dpi BMP, then a GIF: the GIF shows 96, not the BMP's resolution.
    ScratchDirectory scratch;
    ImageHandle handle;
    ASSERT_TRUE(DecodeFromFile(handle, scratch.Write("a.bmp", Bmp(10, 10, 24, 11811)), ImageFormat::Jpg));
    EXPECT_EQ(GetXDPI(handle), 300);
    ASSERT_TRUE(DecodeFromFile(handle, scratch.Write("b.gif", Gif()), ImageFormat::Jpg));
    EXPECT_EQ(GetXDPI(handle), 96);
    EXPECT_EQ(GetWidth(handle), 120);
}

// An 8 x 8 ZSoft header of the given version, 72 dpi, whose EGA palette
// starts with bytes a TGA header would take for a pixel depth of 24: TGA,
// tried first, must leave it to the PCX decoder.
Bytes PcxOfVersion(std::uint8_t version, std::uint8_t bitsPerPixel, std::uint8_t planes) {
    return ByteBuilder()
        .U8(10).U8(version).U8(1).U8(bitsPerPixel).U16Le(0).U16Le(0).U16Le(7).U16Le(7).U16Le(72).U16Le(72)
        .U8(24).U8(24).Fill(46, 0x33).U8(0).U8(planes).U16Le(1).U16Le(1).Zeros(58)
        .Zeros(64);
}

TEST(FormatDetection, PcxOfEveryVersionIsNoTga) {
    struct Case {
        std::uint8_t version;
        std::uint8_t bitsPerPixel;
        std::uint8_t planes;
        std::uint32_t colorCount;
    };
    // 0: 2.5, 2: 2.8 with palette, 3: 2.8 without, 4: Paintbrush for Windows, 5: 3.0.
    const Case cases[] = {{0, 1, 1, 2}, {2, 1, 4, 16}, {3, 1, 4, 16}, {4, 4, 1, 16}, {5, 8, 1, 256}, {5, 8, 3, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "version " << int{c.version} << ", planes " << int{c.planes});
        const Bytes file = PcxOfVersion(c.version, c.bitsPerPixel, c.planes);
        for (const ImageFormat hint : {ImageFormat::Jpg, ImageFormat::Unknown}) {
            const ImageProbe probe = ProbeImageBytes(file, hint);
            ASSERT_TRUE(probe.decoded) << probe.lastError.bytes();
            EXPECT_EQ(probe.width, 8);
            EXPECT_EQ(probe.height, 8);
            EXPECT_EQ(probe.xDpi, 72);
            EXPECT_EQ(probe.colorCount, c.colorCount);
        }
    }
}

TEST(FormatDetection, TgaOfEveryImageTypeIsFound) {
    struct Case {
        std::uint8_t imageType;
        std::uint8_t pixelDepth;
        std::uint32_t colorCount;
    };
    const Case cases[] = {{1, 8, 256}, {2, 24, 0}, {3, 8, 256}, {9, 8, 256}, {10, 32, 0}, {11, 8, 256}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << int{c.imageType});
        const bool mapped = c.imageType == 1 || c.imageType == 9;
        ByteBuilder file;
        file.U8(0).U8(mapped ? 1 : 0).U8(c.imageType).U16Le(0).U16Le(mapped ? 256 : 0).U8(mapped ? 24 : 0);
        file.U16Le(0).U16Le(0).U16Le(320).U16Le(200).U8(c.pixelDepth).U8(0x20);
        if (mapped) file.Fill(3 * 256, 5);
        const Bytes bytes = file.Zeros(64);
        const ImageProbe probe = ProbeImageBytes(bytes, ImageFormat::Jpg);
        ASSERT_TRUE(probe.decoded) << probe.lastError.bytes();
        EXPECT_EQ(probe.width, 320);
        EXPECT_EQ(probe.height, 200);
        EXPECT_EQ(probe.xDpi, 96);
        EXPECT_EQ(probe.colorCount, c.colorCount);
    }
}

}  // namespace
}  // namespace quillmere::image
