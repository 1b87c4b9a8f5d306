#pragma once
// ToText: the one way numbers and dates become Text, so the
// status line, the messages and the workbook all show the same forms.

#include <cstdint>

#include "runtime/date_time.h"
#include "runtime/text.h"

namespace quillmere {

// Signed decimal, a minus sign for negatives, no leading zeros or grouping.
Text ToText(int value);
Text ToText(std::int64_t value);
// Unsigned decimal 0 to 255.
Text ToText(std::uint8_t value);
// 2015年3月7日14时5分9秒; the time part shortens to 14时5分, 14时 or nothing
// as its trailing fields are zero. Clamped to the years 100 to 9999 and
// rounded to the second.
Text ToText(DateTime value);
Text ToText(const Text& value);

}  // namespace quillmere
