#include "runtime/to_text.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/date_time.h"
#include "runtime/text_encoding.h"

namespace quillmere {
namespace {

TEST(ToText, WritesIntegersInPlainDecimal) {
    EXPECT_EQ(ToText(0).bytes(), "0");
    EXPECT_EQ(ToText(-1).bytes(), "-1");
    EXPECT_EQ(ToText(2147483647).bytes(), "2147483647");
    EXPECT_EQ(ToText(INT_MIN).bytes(), "-2147483648");
    EXPECT_EQ(ToText(std::int64_t{0}).bytes(), "0");
    EXPECT_EQ(ToText(std::int64_t{-5}).bytes(), "-5");
    EXPECT_EQ(ToText(std::int64_t{3000000000}).bytes(), "3000000000");
    EXPECT_EQ(ToText(std::numeric_limits<std::int64_t>::min()).bytes(), "-9223372036854775808");
    EXPECT_EQ(ToText(std::uint8_t{255}).bytes(), "255");
    EXPECT_EQ(ToText(std::uint8_t{0}).bytes(), "0");
}

TEST(ToText, CopiesText) { EXPECT_EQ(ToText(Text("0001")).bytes(), "0001"); }

struct DateCase {
    DateTime value;
    const char* expected;  // UTF-8
};

DateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return MakeDateTime(CivilTime{year, month, day, hour, minute, second});
}

TEST(ToText, WritesDatesInTheChineseCalendarForm) {
    const double aSecond = 1.0 / 86400.0;
    const DateCase cases[] = {
        {At(2015, 3, 7, 14, 5, 9), "2015年3月7日14时5分9秒"},
        {At(2015, 3, 7, 14, 5, 0), "2015年3月7日14时5分"},
        {At(2015, 3, 7, 14, 0, 0), "2015年3月7日14时"},
        {At(2015, 3, 7), "2015年3月7日"},
        {At(2015, 3, 7, 0, 0, 9), "2015年3月7日0时0分9秒"},
        {At(2015, 3, 7, 0, 5, 0), "2015年3月7日0时5分"},
        {At(2015, 3, 7, 14, 0, 9), "2015年3月7日14时0分9秒"},
        {At(2015, 3, 7, 23, 59, 59), "2015年3月7日23时59分59秒"},
        // Rounded to the second: 23:59:59.6 is midnight of the next day.
        {DateTime{At(2015, 3, 7, 23, 59, 59).days + 0.6 * aSecond}, "2015年3月8日"},
        {DateTime{At(2015, 3, 7, 10, 0, 0).days + 0.4 * aSecond}, "2015年3月7日10时"},
        {DateTime{0.0}, "1899年12月30日"},
        {DateTime{1.0}, "1899年12月31日"},
        {DateTime{-1.0}, "1899年12月29日"},
        {DateTime{-1.25}, "1899年12月29日6时"},
        {At(1800, 1, 1, 12, 0, 0), "1800年1月1日12时"},
        {At(2000, 2, 29), "2000年2月29日"},
        {At(1900, 3, 1), "1900年3月1日"},
        // Clamped to the years 100 to 9999.
        {kMissingFileTime, "100年1月1日"},
        {DateTime{-657434.0}, "100年1月1日"},
        {DateTime{-1e9}, "100年1月1日"},
        {DateTime{2958465.0}, "9999年12月31日"},
        {DateTime{2958465.75}, "9999年12月31日"},
        {DateTime{1e12}, "9999年12月31日"},
        {DateTime{std::nan("")}, "100年1月1日"},
    };
    for (const DateCase& c : cases) {
        EXPECT_EQ(TextToUtf8(ToText(c.value)), c.expected) << c.value.days;
    }
}

TEST(ToText, LongestNumberAndDateFormsFitTwentySixBytes) {
    EXPECT_EQ(ToText(At(9999, 12, 30, 23, 59, 59)).size(), 26u);
    EXPECT_LE(ToText(std::numeric_limits<std::int64_t>::min()).size(), 26u);
}

TEST(DateTimeCalendar, DayNumbersFollowTheProlepticGregorianCalendar) {
    EXPECT_EQ(DayNumber(1899, 12, 30), 0);
    EXPECT_EQ(DayNumber(1970, 1, 1), 25569);
    EXPECT_EQ(DayNumber(100, 1, 1), -657434);
    EXPECT_EQ(DayNumber(9999, 12, 31), 2958465);
    EXPECT_EQ(DayNumber(1900, 3, 1) - DayNumber(1900, 2, 28), 1);  // 1900 is no leap year
    for (long long day : {-657434LL, -1LL, 0LL, 59LL, 60LL, 42070LL, 2958465LL}) {
        const CivilTime civil = CivilFromDayNumber(day);
        EXPECT_EQ(DayNumber(civil.year, civil.month, civil.day), day);
    }
}

}  // namespace
}  // namespace quillmere
