// The JPEG quality read back from a file's quantisation tables: exact for
// every table libjpeg's quality setting produces, close to ImageMagick's
// reading for tables of other encoders, and 90 for everything else.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fixture_writers.h"
#include "image/decoders.h"
#include "image/image_object.h"
#include "image/jpeg_quality.h"
#include "runtime/text_encoding.h"

namespace quillmere::image {
namespace {

using fixtures::Bytes;

// ---- Tables straight from libjpeg ----

struct LibjpegTables {
    QuantisationTable luminance{};
    QuantisationTable chrominance{};
};

QuantisationTable CopyOf(const JQUANT_TBL& table) {
    QuantisationTable copy{};
    for (std::size_t i = 0; i < copy.size(); ++i) copy[i] = table.quantval[i];
    return copy;
}

// What jpeg_set_quality puts into slots 0 and 1 of a colour compressor.
LibjpegTables TablesFromLibjpeg(int quality, bool forceBaseline) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    info.in_color_space = JCS_RGB;
    info.input_components = 3;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, forceBaseline ? TRUE : FALSE);
    LibjpegTables tables{CopyOf(*info.quant_tbl_ptrs[0]), CopyOf(*info.quant_tbl_ptrs[1])};
    jpeg_destroy_compress(&info);
    return tables;
}

TEST(JpegQualityEstimate, EveryLibjpegQualityIsFoundExactly) {
    for (const bool forceBaseline : {true, false}) {
        for (int quality = 1; quality <= 100; ++quality) {
            SCOPED_TRACE(::testing::Message() << "quality " << quality << (forceBaseline ? " baseline" : " 16-bit"));
            const LibjpegTables tables = TablesFromLibjpeg(quality, forceBaseline);
            EXPECT_EQ(EstimateJpegQuality(tables.luminance, tables.chrominance), quality);
            EXPECT_EQ(EstimateJpegQuality(tables.luminance, std::nullopt), quality);
        }
    }
}

TEST(JpegQualityEstimate, ZeroDivisorIsUnusable) {
    LibjpegTables tables = TablesFromLibjpeg(75, true);
    QuantisationTable zeroLuminance = tables.luminance;
    zeroLuminance[63] = 0;
    QuantisationTable zeroChrominance = tables.chrominance;
    zeroChrominance[0] = 0;
    EXPECT_EQ(EstimateJpegQuality(zeroLuminance, std::nullopt), std::nullopt);
    EXPECT_EQ(EstimateJpegQuality(zeroLuminance, tables.chrominance), std::nullopt);
    EXPECT_EQ(EstimateJpegQuality(tables.luminance, zeroChrominance), std::nullopt);
}

// A table nudged off the standard shape is no longer an exact match, so
// the estimate comes from the sums; it must still land next to the quality
// the table came from.
TEST(JpegQualityEstimate, NudgedTablesLandNextToTheirQuality) {
    for (const int quality : {10, 30, 50, 70, 80, 90, 95}) {
        SCOPED_TRACE(quality);
        LibjpegTables tables = TablesFromLibjpeg(quality, true);
        for (std::size_t i = 0; i < 64; i += 2) {
            if (tables.luminance[i] < 255) ++tables.luminance[i];
            if (tables.chrominance[i + 1] > 1) --tables.chrominance[i + 1];
        }
        const std::optional<std::uint8_t> estimate = EstimateJpegQuality(tables.luminance, tables.chrominance);
        ASSERT_TRUE(estimate.has_value());
        EXPECT_LE(std::abs(*estimate - quality), 1);
    }
}

TEST(JpegQualityEstimate, FlatTablesFollowTheirSize) {
    QuantisationTable ones{};
    ones.fill(1);
    QuantisationTable fine{};
    fine.fill(4);
    QuantisationTable coarse{};
    coarse.fill(200);
    EXPECT_EQ(EstimateJpegQuality(ones, ones), 100);
    const auto fineQuality = EstimateJpegQuality(fine, fine);
    const auto coarseQuality = EstimateJpegQuality(coarse, coarse);
    ASSERT_TRUE(fineQuality && coarseQuality);
    EXPECT_GT(*fineQuality, *coarseQuality);
    EXPECT_GE(*fineQuality, 90);
    EXPECT_LE(*coarseQuality, 15);
}

