#include "image/exif_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace quillmere::image {

namespace {

constexpr int kMaxPaddingBytes = 6;
constexpr int kMaxDirectoryDepth = 32;
constexpr std::size_t kDirectoryEntrySize = 12;

// Bytes per component of each EXIF format code (0 to 12).
constexpr std::array<std::uint32_t, 13> kBytesPerComponent = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};

enum ExifTag : std::uint16_t {
    kTagOrientation = 0x0112,
    kTagXResolution = 0x011A,
    kTagYResolution = 0x011B,
    kTagResolutionUnit = 0x0128,
    kTagExifDirectory = 0x8769,
    kTagInteroperabilityDirectory = 0xA005,
};

bool IsFrameHeaderMarker(int marker) {
    switch (marker) {
        case 0xC0: case 0xC1: case 0xC2: case 0xC3:
        case 0xC5: case 0xC6: case 0xC7:
        case 0xC9: case 0xCA: case 0xCB:
        case 0xCD: case 0xCE: case 0xCF:
            return true;
        default:
            return false;
    }
}

std::uint8_t ByteAt(std::span<const std::uint8_t> bytes, std::size_t at) {
    return at < bytes.size() ? bytes[at] : 0;
}

// The span from offset to the end; empty when offset is past it.
std::span<const std::uint8_t> From(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return offset <= bytes.size() ? bytes.subspan(offset) : std::span<const std::uint8_t>{};
}

}  // namespace

std::uint16_t ExifReader::ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) const {
    const std::uint16_t first = ByteAt(bytes, at);
    const std::uint16_t second = ByteAt(bytes, at + 1);
    return motorolaOrder_ ? static_cast<std::uint16_t>(first << 8 | second)
                          : static_cast<std::uint16_t>(second << 8 | first);
}

std::uint32_t ExifReader::ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) const {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::uint32_t byte = ByteAt(bytes, at + i);
        value |= motorolaOrder_ ? byte << (8 * (3 - i)) : byte << (8 * i);
    }
    return value;
}

bool ExifReader::ScanExifSegments(ByteStream& stream, bool readExif) {
    if (stream.GetC() != 0xFF || stream.GetC() != 0xD8) return false;
    std::vector<std::uint8_t> segment;
    for (;;) {
        if (keptSegments_ >= kMaxSegments) return Fail("Too many sections in jpg file");

        int marker = 0;
        for (int padding = 0;; ++padding) {
            marker = stream.GetC();
            if (marker != 0xFF) break;
            if (padding >= kMaxPaddingBytes) return FailAndDiagnose("too many padding bytes");
        }

        const int high = stream.GetC();
        const int low = stream.GetC();
        if (high < 0 || low < 0) return Fail("invalid marker");
        const std::size_t length = static_cast<std::size_t>(high << 8 | low);
        if (length < 2) return Fail("invalid marker");
        const std::size_t dataLength = length - 2;

        // Only the frame header, APP1 and the first comment are looked at;
        // every other segment is skipped over, which the size check makes
        // as strict as reading it.
        const bool wanted = IsFrameHeaderMarker(marker) || marker == 0xE1 || (marker == 0xFE && readExif && !commentSeen_);
        if (wanted) {
            segment.resize(dataLength);
            if (stream.Read(segment.data(), 1, dataLength) != dataLength) return Fail("Premature end of file?");
        } else {
            const std::int64_t end = stream.Tell() + static_cast<std::int64_t>(dataLength);
            if (end > stream.Size() || !stream.Seek(end, SeekOrigin::Begin)) return Fail("Premature end of file?");
        }
        const std::span<const std::uint8_t> data(segment.data(), wanted ? dataLength : 0);

        if (IsFrameHeaderMarker(marker)) {
            ParseFrameHeader(data);
            ++keptSegments_;
        } else if (marker == 0xD9) {
            return FailAndDiagnose("No image in jpeg!");
        } else if (marker == 0xDA) {
            return true;
        } else if (marker == 0xE0) {
            // JFIF header: libjpeg reads it; not kept.
        } else if (marker == 0xE1) {
            if (readExif && data.size() >= 4 && std::memcmp(data.data(), "Exif", 4) == 0) {
                record_.isExif = ParseExifBlock(data, length);
                ++keptSegments_;
            }
        } else if (marker == 0xFE) {
            if (readExif && !commentSeen_) {
                commentSeen_ = true;
                ++keptSegments_;
            }
        } else {
            ++keptSegments_;
        }
    }
}

