// The whole decode of one file, as the extraction run does it once the file
// is open: the first input byte is the format code (0 detection, 1 to 15 one
// format tried first), the rest is the file.
//
// Whatever the bytes, the probe ends with either a picture of positive size
// and a colour count the depth allows, or a failure that says why; and the
// same bytes always give the same probe, so nothing of one file can reach
// the next one's row.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "fuzz/fuzz_check.h"
#include "image/image_object.h"

namespace {

using quillmere::image::ImageProbe;

bool SameProbe(const ImageProbe& a, const ImageProbe& b) {
    return a.pathAccepted == b.pathAccepted && a.decoded == b.decoded && a.width == b.width &&
           a.height == b.height && a.xDpi == b.xDpi && a.yDpi == b.yDpi && a.colorCount == b.colorCount &&
           a.jpegQuality == b.jpegQuality && a.lastError == b.lastError;
}

bool AllowedColourCount(std::uint32_t count) { return count == 0 || count == 2 || count == 16 || count == 256; }

// libjpeg, libpng, libtiff and OpenJPEG are not instrumented, so libFuzzer
// cannot see which of their paths an input took. The outcome they leave
// (their message, success, the colour count) stands in: each distinct one
// bumps a counter libFuzzer reads as coverage, so inputs reaching a new
// library message are kept. Outside libFuzzer the array is just unused.
constexpr std::size_t kOutcomeCounters = 4096;
__attribute__((used, section("__libfuzzer_extra_counters"))) std::uint8_t outcomeCounters[kOutcomeCounters];

void CountOutcome(const ImageProbe& probe) {
    std::size_t hash = std::hash<std::string>{}(probe.lastError.bytes());
    hash ^= (probe.decoded ? 0x9E3779B9u : 0u) + (static_cast<std::size_t>(probe.colorCount) << 7);
    const std::size_t slot = hash % kOutcomeCounters;
    if (outcomeCounters[slot] < 255) ++outcomeCounters[slot];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto format = static_cast<quillmere::image::ImageFormat>(data[0] % 16);
    const std::span<const unsigned char> file(data + 1, size - 1);

    const ImageProbe probe = quillmere::image::ProbeImageBytes(file, format);
    CountOutcome(probe);
    QUILLMERE_FUZZ_CHECK(probe.pathAccepted);
    if (probe.decoded) {
        QUILLMERE_FUZZ_CHECK(probe.width > 0);
        QUILLMERE_FUZZ_CHECK(probe.height > 0);
        QUILLMERE_FUZZ_CHECK(AllowedColourCount(probe.colorCount));
        // Only a JPEG changes the quality, and only to a value on the 1 to 100 scale.
        QUILLMERE_FUZZ_CHECK(probe.jpegQuality >= 1 && probe.jpegQuality <= 100);
    } else {
        QUILLMERE_FUZZ_CHECK(!probe.lastError.empty());
        // A file no decoder accepts reports the start-up values.
        QUILLMERE_FUZZ_CHECK(probe.width == 0 && probe.height == 0 && probe.colorCount == 0);
        QUILLMERE_FUZZ_CHECK(probe.xDpi == 96 && probe.yDpi == 96 && probe.jpegQuality == 90);
    }

    const ImageProbe again = quillmere::image::ProbeImageBytes(file, format);
    QUILLMERE_FUZZ_CHECK(SameProbe(probe, again));
    return 0;
}