// Sums that grow give qualities that fall, whatever the tables' shape.
TEST(JpegQualityEstimate, CoarserTablesEstimateLower) {
    const std::array<std::pair<int, int>, 4> ramps = {{{2, 5}, {4, 15}, {20, 5}, {1, 40}}};  // base, slope
    int previous = 101;
    for (const auto& [base, slope] : ramps) {
        SCOPED_TRACE(::testing::Message() << "ramp " << base << " + " << slope << "/10");
        QuantisationTable table{};
        for (std::size_t i = 0; i < 64; ++i) {
            table[i] = static_cast<std::uint16_t>(base + static_cast<int>(i / 8 + i % 8) * slope / 10);
        }
        const std::optional<std::uint8_t> estimate = EstimateJpegQuality(table, table);
        ASSERT_TRUE(estimate.has_value());
        EXPECT_LT(*estimate, previous);
        previous = *estimate;
    }
}

// ---- Files written by libjpeg ----

// Colour420OneTable: every component quantised with the luminance table,
// as some encoders write colour files.
enum class Sampling { Grey, Colour420, Colour444, Colour420OneTable, Cmyk };

struct QualityFixture {
    int quality = 75;
    Sampling sampling = Sampling::Colour420;
    bool progressive = false;
    bool forceBaseline = true;
    // Tables to write instead of the scaled standard ones.
    std::optional<std::array<QuantisationTable, 2>> customTables;
    std::uint32_t width = 48;
    std::uint32_t height = 32;
};

// A picture with detail, so the scan data is more than a few bytes and a
// cut through it leaves the headers whole.
Bytes WriteQualityJpeg(const QualityFixture& fixture) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    const int components = fixture.sampling == Sampling::Grey ? 1 : fixture.sampling == Sampling::Cmyk ? 4 : 3;
    info.image_width = fixture.width;
    info.image_height = fixture.height;
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, fixture.quality, fixture.forceBaseline ? TRUE : FALSE);
    if (fixture.customTables) {
        for (int slot = 0; slot < 2; ++slot) {
            std::array<unsigned int, 64> values{};
            for (std::size_t i = 0; i < 64; ++i) values[i] = (*fixture.customTables)[slot][i];
            jpeg_add_quant_table(&info, slot, values.data(), 100, FALSE);
        }
    }
    if (fixture.sampling == Sampling::Colour444) {
        info.comp_info[0].h_samp_factor = 1;
        info.comp_info[0].v_samp_factor = 1;
    }
    if (fixture.sampling == Sampling::Colour420OneTable) {
        for (int component = 0; component < components; ++component) info.comp_info[component].quant_tbl_no = 0;
    }
    if (fixture.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(fixture.width) * components);
    while (info.next_scanline < info.image_height) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            row[i] = static_cast<JSAMPLE>((i * 37 + info.next_scanline * 91 + (i * info.next_scanline) % 23) & 0xFF);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes result(buffer, buffer + size);
    std::free(buffer);
    return result;
}

struct Probed {
    bool ok;
    std::uint8_t quality;
    std::string error;
};

Probed DecodeAsJpeg(const Bytes& bytes) {
    MemoryStream stream(bytes);
    CodecImage image(ImageFormat::Jpg);
    const bool ok = DecodeJpeg(stream, image);
    return {ok, image.settings.jpegQuality, image.settings.lastError};
}

const char* SamplingName(Sampling sampling) {
    switch (sampling) {
        case Sampling::Grey: return "grey";
        case Sampling::Colour420: return "colour 4:2:0";
        case Sampling::Colour444: return "colour 4:4:4";
        case Sampling::Colour420OneTable: return "colour 4:2:0, one table";
        case Sampling::Cmyk: return "CMYK";
    }
    return "?";
}

