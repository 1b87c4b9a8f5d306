#pragma once
// ToText: the one way numbers, truth values and dates become Text, so the
// status line, the messages and the workbook all show the same forms.

#include <cstdint>
#include <span>

#include "runtime/date_time.h"
#include "runtime/text.h"

namespace quillmere {

// Signed decimal, a minus sign for negatives, no leading zeros or grouping.
Text ToText(int value);
Text ToText(short value);
Text ToText(std::int64_t value);
// Unsigned decimal 0 to 255.
Text ToText(std::uint8_t value);
// "%.13g" with an exponent of at least three digits (1e+013, 1e-005);
// zero of either sign is "0".
Text ToText(double value);
// 真 or 假.
Text ToText(bool value);
// 2015年3月7日14时5分9秒; the time part shortens to 14时5分, 14时 or nothing
// as its trailing fields are zero. Clamped to the years 100 to 9999 and
// rounded to the second.
Text ToText(DateTime value);
Text ToText(const Text& value);
// The bytes before the first zero byte.
Text ToText(std::span<const std::uint8_t> byteSet);

}  // namespace quillmere
