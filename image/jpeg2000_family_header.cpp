#include "image/jpeg2000_family_header.h"

#include <algorithm>

namespace quillmere::image {

std::uint32_t FamilyImageDepth(const FamilyImageHeader& header) {
    const auto& components = header.components;
    if (components.size() == 3 &&
        std::all_of(components.begin(), components.end(), [&](const ComponentGeometry& c) {
            return c.width == components[0].width && c.height == components[0].height;
        })) {
        return 24;
    }
    return components.empty() ? 0 : std::min<std::uint32_t>(components[0].precision, 8);
}

}  // namespace quillmere::image
