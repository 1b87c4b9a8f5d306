#include "runtime/date_time.h"

#include <algorithm>
#include <limits>

namespace quillmere {

namespace {

// Day number of 1970-01-01, the origin of the civil-date arithmetic below.
constexpr long long kUnixEpochDay = 25569;

}  // namespace

// Howard Hinnant's days_from_civil, shifted to the 1899-12-30 origin.
long long DayNumber(int year, int month, int day) noexcept {
    const long long y = static_cast<long long>(year) - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long m = month;
    const long long dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468 + kUnixEpochDay;
}

CivilTime CivilFromDayNumber(long long dayNumber) noexcept {
    const long long z = dayNumber - kUnixEpochDay + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    CivilTime civil;
    civil.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    civil.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    civil.year = static_cast<int>(yearOfEra + era * 400 + (civil.month <= 2 ? 1 : 0));
    return civil;
}

DateTime MakeDateTime(const CivilTime& civil) noexcept {
    const double days = static_cast<double>(DayNumber(civil.year, civil.month, civil.day));
    const double fraction = (civil.hour * 3600.0 + civil.minute * 60.0 + civil.second) / 86400.0;
    return DateTime{days < 0 ? days - fraction : days + fraction};
}

DateTime LocalDateTimeFromTime(std::time_t moment) noexcept {
    std::tm local{};
    if (localtime_r(&moment, &local) == nullptr) return kMissingFileTime;
    // The C library accepts any tm_year an int holds, so adding 1900 back can
    // pass INT_MAX; such a year is far past the last writable day anyway.
    const long long year = std::min<long long>(local.tm_year + 1900LL, std::numeric_limits<int>::max());
    return MakeDateTime(CivilTime{static_cast<int>(year), local.tm_mon + 1, local.tm_mday,
                                  local.tm_hour, local.tm_min, local.tm_sec});
}

}  // namespace quillmere