TEST(JpegQualityFromFile, LibjpegQualitiesReadBackExactly) {
    for (const int quality : {1, 10, 50, 75, 85, 92, 100}) {
        for (const Sampling sampling : {Sampling::Grey, Sampling::Colour420, Sampling::Colour444,
                                        Sampling::Colour420OneTable, Sampling::Cmyk}) {
            for (const bool progressive : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "quality " << quality << ", " << SamplingName(sampling)
                                                  << (progressive ? ", progressive" : ", sequential"));
                QualityFixture fixture;
                fixture.quality = quality;
                fixture.sampling = sampling;
                fixture.progressive = progressive;
                const Probed probed = DecodeAsJpeg(WriteQualityJpeg(fixture));
                ASSERT_TRUE(probed.ok) << probed.error;
                EXPECT_EQ(probed.quality, quality);
            }
        }
    }
}

TEST(JpegQualityFromFile, SixteenBitTablesReadBackExactly) {
    for (const int quality : {1, 5, 20}) {
        SCOPED_TRACE(quality);
        QualityFixture fixture;
        fixture.quality = quality;
        fixture.forceBaseline = false;
        const Probed probed = DecodeAsJpeg(WriteQualityJpeg(fixture));
        ASSERT_TRUE(probed.ok) << probed.error;
        EXPECT_EQ(probed.quality, quality);
    }
}

// The length of the marker segment that starts at `at` (its FF byte).
std::size_t SegmentLength(const Bytes& bytes, std::size_t at) {
    return 2 + ((static_cast<std::size_t>(bytes[at + 2]) << 8) | bytes[at + 3]);
}

// Where each segment with this marker starts, up to the first scan.
std::vector<std::size_t> SegmentsBeforeScan(const Bytes& bytes, std::uint8_t marker) {
    std::vector<std::size_t> found;
    std::size_t at = 2;  // after SOI
    while (at + 4 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] != 0xDA) {
        if (bytes[at + 1] == marker) found.push_back(at);
        at += SegmentLength(bytes, at);
    }
    return found;
}

Bytes WithoutSegment(Bytes bytes, std::size_t at) {
    const std::size_t length = SegmentLength(bytes, at);
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.begin() + static_cast<std::ptrdiff_t>(at + length));
    return bytes;
}

constexpr std::uint8_t kDqt = 0xDB;

TEST(JpegQualityFromFile, MissingOrZeroTablesKeepNinety) {
    QualityFixture fixture;
    fixture.quality = 60;
    const Bytes jpeg = WriteQualityJpeg(fixture);
    const std::vector<std::size_t> tables = SegmentsBeforeScan(jpeg, kDqt);
    ASSERT_EQ(tables.size(), 2u);  // libjpeg writes one DQT segment per table
    ASSERT_EQ(DecodeAsJpeg(jpeg).quality, 60);

    Bytes noTables = WithoutSegment(WithoutSegment(jpeg, tables[1]), tables[0]);
    Bytes noChrominance = WithoutSegment(jpeg, tables[1]);
    Bytes zeroDivisor = jpeg;
    zeroDivisor[tables[0] + 5 + 10] = 0;  // marker, length, Pq/Tq, then ten divisors in
    struct Case {
        const char* name;
        const Bytes& file;
    };
    for (const Case& c : {Case{"no DQT at all", noTables}, Case{"no chrominance table", noChrominance},
                          Case{"a zero divisor", zeroDivisor}}) {
        SCOPED_TRACE(c.name);
        const Probed probed = DecodeAsJpeg(c.file);
        // The header parse stops at the first scan, before libjpeg would
        // ask for the tables, so the file is still accepted.
        ASSERT_TRUE(probed.ok) << probed.error;
        EXPECT_EQ(probed.quality, 90);
    }
}

