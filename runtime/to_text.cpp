#include "runtime/to_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "runtime/text_encoding.h"

namespace quillmere {

namespace {

// The calendar words, converted once: ToText(DateTime) runs for every row.
struct CalendarWords {
    Text year = TextFromUtf8("年");
    Text month = TextFromUtf8("月");
    Text day = TextFromUtf8("日");
    Text hour = TextFromUtf8("时");
    Text minute = TextFromUtf8("分");
    Text second = TextFromUtf8("秒");
};

const CalendarWords& Words() {
    static const CalendarWords words;
    return words;
}

// Appends value in decimal. Every row takes a dozen of these; to_chars
// does one in the time snprintf takes to read its format.
void AppendDecimal(std::string& out, long long value) {
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    static_cast<void>(ec);  // 24 characters hold any long long
    out.append(digits, end);
}

Text Decimal(long long value) {
    std::string text;
    AppendDecimal(text, value);
    return Text(std::move(text));
}

}  // namespace

Text ToText(int value) { return Decimal(value); }
Text ToText(std::int64_t value) { return Decimal(value); }
Text ToText(std::uint8_t value) { return Decimal(value); }

Text ToText(DateTime value) {
    double v = value.days;
    // NaN has no date; it reads as the first day rather than as garbage.
    if (std::isnan(v) || v < kFirstDateTimeDay) v = kFirstDateTimeDay;
    if (v > kLastDateTimeDay) v = kLastDateTimeDay;
    constexpr double kHalfSecond = 1.0 / 172800.0;
    v += v > 0 ? kHalfSecond : -kHalfSecond;

    const double wholeDays = std::trunc(v);
    const CivilTime date = CivilFromDayNumber(static_cast<long long>(wholeDays));
    const double magnitude = std::fabs(v);
    const int seconds = std::clamp(static_cast<int>((magnitude - std::floor(magnitude)) * 86400.0), 0, 86399);
    const int hour = seconds / 3600;
    const int minute = (seconds / 60) % 60;
    const int second = seconds % 60;

    const CalendarWords& words = Words();
    std::string text;
    text.reserve(32);  // 9999年12月31日23时59分59秒 is 30 bytes
    const auto field = [&text](long long number, const Text& word) {
        AppendDecimal(text, number);
        text += word.bytes();
    };
    field(date.year, words.year);
    field(date.month, words.month);
    field(date.day, words.day);
    // The time shortens from its end: 14时5分9秒, 14时5分, 14时, nothing.
    if (hour != 0 || minute != 0 || second != 0) field(hour, words.hour);
    if (minute != 0 || second != 0) field(minute, words.minute);
    if (second != 0) field(second, words.second);
    return Text(std::move(text));
}

Text ToText(const Text& value) { return value; }

}  // namespace quillmere
