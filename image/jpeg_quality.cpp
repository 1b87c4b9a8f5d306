#include "image/jpeg_quality.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

namespace quillmere::image {
namespace {

// The example tables of the JPEG standard, which libjpeg scales for its
// quality setting.
// clang-format off
constexpr QuantisationTable kStandardLuminanceTable = {
    16,  11,  10,  16,  24,  40,  51,  61,
    12,  12,  14,  19,  26,  58,  60,  55,
    14,  13,  16,  24,  40,  57,  69,  56,
    14,  17,  22,  29,  51,  87,  80,  62,
    18,  22,  37,  56,  68, 109, 103,  77,
    24,  35,  55,  64,  81, 104, 113,  92,
    49,  64,  78,  87, 103, 121, 120, 101,
    72,  92,  95,  98, 112, 100, 103,  99,
};

constexpr QuantisationTable kStandardChrominanceTable = {
    17,  18,  24,  47,  99,  99,  99,  99,
    18,  21,  26,  66,  99,  99,  99,  99,
    24,  26,  56,  99,  99,  99,  99,  99,
    47,  66,  99,  99,  99,  99,  99,  99,
    99,  99,  99,  99,  99,  99,  99,  99,
    99,  99,  99,  99,  99,  99,  99,  99,
    99,  99,  99,  99,  99,  99,  99,  99,
    99,  99,  99,  99,  99,  99,  99,  99,
};
// clang-format on

constexpr int kLowestQuality = 1;
constexpr int kHighestQuality = 100;
constexpr std::uint16_t kBaselineCeiling = 255;
constexpr std::uint16_t kExtendedCeiling = 32767;

// The percentage the standard tables are scaled by: 5000 / q below 50,
// 200 - 2q from 50 on (so 50 is the tables themselves, 100 all ones).
constexpr long ScalePercent(int quality) { return quality < 50 ? 5000L / quality : 200L - 2L * quality; }

constexpr long Sum(const QuantisationTable& table) { return std::accumulate(table.begin(), table.end(), 0L); }

bool HasZeroDivisor(const QuantisationTable& table) {
    return std::find(table.begin(), table.end(), 0) != table.end();
}

// A table with a divisor above 255 was written with 16-bit entries, and the
// encoder then did not cap its scaled values at 255.
std::uint16_t CeilingFor(const QuantisationTable& luminance, const std::optional<QuantisationTable>& chrominance) {
    const auto above = [](const QuantisationTable& table) {
        return std::any_of(table.begin(), table.end(), [](std::uint16_t v) { return v > kBaselineCeiling; });
    };
    return above(luminance) || (chrominance && above(*chrominance)) ? kExtendedCeiling : kBaselineCeiling;
}

// A standard table scaled for a quality as libjpeg's jpeg_set_quality
// scales it: rounded, at least 1, at most the ceiling.
constexpr QuantisationTable ScaledStandardTable(const QuantisationTable& standard, int quality,
                                                std::uint16_t ceiling) {
    const long scale = ScalePercent(std::clamp(quality, kLowestQuality, kHighestQuality));
    QuantisationTable scaled{};
    for (std::size_t i = 0; i < scaled.size(); ++i) {
        const long value = (standard[i] * scale + 50) / 100;
        scaled[i] = static_cast<std::uint16_t>(std::clamp<long>(value, 1, ceiling));
    }
    return scaled;
}

// The sums of the scaled standard tables for every quality (index 1 to
// 100), worked out once when the program is compiled: most files are
// placed by their sums alone, and only a quality whose sums match has its
// tables compared entry by entry.
struct ScaledSums {
    std::array<long, kHighestQuality + 1> luminance{};
    std::array<long, kHighestQuality + 1> chrominance{};
};

constexpr ScaledSums SumsOfScaledTables(std::uint16_t ceiling) {
    ScaledSums sums;
    for (int quality = kLowestQuality; quality <= kHighestQuality; ++quality) {
        const auto index = static_cast<std::size_t>(quality);
        sums.luminance[index] = Sum(ScaledStandardTable(kStandardLuminanceTable, quality, ceiling));
        sums.chrominance[index] = Sum(ScaledStandardTable(kStandardChrominanceTable, quality, ceiling));
    }
    return sums;
}

constexpr ScaledSums kBaselineSums = SumsOfScaledTables(kBaselineCeiling);
constexpr ScaledSums kExtendedSums = SumsOfScaledTables(kExtendedCeiling);

}  // namespace

std::optional<std::uint8_t> EstimateJpegQuality(const QuantisationTable& luminance,
                                                const std::optional<QuantisationTable>& chrominance) {
    if (HasZeroDivisor(luminance) || (chrominance && HasZeroDivisor(*chrominance))) return std::nullopt;
    const std::uint16_t ceiling = CeilingFor(luminance, chrominance);
    const ScaledSums& sums = ceiling == kBaselineCeiling ? kBaselineSums : kExtendedSums;
    const long luminanceSum = Sum(luminance);
    const long chrominanceSum = chrominance ? Sum(*chrominance) : 0;

    // Exact when some quality reproduces the tables; otherwise the quality
    // whose tables' sum is nearest, the higher one on a tie.
    int nearest = kHighestQuality;
    long nearestDistance = -1;
    for (int quality = kHighestQuality; quality >= kLowestQuality; --quality) {
        const auto index = static_cast<std::size_t>(quality);
        const bool sumsMatch =
            sums.luminance[index] == luminanceSum && (!chrominance || sums.chrominance[index] == chrominanceSum);
        if (sumsMatch && ScaledStandardTable(kStandardLuminanceTable, quality, ceiling) == luminance &&
            (!chrominance || ScaledStandardTable(kStandardChrominanceTable, quality, ceiling) == *chrominance)) {
            return static_cast<std::uint8_t>(quality);
        }
        const long scaledSum = sums.luminance[index] + (chrominance ? sums.chrominance[index] : 0);
        const long distance = std::labs(scaledSum - (luminanceSum + chrominanceSum));
        if (nearestDistance < 0 || distance < nearestDistance) {
            nearest = quality;
            nearestDistance = distance;
        }
    }
    return static_cast<std::uint8_t>(nearest);
}

}  // namespace quillmere::image
