// Writes the seed corpora of the fuzz targets: one small valid file of every
// form each decoder knows, made here so no corpus is kept in the repository.
//
//   quillmere_make_seeds OUT
//
// OUT/decode: each file after a format byte (its own code, and 3, the code
// the extraction run passes); OUT/exif: JPEG files for the segment scan and
// bare APP1 payloads for the block parser; OUT/text: names and values;
// OUT/stream: read and seek scripts.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/fixture_writers.h"
#include "tests/support/format_bytes.h"
#include "tests/support/jp2_fixtures.h"
#include "tests/support/openjpeg_fixtures.h"

namespace {

namespace fs = std::filesystem;
namespace fixtures = quillmere::image::fixtures;
using quillmere::image::testing::ByteBuilder;
using Bytes = std::vector<std::uint8_t>;

enum Format : std::uint8_t {
    kBmp = 1, kGif = 2, kJpg = 3, kPng = 4, kIco = 5, kTif = 6, kTga = 7, kPcx = 8,
    kWbmp = 9, kWmf = 10, kJp2 = 11, kJpc = 12, kPgx = 13, kPnm = 14, kRas = 15,
};

class SeedWriter {
public:
    explicit SeedWriter(fs::path directory) : directory_(std::move(directory)) { fs::create_directories(directory_); }