TEST(JpegQualityFromFile, TruncatedScanStillReportsItsQuality) {
    QualityFixture fixture;
    fixture.quality = 85;
    fixture.width = 256;
    fixture.height = 256;
    const Bytes jpeg = WriteQualityJpeg(fixture);
    // Cut in the middle of the entropy-coded data.
    std::size_t scanStart = 2;
    while (jpeg[scanStart + 1] != 0xDA) scanStart += SegmentLength(jpeg, scanStart);
    ASSERT_GT(jpeg.size(), scanStart + 200);
    const Bytes cut(jpeg.begin(), jpeg.begin() + static_cast<std::ptrdiff_t>(scanStart + 100));
    const Probed probed = DecodeAsJpeg(cut);
    ASSERT_TRUE(probed.ok) << probed.error;
    EXPECT_EQ(probed.quality, 85);
}

// ---- Through the image object, one file after another ----

struct ScratchFile {
    std::filesystem::path path;
    explicit ScratchFile(const Bytes& bytes) {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillmere-quality-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd >= 0) {
            close(fd);
            path = pattern;
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
    }
    ~ScratchFile() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove(path, ignored);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
};

Bytes QualityJpeg(int quality, Sampling sampling) {
    QualityFixture fixture;
    fixture.quality = quality;
    fixture.sampling = sampling;
    return WriteQualityJpeg(fixture);
}

// Every file stands alone: a JPEG's quality never reaches the file after it,
// and only the JPEG decoder reads one. Each file is decoded with the JPEG
// hint, as the run does.
TEST(JpegQualityFromFile, OnlyJpegFilesReportTheirOwnQuality) {
    const std::string text = "not an image at all\n";
    struct Step {
        const char* name;
        Bytes file;
        bool decodes;
        std::uint8_t quality;
    };
    const Step steps[] = {
        {"JPEG at 60", QualityJpeg(60, Sampling::Colour420), true, 60},
        {"PNG", fixtures::WritePng({}), true, 90},
        {"grey JPEG at 100", QualityJpeg(100, Sampling::Grey), true, 100},
        {"TIFF", fixtures::WriteTiff({fixtures::TiffPage{}}), true, 90},
        {"JPEG at 20", QualityJpeg(20, Sampling::Colour444), true, 20},
        {"text", Bytes(text.begin(), text.end()), false, 90},
        {"JPEG at 92", QualityJpeg(92, Sampling::Colour420), true, 92},
        {"JPEG cut before its frame header", Bytes{0xFF, 0xD8, 0xFF}, false, 90},
    };
    ImageHandle handle;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const ScratchFile file(step.file);
        ASSERT_FALSE(file.path.empty());
        EXPECT_EQ(DecodeFromFile(handle, TextFromUtf8(file.path.string()), ImageFormat::Jpg), step.decodes);
        EXPECT_EQ(GetJpegQuality(handle), step.quality);
        const ImageProbe probe = ProbeImageBytes(step.file, ImageFormat::Unknown);
        EXPECT_EQ(probe.decoded, step.decodes);
        EXPECT_EQ(probe.jpegQuality, step.quality);
    }
}

// ---- Tables of other encoders, against ImageMagick ----

// Camera and scanner firmware mostly keeps the standard tables' shape but
// scales them by its own factors, rounds its own way and caps the highest
// frequencies.
enum class Rounding { Nearest, Down, Up };

QuantisationTable ScaledShape(const QuantisationTable& shape, int percent, Rounding rounding = Rounding::Nearest,
                              int cap = 255) {
    QuantisationTable table{};
    for (std::size_t i = 0; i < 64; ++i) {
        const int product = shape[i] * percent;
        const int value = rounding == Rounding::Nearest ? (product + 50) / 100
                          : rounding == Rounding::Down  ? product / 100
                                                        : (product + 99) / 100;
        table[i] = static_cast<std::uint16_t>(std::clamp(value, 1, cap));
    }
    return table;
}

// Every other divisor one up, the ones between one down.
QuantisationTable Jittered(QuantisationTable table) {
    for (std::size_t i = 0; i < 64; ++i) {
        if (i % 2 == 0 && table[i] < 255) ++table[i];
        if (i % 2 == 1 && table[i] > 1) --table[i];
    }
    return table;
}

