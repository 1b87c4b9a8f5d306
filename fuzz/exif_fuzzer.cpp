// The EXIF reader on its own: the marker-segment scan over a stream, and the
// block parser handed an APP1 payload directly. The first input byte picks
// the entry point; the rest is the file or the payload.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "runtime/byte_stream.h"
#include "image/exif_reader.h"

namespace {

using quillmere::image::ExifReader;
using quillmere::image::ExifRecord;

bool SameRecord(const ExifRecord& a, const ExifRecord& b) {
    // Compared as bytes: a NaN resolution must come out the same NaN.
    return std::memcmp(&a.xResolution, &b.xResolution, sizeof a.xResolution) == 0 &&
           std::memcmp(&a.yResolution, &b.yResolution, sizeof a.yResolution) == 0 &&
           a.resolutionUnitFactor == b.resolutionUnitFactor && a.isExif == b.isExif &&
           a.orientation == b.orientation;
}

void ScanSegments(std::span<const std::uint8_t> file, bool readExif) {
    quillmere::MemoryStream stream(file);
    ExifReader reader;
    reader.ScanExifSegments(stream, readExif);
    if (!readExif) QUILLMERE_FUZZ_CHECK(!reader.record().isExif);
}

// The parser sees only the segment's length - 2 bytes: the same block with
// anything after it cut off parses the same way.
void ParseBlock(std::span<const std::uint8_t> data, std::size_t length) {
    ExifReader reader;
    const bool parsed = reader.ParseExifBlock(data, length);
    if (!parsed) QUILLMERE_FUZZ_CHECK(!reader.error().empty());

    const std::size_t inside = std::min(data.size(), length >= 2 ? length - 2 : 0);
    const std::vector<std::uint8_t> exact(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(inside));
    ExifReader cut;
    QUILLMERE_FUZZ_CHECK(cut.ParseExifBlock(exact, length) == parsed);
    QUILLMERE_FUZZ_CHECK(SameRecord(cut.record(), reader.record()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t selector = data[0];
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    switch (selector % 3) {
        case 0:
            ScanSegments(rest, (selector & 0x80) == 0);
            break;
        case 1:
            ParseBlock(rest, rest.size() + 2);
            break;
        default:
            // A segment length of its own (high byte first), as a scan that
            // read a damaged length field would pass it.
            if (rest.size() >= 2) ParseBlock(rest.subspan(2), static_cast<std::size_t>(rest[0] << 8 | rest[1]));
            break;
    }
    return 0;
}