    void Write(const std::string& name, const Bytes& bytes) const {
        std::ofstream out(directory_ / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    // The file after a selector byte.
    void Write(const std::string& name, std::uint8_t selector, const Bytes& bytes) const {
        Bytes prefixed{selector};
        prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
        Write(name, prefixed);
    }

private:
    fs::path directory_;
};

// ---- JPEG and EXIF ----

// A first directory with the resolution and a link to an EXIF
// sub-directory, and a linked second directory as a thumbnail's.
Bytes LinkedExifPayload(bool motorola) {
    fixtures::ExifBuilder exif(motorola);
    const std::uint32_t ifd0 = 8;
    const std::uint32_t ifd0Size = 2 + 4 * 12 + 4;
    const std::uint32_t sub = ifd0 + ifd0Size;
    const std::uint32_t subSize = 2 + 1 * 12 + 4;
    const std::uint32_t ifd1 = sub + subSize;
    const std::uint32_t ifd1Size = 2 + 2 * 12 + 4;
    const std::uint32_t rational = ifd1 + ifd1Size;
    exif.AddDirectory({{fixtures::kTagXResolution, fixtures::kFormatRational, 1, rational},
                       {fixtures::kTagYResolution, fixtures::kFormatRational, 1, rational},
                       {fixtures::kTagResolutionUnit, fixtures::kFormatShort, 1, 2},
                       {fixtures::kTagExifDirectory, fixtures::kFormatLong, 1, sub}},
                      ifd1);
    exif.AddDirectory({{0x0112, fixtures::kFormatShort, 1, 1}});  // orientation
    exif.AddDirectory({{fixtures::kTagXResolution, fixtures::kFormatRational, 1, rational},
                       {fixtures::kTagResolutionUnit, fixtures::kFormatShort, 1, 3}});
    exif.AddRational(300, 1);
    return exif.App1Payload();
}

struct JpegSeed {
    std::string name;
    Bytes bytes;
};

std::vector<JpegSeed> JpegSeeds() {
    std::vector<JpegSeed> seeds;
    const std::pair<const char*, int> kinds[] = {{"grey", 1}, {"colour", 3}, {"cmyk", 4}};
    for (const auto& [kind, components] : kinds) {
        fixtures::JpegSpec plain;
        plain.components = components;
        plain.xDensity = plain.yDensity = 300;
        seeds.push_back({std::string("jpeg-") + kind, fixtures::WriteJpeg(plain)});
        for (const bool motorola : {false, true}) {
            fixtures::JpegSpec fixture = plain;
            fixture.markers.push_back({JPEG_APP0 + 1, motorola ? LinkedExifPayload(true)
                                                            : fixtures::SimpleExifPayload(false, 600, 1, 2)});
            fixture.markers.push_back({JPEG_COM, Bytes{'s', 'c', 'a', 'n'}});
            seeds.push_back({std::string("jpeg-") + kind + (motorola ? "-exif-mm" : "-exif-ii"),
                             fixtures::WriteJpeg(fixture)});
        }
    }
    fixtures::JpegSpec centimetres;
    centimetres.jfif = true;
    centimetres.densityUnit = 2;
    centimetres.xDensity = centimetres.yDensity = 118;
    seeds.push_back({"jpeg-density-cm", fixtures::WriteJpeg(centimetres)});
    fixtures::JpegSpec noJfif;
    noJfif.jfif = false;
    seeds.push_back({"jpeg-no-jfif", fixtures::WriteJpeg(noJfif)});
    return seeds;
}

// ---- PNG and TIFF ----

std::vector<std::pair<std::string, Bytes>> PngSeeds() {
    struct Kind {
        const char* name;
        int bitDepth;
        int colourType;
    };
    const Kind kinds[] = {
        {"grey1", 1, PNG_COLOR_TYPE_GRAY},        {"grey2", 2, PNG_COLOR_TYPE_GRAY},
        {"grey4", 4, PNG_COLOR_TYPE_GRAY},        {"grey8", 8, PNG_COLOR_TYPE_GRAY},
        {"grey16", 16, PNG_COLOR_TYPE_GRAY},      {"palette1", 1, PNG_COLOR_TYPE_PALETTE},
        {"palette4", 4, PNG_COLOR_TYPE_PALETTE},  {"palette8", 8, PNG_COLOR_TYPE_PALETTE},
        {"grey-alpha8", 8, PNG_COLOR_TYPE_GRAY_ALPHA}, {"rgb8", 8, PNG_COLOR_TYPE_RGB},
        {"rgb16", 16, PNG_COLOR_TYPE_RGB},        {"rgba8", 8, PNG_COLOR_TYPE_RGB_ALPHA},
        {"rgba16", 16, PNG_COLOR_TYPE_RGB_ALPHA},
    };
    std::vector<std::pair<std::string, Bytes>> seeds;
    for (const Kind& kind : kinds) {
        fixtures::PngSpec fixture;
        fixture.bitDepth = kind.bitDepth;
        fixture.colorType = kind.colourType;
        fixture.phys = kind.bitDepth == 8;
        fixture.xPerUnit = fixture.yPerUnit = 11811;
        seeds.emplace_back(std::string("png-") + kind.name, fixtures::WritePng(fixture));
    }
    return seeds;
}

std::vector<std::pair<std::string, Bytes>> TiffSeeds() {
    fixtures::TiffPage bilevel;
    bilevel.bitsPerSample = 1;
    bilevel.photometric = PHOTOMETRIC_MINISWHITE;
    bilevel.resolution = true;
    bilevel.xResolution = bilevel.yResolution = 300;
    fixtures::TiffPage palette;
    palette.bitsPerSample = 8;
    palette.photometric = PHOTOMETRIC_PALETTE;
    fixtures::TiffPage rgb;
    rgb.samplesPerPixel = 3;
    rgb.photometric = PHOTOMETRIC_RGB;
    rgb.resolution = true;
    rgb.xResolution = rgb.yResolution = 118.11f;
    rgb.unit = RESUNIT_CENTIMETER;
    rgb.position = true;
    rgb.xPosition = 1.5f;
    rgb.yPosition = 2.0f;
    fixtures::TiffPage grey16;
    grey16.bitsPerSample = 16;
    return {
        {"tiff-bilevel", fixtures::WriteTiff({bilevel})},
        {"tiff-palette", fixtures::WriteTiff({palette})},
        {"tiff-rgb", fixtures::WriteTiff({rgb})},
        {"tiff-grey16", fixtures::WriteTiff({grey16})},
        {"tiff-three-pages", fixtures::WriteTiff({bilevel, rgb, palette})},
    };
}

// ---- the formats read by our own header code ----

Bytes BmpInfoHeader(std::uint32_t size, std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                    std::uint32_t compression) {
    ByteBuilder out;
    out.U32Le(size);
    if (size == 12) {
        return out.U16Le(static_cast<std::uint32_t>(width)).U16Le(static_cast<std::uint32_t>(height)).U16Le(1).U16Le(bitCount);
    }
    const std::uint32_t stride = (static_cast<std::uint32_t>(width) * bitCount + 31) / 32 * 4;
    const auto rows = static_cast<std::uint32_t>(height < 0 ? -height : height);
    out.S32Le(width).S32Le(height).U16Le(1).U16Le(bitCount).U32Le(compression).U32Le(stride * rows);
    out.S32Le(11811).S32Le(11811).U32Le(0).U32Le(0);
    if (size > 40) out.Zeros(size - 40);
    return out;
}

Bytes BmpFile(const Bytes& info) {
    ByteBuilder out;
    out.Text("BM").U32Le(static_cast<std::uint32_t>(14 + info.size() + 64)).U32Le(0);
    out.U32Le(static_cast<std::uint32_t>(14 + info.size())).Append(info);
    return out.Zeros(64);
}

std::vector<std::pair<std::string, Bytes>> BmpSeeds() {
    return {
        {"bmp-1bit", BmpFile(BmpInfoHeader(40, 7, 3, 1, 0))},
        {"bmp-4bit-rle", BmpFile(BmpInfoHeader(40, 7, 3, 4, 2))},
        {"bmp-8bit", BmpFile(BmpInfoHeader(40, 7, 3, 8, 0))},
        {"bmp-8bit-rle", BmpFile(BmpInfoHeader(40, 7, 3, 8, 1))},
        {"bmp-16bit-bitfields", BmpFile(BmpInfoHeader(40, 7, 3, 16, 3))},
        {"bmp-24bit-top-down", BmpFile(BmpInfoHeader(40, 7, -3, 24, 0))},
        {"bmp-32bit-v5", BmpFile(BmpInfoHeader(124, 7, 3, 32, 3))},
        {"bmp-core", BmpFile(BmpInfoHeader(12, 7, 3, 24, 0))},
        {"bmp-os2", BmpFile(BmpInfoHeader(64, 7, 3, 8, 0))},
        {"bmp-bare-info", ByteBuilder().Append(BmpInfoHeader(40, 7, 3, 24, 0)).Zeros(64)},
        {"bmp-bare-v4", ByteBuilder().Append(BmpInfoHeader(108, 7, 3, 24, 0)).Zeros(64)},
    };
}

Bytes GifFile(bool twoFrames) {
    ByteBuilder out;
    out.Text("GIF89a").U16Le(40).U16Le(30).U8(0xF7).U8(0).U8(0).Fill(3 * 256, 0x55);
    out.U8(0x21).U8(0xFF).U8(11).Text("NETSCAPE2.0").U8(3).U8(1).U16Le(0).U8(0);
    out.U8(0x21).U8(0xFE).U8(5).Text("hello").U8(0);
    for (int frame = 0; frame < (twoFrames ? 2 : 1); ++frame) {
        out.U8(0x21).U8(0xF9).U8(4).U8(0).U16Le(10).U8(0).U8(0);
        out.U8(0x2C).U16Le(0).U16Le(0).U16Le(40).U16Le(30);
        if (frame == 1) {
            out.U8(0x81).Fill(3 * 4, 0x22);  // a local table of 4 entries
        } else {
            out.U8(0);
        }
        out.U8(8).U8(4).U8(0x2C).U8(0x3B).U8(0x21).U8(0x00).U8(0);
    }
    return out.U8(0x3B);
}

Bytes IconFile(bool png, std::uint16_t type) {
    ByteBuilder image;
    if (png) {
        image.U8(0x89).Text("PNG").U8(0x0D).U8(0x0A).U8(0x1A).U8(0x0A);
        image.U32Be(13).Text("IHDR").U32Be(256).U32Be(256).U8(8).U8(6).U8(0).U8(0).U8(0).U32Be(0);
    } else {
        image.U32Le(40).U32Le(16).U32Le(32).U16Le(1).U16Le(8).Zeros(24).Zeros(64);
    }
    ByteBuilder out;
    out.U16Le(0).U16Le(type).U16Le(2);
    const std::uint32_t first = 6 + 2 * 16;
    for (int entry = 0; entry < 2; ++entry) {
        out.U8(png ? 0 : 16).U8(png ? 0 : 16).U8(0).U8(0).U16Le(1).U16Le(png ? 32 : 8);
        out.U32Le(static_cast<std::uint32_t>(image.size())).U32Le(first + entry * static_cast<std::uint32_t>(image.size()));
    }
    return out.Append(image).Append(image);
}

Bytes TgaFile(std::uint8_t imageType, std::uint8_t pixelDepth, bool colourMap) {
    ByteBuilder out;
    out.U8(4).U8(colourMap ? 1 : 0).U8(imageType);
    out.U16Le(0).U16Le(colourMap ? 256 : 0).U8(colourMap ? 24 : 0);
    out.U16Le(0).U16Le(0).U16Le(64).U16Le(48).U8(pixelDepth).U8(0x20).Text("scan");
    if (colourMap) out.Fill(256 * 3, 7);
    return out.Zeros(32);
}

Bytes PcxFile(std::uint8_t bitsPerPixel, std::uint8_t planes) {
    ByteBuilder out;
    out.U8(10).U8(5).U8(1).U8(bitsPerPixel);
    out.U16Le(0).U16Le(0).U16Le(99).U16Le(49).U16Le(300).U16Le(300);
    out.Zeros(48).U8(0).U8(planes).U16Le(100).U16Le(1).Zeros(58);
    return out.U8(0xC3).U8(0).Zeros(14);
}

Bytes WmfFile() {
    ByteBuilder out;
    out.U32Le(0x9AC6CDD7).U16Le(0).U16Le(0).U16Le(0).U16Le(1440).U16Le(2880).U16Le(1440).U32Le(0).U16Le(0);
    out.U16Le(1).U16Le(9).U16Le(0x0300).U32Le(24).U16Le(0).U32Le(3).U16Le(0);
    return out.U32Le(3).U16Le(0);  // end-of-file record
}

Bytes RasFile(std::uint32_t depth, std::uint32_t mapType) {
    ByteBuilder out;
    out.U32Be(0x59A66A95).U32Be(17).U32Be(13).U32Be(depth).U32Be(0).U32Be(1).U32Be(mapType);
    out.U32Be(mapType != 0 ? 3 * 256 : 0);
    if (mapType != 0) out.Fill(3 * 256, 9);
    return out.Zeros(32);
}

Bytes TextBytes(std::string_view text) { return ByteBuilder().Text(text); }

std::vector<std::pair<std::string, Bytes>> FamilySeeds() {
    using quillmere::image::testing::EncodeJ2k;
    using quillmere::image::testing::J2kSpec;
    J2kSpec grey;
    grey.components = {{}};
    J2kSpec colour;
    J2kSpec greyJp2 = grey;
    greyJp2.jp2 = true;
    J2kSpec colourJp2 = colour;
    colourJp2.jp2 = true;
    J2kSpec subsampled;
    subsampled.components = {{8, 1, 1}, {8, 2, 2}, {8, 2, 2}};
    return {
        {"j2k-grey", EncodeJ2k(grey)},
        {"j2k-colour", EncodeJ2k(colour)},
        {"j2k-subsampled", EncodeJ2k(subsampled)},
        {"jp2-grey", EncodeJ2k(greyJp2)},
        {"jp2-colour", EncodeJ2k(colourJp2)},
        {"jp2-palette-rgb", quillmere::image::testing::WriteJp2(quillmere::image::testing::Paletted({8, 8, 8}))},
        {"jp2-palette-grey-4bit", quillmere::image::testing::WriteJp2(quillmere::image::testing::Paletted({4}, 4))},
        {"pgx", ByteBuilder().Text("PG ML +8 17 13\n").Fill(17 * 13, 1)},
        {"pgx-signed-lm", ByteBuilder().Text("PG LM -12 4 4\n").Fill(32, 1)},
        {"pnm-p1", TextBytes("P1\n# made by hand\n3 2\n0 1 0\n1 0 1\n")},
        {"pnm-p2", TextBytes("P2 4 4 255\n0 0 0 0\n")},
        {"pnm-p3", TextBytes("P3 2 2 255\n1 2 3 4 5 6\n")},
        {"pnm-p4", ByteBuilder().Text("P4 8 8\n").Fill(8, 0xAA)},
        {"pnm-p5", ByteBuilder().Text("P5\n640 480\n65535\n").Fill(16, 0)},
        {"pnm-p6", ByteBuilder().Text("P6 # width next\n2 # then height\n2\n255\n").Fill(12, 0)},
        {"ras-1bit", RasFile(1, 0)},
        {"ras-8bit-map", RasFile(8, 1)},
        {"ras-24bit", RasFile(24, 0)},
    };
}

Format FamilyFormat(const std::string& name) {
    if (name.starts_with("j2k")) return kJpc;
    if (name.starts_with("jp2")) return kJp2;
    if (name.starts_with("pgx")) return kPgx;
    if (name.starts_with("pnm")) return kPnm;
    return kRas;
}

void WriteDecodeSeeds(const SeedWriter& out) {
    const auto both = [&](const std::string& name, Format format, const Bytes& bytes) {
        out.Write(name, format, bytes);
        if (format != kJpg) out.Write(name + "-hinted-jpeg", kJpg, bytes);
    };
    for (const JpegSeed& seed : JpegSeeds()) both(seed.name, kJpg, seed.bytes);
    for (const auto& [name, bytes] : PngSeeds()) both(name, kPng, bytes);
    for (const auto& [name, bytes] : TiffSeeds()) both(name, kTif, bytes);
    for (const auto& [name, bytes] : BmpSeeds()) both(name, kBmp, bytes);
    both("gif-one-frame", kGif, GifFile(false));
    both("gif-two-frames", kGif, GifFile(true));
    both("ico-bitmap", kIco, IconFile(false, 1));
    both("ico-png", kIco, IconFile(true, 1));
    both("cur-bitmap", kIco, IconFile(false, 2));
    both("tga-rgb", kTga, TgaFile(2, 24, false));
    both("tga-mapped", kTga, TgaFile(1, 8, true));
    both("tga-rle-grey", kTga, TgaFile(11, 8, false));
    both("pcx-8bit", kPcx, PcxFile(8, 1));
    both("pcx-24bit", kPcx, PcxFile(8, 3));
    both("pcx-4plane", kPcx, PcxFile(1, 4));
    both("wbmp", kWbmp, ByteBuilder().U8(0).U8(0).U8(16).U8(8).Fill(16, 0xF0));
    both("wmf-placeable", kWmf, WmfFile());
    for (const auto& [name, bytes] : FamilySeeds()) both(name, FamilyFormat(name), bytes);
    out.Write("unknown-text-detect", 0, TextBytes("not an image at all\n"));
}

void WriteExifSeeds(const SeedWriter& out) {
    constexpr std::uint8_t kScan = 0;
    constexpr std::uint8_t kScanWithoutExif = 0x81 - 0x81 % 3;  // bit 7 set, still mode 0
    constexpr std::uint8_t kBlock = 1;
    constexpr std::uint8_t kBlockWithLength = 2;
    for (const JpegSeed& seed : JpegSeeds()) out.Write(seed.name, kScan, seed.bytes);
    out.Write("jpeg-colour-exif-mm-no-read", kScanWithoutExif, JpegSeeds()[2].bytes);
    const std::pair<const char*, Bytes> blocks[] = {
        {"block-ii", fixtures::SimpleExifPayload(false, 300, 1, 2)},
        {"block-mm", fixtures::SimpleExifPayload(true, 72, 1, 3)},
        {"block-linked-ii", LinkedExifPayload(false)},
        {"block-linked-mm", LinkedExifPayload(true)},
    };
    for (const auto& [name, payload] : blocks) {
        out.Write(name, kBlock, payload);
        ByteBuilder withLength;
        const auto length = static_cast<std::uint32_t>(payload.size() + 2);
        withLength.U8(kBlockWithLength).U16Be(length).Append(payload);
        out.Write(std::string(name) + "-length", withLength);
    }
}

void WriteTextSeeds(const SeedWriter& out) {
    // n, flags (case bit, search length << 1), text, search.
    const auto seed = [&](const std::string& name, std::int8_t n, bool caseInsensitive, std::string_view text,
                          std::string_view search) {
        ByteBuilder bytes;
        bytes.U8(static_cast<std::uint8_t>(n)).U8((caseInsensitive ? 1u : 0u) | static_cast<std::uint32_t>(search.size() << 1));
        out.Write(name, bytes.Text(text).Text(search));
    };
    seed("windows-path", 4, false, "D:\\scan\\a\\0001.jpg", "\\");
    seed("extension", -5, true, "A.JPG", "jpg");
    seed("utf8-chinese", 6, false, "/档案/扫描/第一卷/0001.tif", "/");
    seed("gbk-name", 3, false, "\xB5\xB5\xB0\xB8\x5C\x61.jpg", ".");
    seed("trail-backslash", 1, false, "\x95\x5C\x61", "\\");
    seed("lone-lead-byte", 2, false, "abc\x81", "\x81");
    seed("reserved-code-point", 8, false, "\xF4\x8F\xBC\x80name", "e");
    seed("invalid-utf8", 8, false, "\xC0\xAF\xED\xA0\x80\xF8\x88\x80\x80\x80", "");
    // As a file time: a moment in the year 2147484600, whose year no longer
    // fits an int once 1900 is added back.
    ByteBuilder farFuture;
    farFuture.U8(8).U8(0).U32Le(0x8533C010).U32Le(0x00F0C2A4);
    out.Write("far-future-time", farFuture);
}

void WriteStreamSeeds(const SeedWriter& out) {
    // Content seed, length / 2 (16-bit), then operations of five bytes:
    // kind (low two bits: read, seek, one GetC, a run of GetC) and argument.
    const auto script = [](std::uint32_t halfLength, std::initializer_list<std::pair<std::uint8_t, std::uint32_t>> ops) {
        ByteBuilder bytes;
        bytes.U8(0x5A).U16Le(halfLength);
        for (const auto& [kind, argument] : ops) bytes.U8(kind).U32Le(argument);
        return Bytes(bytes);
    };
    // Header-sized reads and GetC runs near the start, as the decoders do.
    out.Write("headers", script(8192, {{0, 14}, {0 | 4 * 3, 10}, {3, 40}, {1, 0}, {0, 128}, {2, 0}}));
    // Reads across the 8 KiB buffer, a large read straight to the caller,
    // then seeks from the end and back.
    out.Write("buffer-edges", script(20000, {{1, 8190}, {0, 5}, {0, 20000}, {1 | 4 * 2, static_cast<std::uint32_t>(-3)},
                                            {3, 10}, {1 | 4 * 1, static_cast<std::uint32_t>(-9000)}, {0 | 4 * 7, 3000}}));
    // Past the end: reads come short, Eof is set, a seek clears it.
    out.Write("past-the-end", script(10, {{1, 30}, {0, 4}, {2, 0}, {1 | 4 * 1, static_cast<std::uint32_t>(-25)}, {0, 8}}));
    out.Write("empty-file", script(0, {{2, 0}, {0, 1}, {1 | 4 * 2, 0}}));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    WriteDecodeSeeds(SeedWriter(root / "decode"));
    WriteExifSeeds(SeedWriter(root / "exif"));
    WriteTextSeeds(SeedWriter(root / "text"));
    WriteStreamSeeds(SeedWriter(root / "stream"));
    return 0;
}
