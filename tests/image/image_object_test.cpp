#include "image/decoders.h"
#include "image/image_object.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <span>
#include <thread>

#include "runtime/memory_file_system.h"
#include "runtime/real_file_system.h"
#include "runtime/text_encoding.h"
#include "tests/support/fixture_writers.h"
#include "tests/support/sanitizer_build.h"

namespace quillmere::image {
namespace {

using fixtures::Bytes;
using fixtures::TempDir;

Text PathText(const std::string& nativePath) { return TextFromUtf8(nativePath); }

struct Properties {
    std::int32_t width;
    std::int32_t height;
    std::int32_t xDpi;
    std::uint32_t colorCount;
    std::uint8_t quality;
    friend bool operator==(const Properties&, const Properties&) = default;
};

std::ostream& operator<<(std::ostream& out, const Properties& p) {
    return out << p.width << "x" << p.height << " " << p.xDpi << "dpi " << p.colorCount << " colours q"
               << int{p.quality};
}

Properties Read(const ImageHandle& handle) {
    return {GetWidth(handle), GetHeight(handle), GetXDPI(handle), GetNumColors(handle), GetJpegQuality(handle)};
}

constexpr Properties kStartup = {0, 0, 96, 0, 90};

std::string Gb(const char* utf8) { return TextFromUtf8(utf8).bytes(); }

class ImageObjectTest : public ::testing::Test {
protected:
    std::string GreyJpeg300() const {
        fixtures::JpegSpec fixture;
        fixture.width = 2480;
        fixture.height = 35;
        fixture.components = 1;
        fixture.densityUnit = 1;
        fixture.xDensity = fixture.yDensity = 300;
        return dir.Write("grey.jpg", fixtures::WriteJpeg(fixture));
    }
    std::string RgbTiff() const {
        fixtures::TiffPage page;
        page.width = 40;
        page.height = 30;
        page.bitsPerSample = 8;
        page.samplesPerPixel = 3;
        page.photometric = PHOTOMETRIC_RGB;
        page.resolution = true;
        page.xResolution = page.yResolution = 118.11f;
        page.unit = RESUNIT_CENTIMETER;
        return dir.Write("page.tif", fixtures::WriteTiff({page}));
    }
    std::string TextFile() const { return dir.WriteText("notes.txt", "plain text, not an image\n"); }

