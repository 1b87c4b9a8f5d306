#include "image/ras_decoder.h"

#include <cstdint>

#include "image/header_fields.h"

namespace quillmere::image {
namespace {

constexpr std::uint32_t kMagic = 0x59A66A95;
constexpr std::uint32_t kTypeOld = 0;
constexpr std::uint32_t kTypeStandard = 1;
constexpr std::uint32_t kMapNone = 0;
constexpr std::uint32_t kMapEqualRgb = 1;
constexpr std::uint32_t kMaxDepth = 32;
constexpr std::uint32_t kMaxMappedDepth = 8;  // a colour map holds at most 256 entries

}  // namespace

std::optional<FamilyImageHeader> ReadRasHeader(ByteStream& stream) {
    HeaderBytes<32> raw;
    if (!raw.ReadFrom(stream) || raw.U32Be(0) != kMagic) return std::nullopt;
    const std::uint32_t width = raw.U32Be(4);
    const std::uint32_t height = raw.U32Be(8);
    const std::uint32_t depth = raw.U32Be(12);
    const std::uint32_t type = raw.U32Be(20);
    const std::uint32_t mapType = raw.U32Be(24);

    if (depth == 0 || depth > kMaxDepth) return std::nullopt;
    // Run-length and the vendor encodings have no pixel reader.
    if (type != kTypeOld && type != kTypeStandard) return std::nullopt;
    if (mapType != kMapNone && !(mapType == kMapEqualRgb && depth <= kMaxMappedDepth)) return std::nullopt;

    const bool rgb = depth == 24 || depth == 32;
    FamilyImageHeader header;
    header.width = width;
    header.height = height;
    header.components.assign(rgb ? 3 : 1, ComponentGeometry{width, height, rgb ? 8u : depth});
    return header;
}

}  // namespace quillmere::image
