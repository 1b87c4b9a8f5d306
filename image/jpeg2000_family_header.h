#pragma once
// What every reader of the JPEG-2000 family (JP2, J2K/JPC, PGX, PNM, RAS)
// reports: the image size and the size and precision of each component.

#include <cstdint>
#include <vector>

namespace quillmere::image {

struct ComponentGeometry {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t precision = 0;  // bits per sample
};

struct FamilyImageHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<ComponentGeometry> components;
};

// 24 for three components of equal size; otherwise the first component's
// precision, at most 8.
std::uint32_t FamilyImageDepth(const FamilyImageHeader& header);

}  // namespace quillmere::image
