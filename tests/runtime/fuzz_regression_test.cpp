// Inputs the fuzz targets found to break the runtime primitives, kept as
// plain tests with the answer each must give.

#include <gtest/gtest.h>

#include <ctime>

#include "runtime/date_time.h"
#include "runtime/text_encoding.h"
#include "runtime/to_text.h"

namespace quillmere {
namespace {

// A file time in the year 2147484600: the C library still converts it (the
// year minus 1900 fits an int), but the year itself does not. It is written
// as the last day the workbook shows, like every time past it.
TEST(FuzzRegression, FileTimeWhoseYearPassesIntIsTheLastDay) {
    const std::time_t farFuture = 67768006275743760;
    EXPECT_EQ(TextToUtf8(ToText(LocalDateTimeFromTime(farFuture))), "9999年12月31日");
}

}  // namespace
}  // namespace quillmere