    TempDir dir;
    RealFileSystem fs_;
    ImageHandle handle;
};

TEST_F(ImageObjectTest, EmptyHandleAnswersZero) {
    EXPECT_TRUE(handle.empty());
    EXPECT_EQ(Read(handle), (Properties{0, 0, 0, 0, 0}));
    EXPECT_TRUE(GetLastError(handle).empty());
}

TEST_F(ImageObjectTest, ShortPathLeavesHandleEmpty) {
    EXPECT_FALSE(DecodeFromFile(handle, Text("abc"), ImageFormat::Jpg));
    EXPECT_TRUE(handle.empty());
    const ImageProbe probe = ProbeImageFile(fs_, Text("abc"), ImageFormat::Jpg);
    EXPECT_FALSE(probe.pathAccepted);
    AdoptProbe(handle, probe);
    EXPECT_TRUE(handle.empty());
}

TEST_F(ImageObjectTest, JpegDecodesOnHintedAttempt) {
    EXPECT_TRUE(DecodeFromFile(handle, PathText(GreyJpeg300()), ImageFormat::Jpg));
    // 75: libjpeg's default quality, read back from the tables.
    EXPECT_EQ(Read(handle), (Properties{2480, 35, 300, 256, 75}));
    EXPECT_TRUE(GetLastError(handle).empty());
}

TEST_F(ImageObjectTest, OtherFormatsDecodeThroughDetection) {
    fixtures::PngSpec png;
    png.width = 12;
    png.height = 9;
    png.phys = true;
    png.xPerUnit = png.yPerUnit = 11811;
    const std::string pngPath = dir.Write("scan.png", fixtures::WritePng(png));

    EXPECT_TRUE(DecodeFromFile(handle, PathText(RgbTiff()), ImageFormat::Jpg));
    EXPECT_EQ(Read(handle), (Properties{40, 30, 300, 0, 90}));
    // The hinted decoder's message stays as the last error text.
    EXPECT_EQ(GetLastError(handle).bytes(), "Not a JPEG file: starts with 0x49 0x49");

    EXPECT_TRUE(DecodeFromFile(handle, PathText(pngPath), ImageFormat::Jpg));
    EXPECT_EQ(Read(handle), (Properties{12, 9, 300, 0, 90}));
}

TEST_F(ImageObjectTest, HintedDecoderRunsAloneWhenItSucceeds) {
    EXPECT_TRUE(DecodeFromFile(handle, PathText(RgbTiff()), ImageFormat::Tif));
    EXPECT_EQ(Read(handle), (Properties{40, 30, 300, 0, 90}));
    EXPECT_TRUE(GetLastError(handle).empty());
}

TEST_F(ImageObjectTest, UnknownFileLastErrorTexts) {
    const std::string text = TextFile();
    struct Case {
        ImageFormat format;
        std::string error;
    };
    const Case cases[] = {
        {ImageFormat::Jpg, "Not a JPEG file: starts with 0x70 0x6c"},
        {ImageFormat::Unknown, Gb("解码: 未知或错误的图像格式")},
        {ImageFormat::Tif, "Error encountered while opening TIFF file"},
        {ImageFormat::Png, "Not a PNG file"},
        // A code that names no decoder: detection fails and the text from before is put back.
        {static_cast<ImageFormat>(99), ""},
        {static_cast<ImageFormat>(-1), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.format));
        EXPECT_FALSE(DecodeFromFile(handle, PathText(text), c.format));
        EXPECT_EQ(GetLastError(handle).bytes(), c.error);
        EXPECT_EQ(Read(handle), kStartup);
    }
}

TEST_F(ImageObjectTest, EveryFileStandsAlone) {
    // A failed decode after a good one reports the defaults, not the previous file.
    ASSERT_TRUE(DecodeFromFile(handle, PathText(GreyJpeg300()), ImageFormat::Jpg));
    EXPECT_FALSE(DecodeFromFile(handle, PathText(TextFile()), ImageFormat::Jpg));
    EXPECT_EQ(Read(handle), kStartup);
    EXPECT_EQ(GetLastError(handle).bytes(), "Not a JPEG file: starts with 0x70 0x6c");

    // A TIFF without resolution after a 300-dpi file shows 96.
    ASSERT_TRUE(DecodeFromFile(handle, PathText(GreyJpeg300()), ImageFormat::Jpg));
    const std::string bare = dir.Write("bare.tif", fixtures::WriteTiff({fixtures::TiffPage{}}));
    ASSERT_TRUE(DecodeFromFile(handle, PathText(bare), ImageFormat::Jpg));
    EXPECT_EQ(Read(handle), (Properties{8, 4, 96, 256, 90}));
}

TEST_F(ImageObjectTest, FilesThatCannotBeReadFail) {
    ASSERT_TRUE(DecodeFromFile(handle, PathText(GreyJpeg300()), ImageFormat::Jpg));
    EXPECT_FALSE(DecodeFromFile(handle, PathText(dir.path() + "/missing.jpg"), ImageFormat::Jpg));
    EXPECT_EQ(Read(handle), kStartup);
    EXPECT_TRUE(GetLastError(handle).empty());

    // A FIFO is refused without blocking; a directory is not read either.
    const std::string fifo = dir.path() + "/pipe.jpg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(DecodeFromFile(handle, PathText(fifo), ImageFormat::Jpg));
    EXPECT_FALSE(DecodeFromFile(handle, PathText(dir.path()), ImageFormat::Jpg));
    EXPECT_FALSE(handle.empty());
}

TEST_F(ImageObjectTest, NonUtf8FileNamesAreFound) {
    const std::string name = "\xB5\xB5\xB0\xB8.jpg";  // GBK bytes, not UTF-8
    fixtures::JpegSpec fixture;
    const std::string path = dir.Write(name, fixtures::WriteJpeg(fixture));
    EXPECT_TRUE(DecodeFromFile(handle, PathText(path), ImageFormat::Jpg));
    EXPECT_EQ(GetWidth(handle), 16);
}

TEST_F(ImageObjectTest, FreeEmptiesHandleAndIsIdempotent) {
    ASSERT_TRUE(DecodeFromFile(handle, PathText(GreyJpeg300()), ImageFormat::Jpg));
    Free(handle);
    EXPECT_TRUE(handle.empty());
    Free(handle);
    EXPECT_TRUE(handle.empty());
    EXPECT_EQ(GetWidth(handle), 0);
}

TEST_F(ImageObjectTest, AdoptedProbeEqualsDirectDecode) {
    const std::string paths[] = {GreyJpeg300(), RgbTiff(), TextFile()};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        ImageHandle direct;
        const bool decoded = DecodeFromFile(direct, PathText(path), ImageFormat::Jpg);
        const ImageProbe probe = ProbeImageFile(fs_, PathText(path), ImageFormat::Jpg);
        EXPECT_EQ(probe.decoded, decoded);
        ImageHandle adopted;
        AdoptProbe(adopted, probe);
        EXPECT_EQ(Read(adopted), Read(direct));
        EXPECT_EQ(GetLastError(adopted), GetLastError(direct));
        EXPECT_EQ(GetYDPI(adopted), GetYDPI(direct));

    }
}

