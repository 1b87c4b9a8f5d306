#include "image/pgx_decoder.h"

#include <cstdint>

#include "image/header_text_scanner.h"

namespace quillmere::image {
namespace {

constexpr std::uint32_t kMaxPrecision = 32;

}  // namespace

std::optional<FamilyImageHeader> ReadPgxHeader(ByteStream& stream) {
    HeaderTextScanner scanner(stream, HeaderTextScanner::Comments::None);
    if (scanner.Next() != 'P' || scanner.Next() != 'G' || !scanner.SkipSpace()) return std::nullopt;

    // Byte order of the samples: "ML" big-endian, "LM" little-endian.
    const int first = scanner.Next();
    const int second = scanner.Next();
    if (!((first == 'M' && second == 'L') || (first == 'L' && second == 'M'))) return std::nullopt;

    // An optional sign of the samples, then the precision.
    scanner.SkipSpace();
    if (scanner.Peek() == '+' || scanner.Peek() == '-') scanner.Next();
    const std::optional<std::uint32_t> precision = scanner.ReadUnsigned();
    if (!precision || *precision == 0 || *precision > kMaxPrecision) return std::nullopt;

    const std::optional<std::uint32_t> width = scanner.ReadUnsigned();
    const std::optional<std::uint32_t> height = width ? scanner.ReadUnsigned() : std::nullopt;
    // The header line ends before the samples; a number cut by the end of
    // the file may be only the first digits of the height.
    if (!height || scanner.Peek() < 0) return std::nullopt;

    FamilyImageHeader header;
    header.width = *width;
    header.height = *height;
    header.components.push_back(ComponentGeometry{*width, *height, *precision});
    return header;
}

}  // namespace quillmere::image
