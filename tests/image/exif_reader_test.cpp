#include "image/exif_reader.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/fixture_writers.h"

namespace quillmere::image {
namespace {

using fixtures::Bytes;
using fixtures::ExifBuilder;
using fixtures::kFormatLong;
using fixtures::kFormatRational;
using fixtures::kFormatShort;
using fixtures::kTagExifDirectory;
using fixtures::kTagOrientation;
using fixtures::kTagResolutionUnit;
using fixtures::kTagXResolution;
using fixtures::kTagYResolution;

// Parses a payload as the scan would hand it over.
bool Parse(ExifReader& reader, const Bytes& payload) {
    return reader.ParseExifBlock(payload, payload.size() + 2);
}

TEST(ExifReaderTest, ReadsResolutionInBothByteOrders) {
    for (const bool motorola : {true, false}) {
        SCOPED_TRACE(motorola ? "MM" : "II");
        ExifReader reader;
        ASSERT_TRUE(Parse(reader, fixtures::SimpleExifPayload(motorola, 300, 1, 2)));
        EXPECT_FLOAT_EQ(reader.record().xResolution, 300.0f);
        EXPECT_FLOAT_EQ(reader.record().resolutionUnitFactor, 1.0f);
    }
}

struct UnitCase {
    std::uint16_t unit;
    float factor;
};

TEST(ExifReaderTest, ResolutionUnitFactors) {
    const UnitCase cases[] = {
        {1, 1.0f}, {2, 1.0f}, {3, 0.3937007874f}, {4, 0.03937007874f}, {5, 0.00003937007874f},
        {0, 0.0f}, {6, 0.0f},  // unrecognised units leave the factor as it was
    };
    for (const UnitCase& c : cases) {
        SCOPED_TRACE(c.unit);
        ExifReader reader;
        ASSERT_TRUE(Parse(reader, fixtures::SimpleExifPayload(true, 300, 1, c.unit)));
        EXPECT_FLOAT_EQ(reader.record().resolutionUnitFactor, c.factor);
    }
}

TEST(ExifReaderTest, UnrecognisedUnitKeepsEarlierFactor) {
    ExifBuilder exif(false);
    // IFD0 at 8: unit 3, then a link to the EXIF sub-directory, whose unit is 6.
    const std::uint32_t sub = 8 + 2 + 2 * 12 + 4;
    exif.AddDirectory({{kTagResolutionUnit, kFormatShort, 1, 3}, {kTagExifDirectory, kFormatLong, 1, sub}});
    exif.AddDirectory({{kTagResolutionUnit, kFormatShort, 1, 6}});
    ExifReader reader;
    ASSERT_TRUE(Parse(reader, exif.App1Payload()));
    EXPECT_FLOAT_EQ(reader.record().resolutionUnitFactor, 0.3937007874f);
}

// Where the resolution entries lie in the block.
enum class Layout {
    MainOnly,           // IFD0: 300 dpi
    MainAndThumbnail,   // IFD0: 300 dpi, next -> IFD1: 72 dpi
    ThumbnailOnly,      // IFD0 without resolution, next -> IFD1: 72 dpi
    MainThroughExif,    // IFD0 links the EXIF sub-directory, which holds 300 dpi; IFD1: 72 dpi
    ThumbnailFirst,     // the first-directory offset skips to IFD0 (300 dpi) after the thumbnail's directory
};

// The resolution entries: XResolution and YResolution at `rational` (both
// the same value), unit 2.
std::vector<ExifBuilder::Entry> ResolutionEntries(std::uint32_t rational) {
    return {{kTagXResolution, kFormatRational, 1, rational},
            {kTagYResolution, kFormatRational, 1, rational},
            {kTagResolutionUnit, kFormatShort, 1, 2}};
}

Bytes BlockWith(Layout layout, bool motorola) {
    ExifBuilder exif(motorola);
    constexpr std::uint32_t kDirectoryOf3 = 2 + 3 * 12 + 4;
    constexpr std::uint32_t kDirectoryOf1 = 2 + 12 + 4;
    switch (layout) {
        case Layout::MainOnly:
            exif.AddDirectory(ResolutionEntries(8 + kDirectoryOf3));
            exif.AddRational(300, 1);
            break;
        case Layout::MainAndThumbnail: {
            const std::uint32_t ifd1 = 8 + kDirectoryOf3 + 8;
            exif.AddDirectory(ResolutionEntries(8 + kDirectoryOf3), ifd1);
            exif.AddRational(300, 1);
            exif.AddDirectory(ResolutionEntries(ifd1 + kDirectoryOf3));
            exif.AddRational(72, 1);
            break;
        }
        case Layout::ThumbnailOnly: {
            const std::uint32_t ifd1 = 8 + kDirectoryOf1;
            exif.AddDirectory({{kTagOrientation, kFormatShort, 1, 1}}, ifd1);
            exif.AddDirectory(ResolutionEntries(ifd1 + kDirectoryOf3));
            exif.AddRational(72, 1);
            break;
        }
        case Layout::MainThroughExif: {
            const std::uint32_t sub = 8 + kDirectoryOf1;
            const std::uint32_t ifd1 = sub + kDirectoryOf3 + 8;
            exif.AddDirectory({{kTagExifDirectory, kFormatLong, 1, sub}}, ifd1);
            exif.AddDirectory(ResolutionEntries(sub + kDirectoryOf3));
            exif.AddRational(300, 1);
            exif.AddDirectory(ResolutionEntries(ifd1 + kDirectoryOf3));
            exif.AddRational(72, 1);
            break;
        }
        case Layout::ThumbnailFirst: {
            // The directory at 8 is read first and, linking on, the real IFD0
            // is first met as a next directory; read as the image's it wins.
            const std::uint32_t ifd0 = 8 + kDirectoryOf3 + 8;
            exif.Patch32(4, ifd0);
            exif.AddDirectory(ResolutionEntries(8 + kDirectoryOf3), ifd0);
            exif.AddRational(72, 1);
            exif.AddDirectory(ResolutionEntries(ifd0 + kDirectoryOf3));
            exif.AddRational(300, 1);
            break;
        }
    }
    return exif.App1Payload();
}

struct ResolutionCase {
    const char* name;
    Layout layout;
    float resolution;  // both ways
    float unitFactor;
};

TEST(ExifReaderTest, ResolutionComesFromTheImageDirectoriesNeverTheThumbnail) {
    const ResolutionCase cases[] = {
        {"IFD0 only", Layout::MainOnly, 300.0f, 1.0f},
        {"IFD0 and IFD1", Layout::MainAndThumbnail, 300.0f, 1.0f},
        {"IFD1 only", Layout::ThumbnailOnly, 0.0f, 0.0f},
        {"IFD0 through the EXIF sub-directory", Layout::MainThroughExif, 300.0f, 1.0f},
        {"IFD0 after the directory at 8", Layout::ThumbnailFirst, 300.0f, 1.0f},
    };
    for (const ResolutionCase& c : cases) {
        for (const bool motorola : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (motorola ? ", MM" : ", II"));
            ExifReader reader;
            ASSERT_TRUE(Parse(reader, BlockWith(c.layout, motorola)));
            EXPECT_FLOAT_EQ(reader.record().xResolution, c.resolution);
            EXPECT_FLOAT_EQ(reader.record().yResolution, c.resolution);
            EXPECT_FLOAT_EQ(reader.record().resolutionUnitFactor, c.unitFactor);
        }
    }
}

TEST(ExifReaderTest, ZeroDenominatorGivesZero) {
    ExifReader reader;
    ASSERT_TRUE(Parse(reader, fixtures::SimpleExifPayload(false, 300, 0, 2)));
    EXPECT_FLOAT_EQ(reader.record().xResolution, 0.0f);
}

TEST(ExifReaderTest, ValueOffsetBounds) {
    // The rational's offset placed so that it ends exactly at the end of the
    // TIFF data (accepted) or one byte past it (the block fails).
    for (const int pastEnd : {0, 1}) {
        SCOPED_TRACE(pastEnd);
        ExifBuilder exif(true);
        exif.AddDirectory({{kTagXResolution, kFormatRational, 1, 0}});
        exif.AddRational(300, 1);
        const std::uint32_t entryValue = 8 + 2 + 8;
        exif.Patch32(entryValue, exif.size() - 8 + static_cast<std::uint32_t>(pastEnd));
        ExifReader reader;
        EXPECT_EQ(Parse(reader, exif.App1Payload()), pastEnd == 0);
        if (pastEnd == 1) {
            EXPECT_EQ(reader.error(), "Illegal pointer offset value in EXIF.");
        }
    }
}

struct BrokenBlockCase {
    const char* name;
    Bytes payload;
    const char* error;
};

TEST(ExifReaderTest, BrokenBlocksFailWithTheirText) {
    Bytes badOrder = fixtures::SimpleExifPayload(true, 300, 1, 2);
    badOrder[6] = 'X';
    Bytes badMagic = fixtures::SimpleExifPayload(true, 300, 1, 2);
    badMagic[9] = 41;
    Bytes badHeader = fixtures::SimpleExifPayload(true, 300, 1, 2);
    badHeader[5] = 1;
    Bytes hugeCount = fixtures::SimpleExifPayload(true, 300, 1, 2);
    hugeCount[6 + 8] = 0x7F;  // entry count high byte
    Bytes badFormat = fixtures::SimpleExifPayload(true, 300, 1, 2);
    badFormat[6 + 10 + 3] = 13;  // first entry's format low byte
    const BrokenBlockCase cases[] = {
        {"byte order", badOrder, "Invalid Exif alignment marker."},
        {"magic", badMagic, "Invalid Exif start (1)"},
        {"header", badHeader, "Incorrect Exif header"},
        {"entry count", hugeCount, "Illegally sized directory"},
        {"format", badFormat, "Illegal format code in EXIF dir"},
        {"too short", Bytes{'E', 'x', 'i', 'f'}, "Incorrect Exif header"},
    };
    for (const BrokenBlockCase& c : cases) {
        SCOPED_TRACE(c.name);
        ExifReader reader;
        EXPECT_FALSE(Parse(reader, c.payload));
        EXPECT_EQ(reader.error(), c.error);
    }
}

TEST(ExifReaderTest, LinkOutsideDataFailsBlock) {
    ExifBuilder exif(false);
    exif.AddDirectory({{kTagResolutionUnit, kFormatShort, 1, 2}}, 5000);
    ExifReader reader;
    EXPECT_FALSE(Parse(reader, exif.App1Payload()));
    EXPECT_EQ(reader.error(), "Illegal subdirectory link");
}

TEST(ExifReaderTest, DirectoryLoopsTerminate) {
    // A directory linking to itself, and two directories linking to each other.
    ExifBuilder self(true);
    self.AddDirectory({{kTagResolutionUnit, kFormatShort, 1, 2}}, 8);
    ExifReader selfReader;
    EXPECT_TRUE(Parse(selfReader, self.App1Payload()));

    ExifBuilder pair(true);
    const std::uint32_t second = 8 + 2 + 12 + 4;
    pair.AddDirectory({{kTagResolutionUnit, kFormatShort, 1, 3}}, second);
    pair.AddDirectory({{kTagExifDirectory, kFormatLong, 1, 8}}, 8);
    ExifReader pairReader;
    EXPECT_TRUE(Parse(pairReader, pair.App1Payload()));
    EXPECT_FLOAT_EQ(pairReader.record().resolutionUnitFactor, 0.3937007874f);
}

// ---- the segment scan ----

Bytes JpegWithSegments(const Bytes& exifPayload, int extraSegments) {
    fixtures::JpegSpec fixture;
    fixture.components = 1;  // grey: DQT, SOF and two DHT are kept
    fixture.markers.push_back({JPEG_APP0 + 1, exifPayload});
    for (int i = 0; i < extraSegments; ++i) fixture.markers.push_back({JPEG_APP0 + 2, Bytes{'x', 'y'}});
    return fixtures::WriteJpeg(fixture);
}

TEST(ExifReaderTest, ScanFindsExifBlock) {
    const Bytes jpeg = JpegWithSegments(fixtures::SimpleExifPayload(true, 300, 1, 2), 0);
    MemoryStream stream(jpeg);
    ExifReader reader;
    EXPECT_TRUE(reader.ScanExifSegments(stream, true));
    EXPECT_TRUE(reader.record().isExif);
    EXPECT_FLOAT_EQ(reader.record().xResolution, 300.0f);
    EXPECT_EQ(reader.record().frameWidth, 16);
    EXPECT_EQ(reader.record().frameHeight, 8);
}

TEST(ExifReaderTest, ScanWithoutApp1LeavesIsExifFalse) {
    const Bytes jpeg = fixtures::WriteJpeg({});
    MemoryStream stream(jpeg);
    ExifReader reader;
    EXPECT_TRUE(reader.ScanExifSegments(stream, true));
    EXPECT_FALSE(reader.record().isExif);
}

TEST(ExifReaderTest, TwentyKeptSegmentsStopTheScanButKeepEarlierExif) {
    // APP1 + DQT + SOF + 2 DHT = 5 kept; 14 more make 19 (scan reaches SOS),
    // 15 more make 20 (the scan stops before SOS).
    for (const int extra : {14, 15}) {
        SCOPED_TRACE(extra);
        const Bytes jpeg = JpegWithSegments(fixtures::SimpleExifPayload(true, 300, 1, 2), extra);
        MemoryStream stream(jpeg);
        ExifReader reader;
        EXPECT_EQ(reader.ScanExifSegments(stream, true), extra == 14);
        EXPECT_TRUE(reader.record().isExif);
        if (extra == 15) {
            EXPECT_EQ(reader.error(), "Too many sections in jpg file");
        }
    }
}

TEST(ExifReaderTest, ScanRejectsDamagedStreams) {
    const Bytes good = fixtures::WriteJpeg({});
    Bytes notJpeg = good;
    notJpeg[1] = 0xD9;
    Bytes padding = {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xE2, 0x00, 0x04, 0, 0};
    Bytes badLength = {0xFF, 0xD8, 0xFF, 0xE2, 0x00, 0x01};
    Bytes shortSegment = {0xFF, 0xD8, 0xFF, 0xE2, 0x00, 0x10, 1, 2};
    Bytes endOfImage = {0xFF, 0xD8, 0xFF, 0xD9, 0x00, 0x02};
    struct Case {
        const char* name;
        const Bytes& bytes;
        const char* error;
        const char* printed;  // what the operator sees on standard error
    };
    const Case cases[] = {
        {"not a JPEG", notJpeg, "", ""},
        {"seven padding bytes", padding, "too many padding bytes", "too many padding bytes\n"},
        {"length below 2", badLength, "invalid marker", ""},
        {"segment cut short", shortSegment, "Premature end of file?", ""},
        {"end of image", endOfImage, "No image in jpeg!", "No image in jpeg!\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStream stream(c.bytes);
        ExifReader reader;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(reader.ScanExifSegments(stream, true));
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.printed);
        EXPECT_EQ(reader.error(), c.error);
    }
}

TEST(ExifReaderTest, SixPaddingBytesAreAccepted) {
    Bytes bytes = {0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xDA, 0x00, 0x02};
    MemoryStream stream(bytes);
    ExifReader reader;
    EXPECT_TRUE(reader.ScanExifSegments(stream, true));
}

}  // namespace
}  // namespace quillmere::image