void ExifReader::ParseFrameHeader(std::span<const std::uint8_t> data) {
    // precision, height (2), width (2), components
    record_.frameHeight = ByteAt(data, 1) << 8 | ByteAt(data, 2);
    record_.frameWidth = ByteAt(data, 3) << 8 | ByteAt(data, 4);
    record_.frameComponents = ByteAt(data, 5);
}

bool ExifReader::ParseExifBlock(std::span<const std::uint8_t> data, std::size_t length) {
    static constexpr std::uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
    const std::size_t available = std::min(data.size(), length >= 2 ? length - 2 : 0);
    data = data.first(available);
    if (data.size() < 6 || std::memcmp(data.data(), kExifHeader, 6) != 0) return Fail("Incorrect Exif header");

    const auto tiff = data.subspan(6);
    if (ByteAt(tiff, 0) == 'I' && ByteAt(tiff, 1) == 'I') {
        motorolaOrder_ = false;
    } else if (ByteAt(tiff, 0) == 'M' && ByteAt(tiff, 1) == 'M') {
        motorolaOrder_ = true;
    } else {
        return Fail("Invalid Exif alignment marker.");
    }
    if (ReadU16(tiff, 2) != 42) return Fail("Invalid Exif start (1)");

    visitedDirectories_.clear();
    const std::uint32_t firstDirectory = ReadU32(tiff, 4);
    if (!ParseExifDirectory(8, tiff, 0, Walk::Image)) return false;
    if (firstDirectory > 8 && !ParseExifDirectory(firstDirectory, tiff, 0, Walk::Image)) return false;
    return true;
}

