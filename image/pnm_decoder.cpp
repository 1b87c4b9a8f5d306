#include "image/pnm_decoder.h"

#include <cstdint>

#include "image/header_text_scanner.h"

namespace quillmere::image {
namespace {

constexpr std::uint32_t kMaxSampleValue = 65535;

// Bits needed to hold 0..maxValue.
std::uint32_t BitsForMaximum(std::uint32_t maxValue) {
    std::uint32_t bits = 0;
    while (bits < 32 && (maxValue >> bits) != 0) ++bits;
    return bits;
}

}  // namespace

std::optional<FamilyImageHeader> ReadPnmHeader(ByteStream& stream) {
    HeaderTextScanner scanner(stream, HeaderTextScanner::Comments::Hash);
    if (scanner.Next() != 'P') return std::nullopt;
    const int kind = scanner.Next();
    if (kind < '1' || kind > '6') return std::nullopt;

    const std::optional<std::uint32_t> width = scanner.ReadUnsigned();
    const std::optional<std::uint32_t> height = width ? scanner.ReadUnsigned() : std::nullopt;
    if (!height) return std::nullopt;

    const bool bilevel = kind == '1' || kind == '4';
    std::uint32_t precision = 1;
    if (!bilevel) {
        const std::optional<std::uint32_t> maxValue = scanner.ReadUnsigned();
        if (!maxValue || *maxValue == 0 || *maxValue > kMaxSampleValue) return std::nullopt;
        precision = BitsForMaximum(*maxValue);
    }
    const bool colour = kind == '3' || kind == '6';

    FamilyImageHeader header;
    header.width = *width;
    header.height = *height;
    header.components.assign(colour ? 3 : 1, ComponentGeometry{*width, *height, precision});
    return header;
}

}  // namespace quillmere::image