// A table that grows evenly away from the top-left corner.
QuantisationTable Ramp(int base, int slopeTenths) {
    QuantisationTable table{};
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 8; ++column) {
            table[static_cast<std::size_t>(row * 8 + column)] =
                static_cast<std::uint16_t>(base + (row + column) * slopeTenths / 10);
        }
    }
    return table;
}

std::optional<std::string> RunCommand(const std::string& command) {
    struct PipeCloser {
        void operator()(FILE* pipe) const noexcept { pclose(pipe); }
    };
    std::unique_ptr<FILE, PipeCloser> pipe(popen(command.c_str(), "r"));
    if (!pipe) return std::nullopt;
    std::string output;
    char chunk[256];
    while (const std::size_t got = std::fread(chunk, 1, sizeof chunk, pipe.get())) output.append(chunk, got);
    return output;
}

bool HaveImageMagickIdentify() {
    const std::optional<std::string> version = RunCommand("identify -version 2>/dev/null");
    return version && version->find("ImageMagick") != std::string::npos;
}


// Only tables finer than the standard ones (quality above 50, where every
// camera and scanner saves) are compared: for coarser tables that are not
// exactly libjpeg's, identify prints its own default of 92 instead of an
// estimate.
TEST(JpegQualityFromFile, OtherEncodersTablesWithinOneStepOfImageMagick) {
    if (!HaveImageMagickIdentify()) GTEST_SKIP() << "ImageMagick's identify is not installed";
    const QuantisationTable standardLuminance = TablesFromLibjpeg(50, true).luminance;
    const QuantisationTable standardChrominance = TablesFromLibjpeg(50, true).chrominance;
    struct Case {
        const char* name;
        QuantisationTable luminance;
        QuantisationTable chrominance;
    };
    const Case cases[] = {
        {"standard shape at 37 %", ScaledShape(standardLuminance, 37), ScaledShape(standardChrominance, 37)},
        {"standard shape at 12 %, rounded down", ScaledShape(standardLuminance, 12, Rounding::Down),
         ScaledShape(standardChrominance, 12, Rounding::Down)},
        {"standard shape at 23 %, rounded up", ScaledShape(standardLuminance, 23, Rounding::Up),
         ScaledShape(standardChrominance, 23, Rounding::Up)},
        {"standard shape at 63 %, capped at 40", ScaledShape(standardLuminance, 63, Rounding::Nearest, 40),
         ScaledShape(standardChrominance, 63, Rounding::Nearest, 40)},
        {"standard shape at 85 %, jittered", Jittered(ScaledShape(standardLuminance, 85)),
         Jittered(ScaledShape(standardChrominance, 85))},
        {"standard shape at 60 %, jittered", Jittered(ScaledShape(standardLuminance, 60)),
         Jittered(ScaledShape(standardChrominance, 60))},
        {"standard shape at 7 %, jittered", Jittered(ScaledShape(standardLuminance, 7)),
         Jittered(ScaledShape(standardChrominance, 7))},
        {"fine even ramp", Ramp(2, 5), Ramp(3, 8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QualityFixture fixture;
        fixture.customTables = std::array<QuantisationTable, 2>{c.luminance, c.chrominance};
        const Bytes jpeg = WriteQualityJpeg(fixture);
        const Probed probed = DecodeAsJpeg(jpeg);
        ASSERT_TRUE(probed.ok) << probed.error;

        const ScratchFile file(jpeg);
        ASSERT_FALSE(file.path.empty());
        const std::optional<std::string> reported =
            RunCommand("identify -format %Q '" + file.path.string() + "' 2>/dev/null");
        ASSERT_TRUE(reported && !reported->empty());
        const int theirs = std::atoi(reported->c_str());
        EXPECT_LE(std::abs(static_cast<int>(probed.quality) - theirs), 1)
            << "ours " << static_cast<int>(probed.quality) << ", ImageMagick " << theirs;
    }
}

}  // namespace
}  // namespace quillmere::image