bool ExifReader::ParseExifDirectory(std::size_t directory, std::span<const std::uint8_t> tiff, int depth, Walk walk) {
    // A directory reached again (a link back) or a chain too deep to be real
    // ends the walk quietly: nothing new would be read from it. A directory
    // first met as a thumbnail's is still read for the image when the image
    // links it, so the image's values never depend on the link order.
    const VisitedDirectory visit{directory, walk};
    if (depth > kMaxDirectoryDepth ||
        std::find(visitedDirectories_.begin(), visitedDirectories_.end(), visit) != visitedDirectories_.end()) {
        return true;
    }
    visitedDirectories_.push_back(visit);
    const bool readsResolution = walk == Walk::Image;

    if (directory > tiff.size() || tiff.size() - directory < 2) return Fail("Illegally sized directory");
    const std::size_t entryCount = ReadU16(tiff, directory);
    const std::size_t entriesEnd = directory + 2 + kDirectoryEntrySize * entryCount;
    if (entriesEnd > tiff.size()) return Fail("Illegally sized directory");

    for (std::size_t index = 0; index < entryCount; ++index) {
        const std::size_t entry = directory + 2 + kDirectoryEntrySize * index;
        const std::uint16_t tag = ReadU16(tiff, entry);
        const std::uint16_t format = ReadU16(tiff, entry + 2);
        const std::uint32_t components = ReadU32(tiff, entry + 4);
        if (format >= kBytesPerComponent.size()) return Fail("Illegal format code in EXIF dir");

        const std::uint64_t byteCount = std::uint64_t{components} * kBytesPerComponent[format];
        std::size_t valueOffset = entry + 8;
        if (byteCount > 4) {
            const std::uint32_t offset = ReadU32(tiff, entry + 8);
            if (std::uint64_t{offset} + byteCount > tiff.size()) return Fail("Illegal pointer offset value in EXIF.");
            valueOffset = offset;
        }
        const auto value = From(tiff, valueOffset);

        switch (tag) {
            case kTagXResolution:
                if (readsResolution) record_.xResolution = static_cast<float>(ConvertExifValue(value, format));
                break;
            case kTagYResolution:
                if (readsResolution) record_.yResolution = static_cast<float>(ConvertExifValue(value, format));
                break;
            case kTagResolutionUnit: {
                if (!readsResolution) break;
                const double unit = ConvertExifValue(value, format);
                const int n = std::isfinite(unit) && std::fabs(unit) < 1e9 ? static_cast<int>(unit) : 0;
                switch (n) {
                    case 1: case 2: record_.resolutionUnitFactor = 1.0f; break;
                    case 3: record_.resolutionUnitFactor = 0.3937007874f; break;
                    case 4: record_.resolutionUnitFactor = 0.03937007874f; break;
                    case 5: record_.resolutionUnitFactor = 0.00003937007874f; break;
                    default: break;
                }
                break;
            }
            case kTagOrientation: {
                const double orientation = ConvertExifValue(value, format);
                record_.orientation = orientation >= 1 && orientation <= 8 ? static_cast<std::int32_t>(orientation) : 0;
                if (record_.orientation == 0) error_ = "Undefined rotation value";
                break;
            }
            case kTagExifDirectory:
            case kTagInteroperabilityDirectory: {
                const std::uint32_t offset = ReadU32(value, 0);
                if (offset <= 8) break;
                if (offset > tiff.size()) return Fail("Illegal subdirectory link");
                ParseExifDirectory(offset, tiff, depth + 1, walk);
                break;
            }
            default:
                break;
        }
    }

    // The offset of the next directory follows the entries; a block cut off
    // before it has no next directory. The next directory describes another
    // picture (the embedded thumbnail), so it and what it links are walked
    // for their structure but their resolution is not the image's.
    if (tiff.size() - entriesEnd >= 4) {
        const std::uint32_t next = ReadU32(tiff, entriesEnd);
        if (next != 0) {
            if (next > tiff.size()) return Fail("Illegal subdirectory link");
            ParseExifDirectory(next, tiff, depth + 1, Walk::Thumbnail);
        }
    }
    return true;
}

double ExifReader::ConvertExifValue(std::span<const std::uint8_t> value, std::uint16_t format) const {
    switch (format) {
        case 1: return ByteAt(value, 0);
        case 6: return static_cast<std::int8_t>(ByteAt(value, 0));
        case 3: return ReadU16(value, 0);
        case 8: return static_cast<std::int16_t>(ReadU16(value, 0));
        case 4: return ReadU32(value, 0);
        case 9: return ReadS32(value, 0);
        case 5:
        case 10: {
            const std::int32_t numerator = ReadS32(value, 0);
            const std::int32_t denominator = ReadS32(value, 4);
            return denominator == 0 ? 0.0 : static_cast<double>(numerator) / denominator;
        }
        case 11: {
            // Stored in the machine's own order, as the writer left it.
            std::array<std::uint8_t, sizeof(float)> raw{};
            for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = ByteAt(value, i);
            float result = 0;
            std::memcpy(&result, raw.data(), sizeof result);
            return result;
        }
        case 12: {
            std::array<std::uint8_t, sizeof(double)> raw{};
            for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = ByteAt(value, i);
            double result = 0;
            std::memcpy(&result, raw.data(), sizeof result);
            return result;
        }
        default:
            return 0.0;
    }
}

bool ExifReader::FailAndDiagnose(const char* text) {
    std::fprintf(stderr, "%s\n", text);
    return Fail(text);
}

}  // namespace quillmere::image
