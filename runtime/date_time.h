#pragma once
// DateTime: days since 1899-12-30 00:00 as a double, the fraction being the
// time of day. Before that day the fraction counts back from the whole day
// (1899-12-29 06:00 is -1.25), so the whole days and the time of day are
// always read from the value taken toward zero and its absolute fraction.

#include <ctime>

namespace quillmere {

struct DateTime {
    double days = 0;
};

constexpr bool operator==(DateTime left, DateTime right) noexcept { return left.days == right.days; }

// 0100-01-01 00:00 and 9999-12-31 00:00, the range every DateTime is written in.
inline constexpr double kFirstDateTimeDay = -657434.0;
inline constexpr double kLastDateTimeDay = 2958465.0;

// What a file time that cannot be read reports (written as 100年1月1日).
inline constexpr DateTime kMissingFileTime{kFirstDateTimeDay};

// A calendar date and time of day in the proleptic Gregorian calendar.
struct CivilTime {
    int year = 1899;
    int month = 12;   // 1 to 12
    int day = 30;     // 1 to 31
    int hour = 0;     // 0 to 23
    int minute = 0;
    int second = 0;
};

// Days from 1899-12-30 to the given date (negative before it).
long long DayNumber(int year, int month, int day) noexcept;
// The date of a day number; inverse of DayNumber.
CivilTime CivilFromDayNumber(long long dayNumber) noexcept;

// The DateTime of a calendar date and time of day, to the whole second.
DateTime MakeDateTime(const CivilTime& civil) noexcept;

// A moment as the local time in force at that moment (the zone's daylight-
// saving rule for that date, not today's); kMissingFileTime when the C
// library cannot convert it.
DateTime LocalDateTimeFromTime(std::time_t moment) noexcept;

}  // namespace quillmere
