#pragma once
// The quality a JPEG was saved at, on the IJG scale (1 to 100), worked out
// from its quantisation tables alone.

#include <array>
#include <cstdint>
#include <optional>

namespace quillmere::image {

// 64 divisors in natural (row by row) order, as libjpeg keeps them after
// reading a DQT segment.
using QuantisationTable = std::array<std::uint16_t, 64>;

// The quality whose scaled standard tables equal the file's: the luminance
// table and, for a colour file, the chrominance table. Tables from another
// encoder get the quality whose scaled standard tables come closest in sum.
// nullopt when a table holds a zero divisor, which no encoder can write.
std::optional<std::uint8_t> EstimateJpegQuality(const QuantisationTable& luminance,
                                                const std::optional<QuantisationTable>& chrominance);

}  // namespace quillmere::image