TEST_F(ImageObjectTest, WhatCannotBeOpenedSaysWhyAndNothingBlocks) {
    // A FIFO without a writer, a directory and a missing file: none is read.
    const std::string fifo = dir.path() + "/pipe.jpg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = dir.path() + "/folder.jpg";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "not a regular file"},
        {folder, "Is a directory"},
        {dir.path() + "/missing.jpg", "No such file or directory"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        const ImageProbe probe = ProbeImageFile(fs_, PathText(path), ImageFormat::Jpg);
        EXPECT_TRUE(probe.pathAccepted);
        EXPECT_FALSE(probe.decoded);
        EXPECT_EQ(probe.width, 0);
        EXPECT_EQ(probe.notReadReason, Text(reason));
        EXPECT_EQ(probe.lastError, Text());
    }
    EXPECT_EQ(ProbeImageFile(fs_, PathText(GreyJpeg300()), ImageFormat::Jpg).notReadReason, Text());
}

TEST_F(ImageObjectTest, ReasonNotReadNamesTheDecoderWhoseSignatureMatched) {
    const std::string png(reinterpret_cast<const char*>(fixtures::WritePng({}).data()), 33);  // ends after IHDR
    struct Case {
        const char* name;
        std::string bytes;
        std::string reason;  // UTF-8
    };
    const Case cases[] = {
        {"text", "plain words in a text file", "未知或错误的图像格式"},
        {"empty", "", "未知或错误的图像格式"},
        {"png cut after its header", png, "PNG: Read Error"},
        {"BM and nothing usable", std::string("BM") + std::string(20, 'x'), "BMP: Error reading BMP info"},
        {"GIF signature only", "GIF89a", "GIF: Not a GIF"},
        {"JPEG start only", std::string("\xFF\xD8\xFF\xE0", 4), "JPEG: JPEG datastream contains no image"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
        const ImageProbe probe = ProbeImageBytes(std::span<const unsigned char>(bytes, c.bytes.size()), ImageFormat::Jpg);
        EXPECT_FALSE(probe.decoded);
        EXPECT_EQ(TextToUtf8(probe.notReadReason), c.reason);
        // The library's last error stays the hinted decoder's (libjpeg's), whatever the file.
        {
            MemoryStream stream(std::span<const unsigned char>(bytes, c.bytes.size()));
            CodecImage jpeg(ImageFormat::Jpg);
            DecodeJpeg(stream, jpeg);
            EXPECT_EQ(probe.lastError.bytes(), jpeg.settings.lastError);
        }
    }
    EXPECT_TRUE(ProbeImageBytes(fixtures::WritePng({}), ImageFormat::Jpg).notReadReason.empty());
}

// Counts the reads that begin at the start of the stream: each decoder
// attempt makes at least one, the JPEG decoder two (its EXIF scan, then libjpeg).
class StartCountingStream final : public ByteStream {
public:
    explicit StartCountingStream(const Bytes& bytes) : inner_(std::span<const unsigned char>(bytes)) {}

    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override {
        if (inner_.Tell() == 0) ++readsAtStart;
        return inner_.Read(buffer, size, count);
    }
    bool Seek(std::int64_t offset, SeekOrigin origin) override { return inner_.Seek(offset, origin); }
    std::int64_t Tell() const override { return inner_.Tell(); }
    int GetC() override {
        if (inner_.Tell() == 0) ++readsAtStart;
        return inner_.GetC();
    }
    bool Eof() const override { return inner_.Eof(); }
    std::int64_t Size() const override { return inner_.Size(); }

    int readsAtStart = 0;

private:
    MemoryStream inner_;
};

TEST_F(ImageObjectTest, AFailedHintIsNotTriedAgainInDetection) {
    // Detection alone tries every decoder once. A failed hint adds nothing:
    // its decoder would fail the same way again, so detection skips it.
    fixtures::TiffPage page;
    const Bytes tiff = fixtures::WriteTiff({page});
    const Bytes text = {'p', 'l', 'a', 'i', 'n', ' ', 't', 'e', 'x', 't', '\n'};
    for (const Bytes* file : {&tiff, &text}) {
        StartCountingStream detectionOnly(*file);
        const ImageProbe detected = ProbeImageStream(detectionOnly, ImageFormat::Unknown);
        ASSERT_GT(detectionOnly.readsAtStart, 2);
        for (const ImageFormat hint : {ImageFormat::Jpg, ImageFormat::Bmp, ImageFormat::Png, ImageFormat::Gif}) {
            SCOPED_TRACE(static_cast<int>(hint));
            StartCountingStream hinted(*file);
            const ImageProbe probe = ProbeImageStream(hinted, hint);
            EXPECT_EQ(hinted.readsAtStart, detectionOnly.readsAtStart);
            EXPECT_EQ(probe.decoded, detected.decoded);
            EXPECT_EQ(probe.width, detected.width);
        }
    }
    // The texts stay those of the failed hint.
    StartCountingStream hintedJpeg(text);
    EXPECT_EQ(ProbeImageStream(hintedJpeg, ImageFormat::Jpg).lastError.bytes(), "Not a JPEG file: starts with 0x70 0x6c");
    StartCountingStream hintedTiff(tiff);
    EXPECT_EQ(ProbeImageStream(hintedTiff, ImageFormat::Jpg).lastError.bytes(), "Not a JPEG file: starts with 0x49 0x49");
}

TEST_F(ImageObjectTest, TheSameFileDecodesAlikeFromDiskAndFromMemory) {
    const std::pair<std::string, std::string> files[] = {
        {GreyJpeg300(), "/m/grey.jpg"}, {RgbTiff(), "/m/page.tif"}, {TextFile(), "/m/notes.txt"}};
    MemoryFileSystem memory;
    for (const auto& [disk, inMemory] : files) {
        std::ifstream in(disk, std::ios::binary);
        memory.AddFileWithBytes(inMemory, std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {}));
    }
    for (const auto& [disk, inMemory] : files) {
        SCOPED_TRACE(disk);
        ImageHandle fromDisk;
        ImageHandle fromMemory;
        EXPECT_EQ(DecodeFromFile(fs_, fromDisk, PathText(disk), ImageFormat::Jpg),
                  DecodeFromFile(memory, fromMemory, Text(inMemory), ImageFormat::Jpg));
        EXPECT_EQ(Read(fromMemory), Read(fromDisk));
        EXPECT_EQ(GetLastError(fromMemory), GetLastError(fromDisk));
    }
}

