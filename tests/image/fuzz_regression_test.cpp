// Files the fuzz targets found to break the probe, kept as plain tests with
// the answer each must give. Each runs through ProbeImageBytes, the same
// load DecodeFromFile runs once the file is open. (The raw fuzzer inputs
// are also replayed from fuzz/regressions/.)

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "image/image_object.h"
#include "tests/support/format_bytes.h"

namespace quillmere::image {
namespace {

using testing::Bytes;
using testing::Gb;

ImageProbe Probe(const Bytes& file, ImageFormat format) {
    return ProbeImageBytes(std::span<const unsigned char>(file.data(), file.size()), format);
}

// Runs work in a child process and returns the child's peak resident size
// in KiB, or nullopt when the child did not finish normally. The child
// starts with the parent's pages, so the figure is the test's baseline plus
// whatever the work itself touched.
std::optional<long> PeakKibInChild(const std::function<void()>& work) {
    const pid_t child = fork();
    if (child == 0) {
        work();
        _exit(0);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return usage.ru_maxrss;
}

// A 47-byte J2K codestream whose SIZ gives a tile width of 0xFFFFFFFF and a
// tile height of 0xFB140D00. There are two tiles, but OpenJPEG 2.5.0 divides
// these sizes as signed 32-bit numbers, counts 65330 tiles and set up
// 372 MB of tile parameters before reading anything else. Such a SIZ is now
// described from its own fields: the image is 2981888000 wide, which no
// bitmap header holds, so the decode fails, touching almost no memory.
const Bytes kJ2kTileSizeAboveInt32 = {
    0xff, 0x4f, 0xff, 0x51, 0x00, 0x29, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x49, 0x45,
    0x4e, 0x44, 0x00, 0x00, 0x00, 0x04, 0xfd, 0xff, 0xff, 0xff, 0xff, 0xff, 0xfb, 0x14, 0x0d, 0x00,
    0x00, 0x00, 0xff, 0x2f, 0x00, 0x00, 0x00, 0x2a, 0x00, 0x01, 0x11, 0x54, 0x69, 0x00, 0xd9,
};

TEST(FuzzRegression, J2kTileSizeAboveInt32FailsWithoutHugeAllocation) {
    for (const ImageFormat format : {ImageFormat::Unknown, ImageFormat::Jpg, ImageFormat::Jpc}) {
        SCOPED_TRACE(static_cast<int>(format));
        const ImageProbe probe = Probe(kJ2kTileSizeAboveInt32, format);
        EXPECT_FALSE(probe.decoded);
        EXPECT_EQ(probe.width, 0);
    }
    EXPECT_EQ(Probe(kJ2kTileSizeAboveInt32, ImageFormat::Jpc).lastError.bytes(), Gb("超过规定的图像数据占用的内存大小"));

    const std::optional<long> baseline = PeakKibInChild([] {});
    const std::optional<long> peak = PeakKibInChild([] { Probe(kJ2kTileSizeAboveInt32, ImageFormat::Unknown); });
    ASSERT_TRUE(baseline && peak);
    EXPECT_LT(*peak - *baseline, 64 * 1024) << "KiB touched by the probe";
}

// A JPEG that libjpeg refuses must not be taken for a WBMP. The WBMP type
// field is a multi-byte integer, and FF D8 FF E0 00 (or FF D8 FF E1 and the
// length's high byte) reads as a value beyond 32 bits. Cut to 0, the one
// type WBMP accepts, it let the JFIF letters read as a 74 x 70 bilevel
// picture and the Exif ones as 69 x 120; such a number is no WBMP header.
struct DamagedJpegCase {
    const char* name;
    Bytes file;
};

TEST(FuzzRegression, DamagedJpegIsNotAWbmp) {
    const DamagedJpegCase cases[] = {
        {"jfif then end of image",
         {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01,
          0x00, 0x00, 0xFF, 0xD9}},
        {"exif cut short",
         {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x40, 'E', 'x', 'i', 'f', 0x00, 0x00, 'M', 'M', 0x00, 0x2A}},
    };
    for (const DamagedJpegCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const ImageFormat format : {ImageFormat::Jpg, ImageFormat::Unknown}) {
            const ImageProbe probe = Probe(c.file, format);
            EXPECT_FALSE(probe.decoded);
            EXPECT_EQ(probe.width, 0);
            EXPECT_EQ(probe.colorCount, 0u);
        }
        // The run's hint is JPEG: libjpeg's message stands.
        EXPECT_EQ(Probe(c.file, ImageFormat::Jpg).lastError.bytes(), "JPEG datastream contains no image");
    }
}

}  // namespace
}  // namespace quillmere::image
