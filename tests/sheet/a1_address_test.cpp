#include "sheet/a1_address.h"

#include <gtest/gtest.h>

namespace quillmere::sheet {
namespace {

struct AcceptedCase {
    const char* text;
    std::uint32_t row;
    std::uint16_t column;
};

TEST(A1Address, AcceptsCellsInsideTheSheet) {
    const AcceptedCase cases[] = {
        {"A1", 0, 0},
        {"N2", 1, 13},
        {"Z9", 8, 25},
        {"AA10", 9, 26},
        {"AZ1", 0, 51},
        {"BA1", 0, 52},
        {"ZZ1", 0, 701},
        {"AAA1", 0, 702},
        {"XFD1048576", 1048575, 16383},
        {"a1", 0, 0},          // Excel takes either case
        {"xFd7", 6, 16383},
        {"$A$1", 0, 0},        // absolute markers change nothing
        {"$B3", 2, 1},
        {"C$4", 3, 2},
    };
    for (const AcceptedCase& c : cases) {
        const auto address = ParseA1(c.text);
        ASSERT_TRUE(address.has_value()) << c.text;
        EXPECT_EQ(address->row, c.row) << c.text;
        EXPECT_EQ(address->column, c.column) << c.text;
    }
}

TEST(A1Address, RefusesAnythingElse) {
    const char* cases[] = {
        "",
        "A",             // no row
        "1",             // no column
        "A0",            // rows start at 1
        "A01",           // leading zero
        "A1048577",      // past the last row
        "A99999999999",  // far past it, without overflowing into range
        "XFE1",          // past the last column
        "AAAA1",         // four letters
        "ZZZ1",          // three letters, past XFD
        " A1",
        "A1 ",
        "A 1",
        "A1:B2",
        "Sheet1!A1",
        "1A",
        "A-1",
        "A+1",
        "$",
        "$$A1",
        "A$$1",
        "A1$",
        "R1C1",
        "\xEF\xBC\xA1\xEF\xBC\x91",  // full-width "Ａ１"
        "A1\n",
    };
    for (const char* text : cases) {
        EXPECT_FALSE(ParseA1(text).has_value()) << '"' << text << '"';
    }
    EXPECT_FALSE(ParseA1(std::string_view("A1\0", 3)).has_value());
}

TEST(A1Address, RangeSpansBothCornersInEitherOrder) {
    const CellRange expected{{0, 0}, {2, 2}};
    EXPECT_EQ(ParseA1Range("A1", "C3"), expected);
    EXPECT_EQ(ParseA1Range("C3", "A1"), expected);
    EXPECT_EQ(ParseA1Range("A3", "C1"), expected);
    EXPECT_EQ(ParseA1Range("C1", "A3"), expected);

    const auto single = ParseA1Range("N2", "n2");
    ASSERT_TRUE(single.has_value());
    EXPECT_TRUE(single->IsSingleCell());
    EXPECT_EQ(single->CellCount(), 1u);
    EXPECT_EQ(ParseA1Range("A1", "XFD1048576")->CellCount(), 16384ull * 1048576ull);
}

TEST(A1Address, RangeFailsWhenEitherCornerIsRefused) {
    EXPECT_FALSE(ParseA1Range("A1", "").has_value());
    EXPECT_FALSE(ParseA1Range("", "A1").has_value());
    EXPECT_FALSE(ParseA1Range("A1", "A1048577").has_value());
    EXPECT_FALSE(ParseA1Range("XFE1", "A1").has_value());
}

TEST(A1Address, FormatsWhatItParses) {
    const char* cases[] = {"A1", "N2", "Z26", "AA27", "AZ100", "BA1", "ZZ1", "AAA1", "XFD1048576"};
    for (const char* text : cases) {
        const auto address = ParseA1(text);
        ASSERT_TRUE(address.has_value()) << text;
        EXPECT_EQ(FormatA1(*address), text);
    }
    // Every column round-trips, which pins the bijective base-26 arithmetic.
    for (unsigned column = 0; column < kSheetColumns; ++column) {
        const CellAddress address{41, static_cast<std::uint16_t>(column)};
        EXPECT_EQ(ParseA1(FormatA1(address)), address) << column;
    }
}

}  // namespace
}  // namespace quillmere::sheet
