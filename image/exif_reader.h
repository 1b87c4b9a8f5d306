#pragma once
// Reads the resolution a JPEG file's EXIF block records.
//
// ScanExifSegments walks the marker segments up to the start of scan and
// parses every APP1 "Exif" block into the record; the walk of a block's
// directories follows sub-directory and next-directory links depth first,
// a later value overwriting an earlier one, and never enters a directory
// twice. The resolution is taken from the first directory and the
// directories it links by tag, never from the linked second directory (the
// thumbnail's) or below it. Problems are kept in error() and never printed.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "runtime/byte_stream.h"

namespace quillmere::image {

struct ExifRecord {
    float xResolution = 0.0f;
    float yResolution = 0.0f;
    float resolutionUnitFactor = 0.0f;  // divisor turning the resolution into dots per inch
    bool isExif = false;                // the last APP1 "Exif" block parsed without error
    std::int32_t orientation = 0;
    // From the frame header.
    std::int32_t frameWidth = 0;
    std::int32_t frameHeight = 0;
    std::int32_t frameComponents = 0;
};

class ExifReader {
public:
    // At most this many segments are kept before the start of scan.
    static constexpr int kMaxSegments = 20;

    // Reads segments from the stream's current position, which must be the
    // file's start. True when the start of scan was reached.
    bool ScanExifSegments(ByteStream& stream, bool readExif);
    // data: an APP1 segment after its two length bytes; length: the segment
    // length, those two bytes included (data holds length - 2 bytes).
    bool ParseExifBlock(std::span<const std::uint8_t> data, std::size_t length);

    const ExifRecord& record() const noexcept { return record_; }
    const std::string& error() const noexcept { return error_; }

private:
    // Whose directory the walk is in: the image's own (the first directory
    // and what it links by tag), or a further picture's, reached through a
    // next-directory link.
    enum class Walk { Image, Thumbnail };
    struct VisitedDirectory {
        std::size_t offset = 0;
        Walk walk = Walk::Image;
        bool operator==(const VisitedDirectory&) const = default;
    };

    // tiff: the TIFF data all offsets count from.
    bool ParseExifDirectory(std::size_t directory, std::span<const std::uint8_t> tiff, int depth, Walk walk);
    // value: the value's bytes up to the end of the TIFF data (missing bytes read as 0).
    double ConvertExifValue(std::span<const std::uint8_t> value, std::uint16_t format) const;
    std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) const;
    std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) const;
    std::int32_t ReadS32(std::span<const std::uint8_t> bytes, std::size_t at) const {
        return static_cast<std::int32_t>(ReadU32(bytes, at));
    }
    void ParseFrameHeader(std::span<const std::uint8_t> data);
    bool Fail(const char* text) {
        error_ = text;
        return false;
    }
    // The two scan failures that are reported to the operator as well:
    // on standard error, never in the workbook.
    bool FailAndDiagnose(const char* text);

    ExifRecord record_;
    std::string error_;
    int keptSegments_ = 0;
    bool commentSeen_ = false;
    bool motorolaOrder_ = false;
    std::vector<VisitedDirectory> visitedDirectories_;  // of the block being parsed
};

}  // namespace quillmere::image