TEST_F(ImageObjectTest, ProbesOnManyThreadsAgreeWithOneThread) {
    const std::string paths[] = {GreyJpeg300(), RgbTiff(), TextFile()};
    std::vector<ImageProbe> expected;
    for (const std::string& path : paths) expected.push_back(ProbeImageFile(fs_, PathText(path), ImageFormat::Jpg));
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                for (std::size_t i = 0; i < 3; ++i) {
                    const ImageProbe probe = ProbeImageFile(fs_, PathText(paths[i]), ImageFormat::Jpg);
                    if (probe.width != expected[i].width || probe.xDpi != expected[i].xDpi ||
                        probe.lastError != expected[i].lastError) {
                        ++mismatches[static_cast<std::size_t>(t)];
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

TEST_F(ImageObjectTest, HugeHeadersNeedNoLargeAllocation) {
    if (quillmere::testing::kShadowMemorySanitizer) GTEST_SKIP() << "the sanitizer's shadow memory exceeds any cap";
    // 100000 x 100000 at 24 bits would be 30 GB of pixels; the probe must
    // succeed with the address space capped far below that.
    fixtures::TiffPage page;
    page.bitsPerSample = 8;
    page.samplesPerPixel = 3;
    page.photometric = PHOTOMETRIC_RGB;
    Bytes tiff = fixtures::WriteTiff({page});
    const std::uint32_t directory = tiff[4] | tiff[5] << 8 | tiff[6] << 16;
    const std::uint16_t count = static_cast<std::uint16_t>(tiff[directory] | tiff[directory + 1] << 8);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = directory + 2 + 12 * i;
        const int tag = tiff[entry] | tiff[entry + 1] << 8;
        if (tag != TIFFTAG_IMAGEWIDTH && tag != TIFFTAG_IMAGELENGTH) continue;
        tiff[entry + 2] = TIFF_LONG;
        tiff[entry + 8] = 0xA0; tiff[entry + 9] = 0x86; tiff[entry + 10] = 0x01; tiff[entry + 11] = 0;  // 100000
    }
    const std::string path = dir.Write("huge.tif", tiff);
    EXPECT_EXIT(
        {
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            limit.rlim_cur = 1024ul * 1024 * 1024;
            setrlimit(RLIMIT_AS, &limit);
            ImageHandle huge;
            const bool ok = DecodeFromFile(huge, PathText(path), ImageFormat::Jpg);
            std::exit(ok && GetWidth(huge) == 100000 && GetHeight(huge) == 100000 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Runs body with standard output and standard error sent to a file; returns what was written.
template <typename Body>
std::string CaptureOutput(const TempDir& dir, Body body) {
    const std::string path = dir.path() + "/captured.txt";
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedOut = dup(1);
    const int savedErr = dup(2);
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 1);
    dup2(file, 2);
    body();
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);
    ::close(file);
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(ImageObjectTest, DamagedFilesPrintNothing) {
    const Bytes jpeg = fixtures::WriteJpeg({});
    const Bytes png = fixtures::WritePng({});
    const Bytes tiff = fixtures::WriteTiff({fixtures::TiffPage{}});
    std::vector<std::string> paths;
    int index = 0;
    for (const Bytes* whole : {&jpeg, &png, &tiff}) {
        for (std::size_t cut : {std::size_t{3}, std::size_t{20}, std::size_t{45}, whole->size() - 9}) {
            Bytes damaged(whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(std::min(cut, whole->size())));
            if (damaged.size() > 12) damaged[12] ^= 0x5A;
            paths.push_back(dir.Write("damaged" + std::to_string(index++), damaged));
        }
    }
    const std::string printed = CaptureOutput(dir, [&] {
        for (const std::string& path : paths) {
            for (const ImageFormat format : {ImageFormat::Unknown, ImageFormat::Jpg, ImageFormat::Png, ImageFormat::Tif}) {
                DecodeFromFile(handle, PathText(path), format);
            }
        }
    });
    EXPECT_EQ(printed, "");
}

}  // namespace
}  // namespace quillmere::image
