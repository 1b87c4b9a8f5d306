#include "runtime/text.h"
#include "runtime/text_encoding.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(TextEncoding, RoundTripsEveryNameExactly) {
    const std::string names[] = {
        "0001.jpg",
        "档案-0001.tif",
        std::string("\xD6\xD0\xCE\xC4.jpg"),            // GBK bytes, not UTF-8
        std::string("bad\xFF\xFE\x80name"),
        std::string("\xF4\x8F\xBE\x80"),                // UTF-8 of an escape code point
        std::string("mix\xE4\xB8\xADz\xC0\xAF"),        // valid char then an overlong slash
        "",
    };
    for (const std::string& name : names) {
        EXPECT_EQ(TextToNativeName(TextFromUtf8(name)), name) << name;
    }
}

TEST(TextEncoding, ChineseBecomesGbkBytes) {
    EXPECT_EQ(TextFromUtf8("中文").bytes(), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(TextToUtf8(Text(std::string("\xD6\xD0\xCE\xC4"))), "中文");
}

TEST(TextEncoding, DisplayShowsGbkNamesAsCharacters) {
    // A GBK-named file copied from another system displays as its characters.
    EXPECT_EQ(TextToUtf8(TextFromUtf8("\xD6\xD0\xCE\xC4.jpg")), "中文.jpg");
    EXPECT_EQ(TextToUtf8(TextFromUtf8("a\xFF")), "a\xEF\xBF\xBD");
}

TEST(TextEncoding, AGbkNameIsReadAsGbkThroughout) {
    struct Case {
        std::string native;
        std::string shown;
    };
    const Case cases[] = {
        // 页 is D2 B3, which on its own is also the UTF-8 of U+04B3.
        {"\xB5\xDA" "1" "\xD2\xB3.TXT", "第1页.TXT"},
        {"\xD2\xB3\xC3\xE6", "页面"},
        // A trail byte in the ASCII range: 丂 is 81 40.
        {"\x81\x40" "0001.jpg", "丂0001.jpg"},
        {"\xB5\xB5\xB0\xB8-\xCE\xC4\xCA\xE9", "档案-文书"},
        // A GBK name cut inside its last character keeps what it can.
        {"\xB5\xB5\xB0", "档\xEF\xBF\xBD"},
        // A UTF-8 name with a stray byte stays UTF-8.
        {"中文\xFF.jpg", "中文\xEF\xBF\xBD.jpg"},
        // Bytes that are valid UTF-8 as a whole are UTF-8, whatever else they could spell.
        {"\xD2\xB3", "\xD2\xB3"},
    };
    for (const Case& c : cases) {
        const Text text = TextFromUtf8(c.native);
        EXPECT_EQ(TextToUtf8(text), c.shown) << c.native;
        EXPECT_EQ(TextToNativeName(text), c.native);
    }
}

}  // namespace
}  // namespace quillmere

namespace quillmere {
namespace {

// Three two-byte characters 档案号 in GBK.
const std::string kThreeChinese = "\xB5\xB5\xB0\xB8\xBA\xC5";

TEST(TextLength, CountsBytes) {
    EXPECT_EQ(TextLength(Text()), 0);
    EXPECT_EQ(TextLength(Text("0001.jpg")), 8);
    EXPECT_EQ(TextLength(Text(kThreeChinese)), 6);
}

struct CutCase {
    std::string text;
    int n;
    std::string left;
    std::string right;
};

TEST(TextLeftRight, CutBytesWithoutLookingAtCharacters) {
    const CutCase cases[] = {
        {"abc", 0, "", ""},
        {"abc", -5, "", ""},
        {"abc", 2, "ab", "bc"},
        {"abc", 5, "abc", "abc"},
        {"abc", 10, "abc", "abc"},
        {"", 1, "", ""},
        // A cut inside a two-byte character keeps a lone lead or trail byte.
        {"a\xD6\xD0", 2, "a\xD6", "\xD6\xD0"},
        {"a\xD6\xD0", 1, "a", "\xD0"},
        {"\x95\x5C", 1, "\x95", "\x5C"},
    };
    for (const CutCase& c : cases) {
        EXPECT_EQ(TextLeft(Text(c.text), c.n).bytes(), c.left) << c.text << " n=" << c.n;
        EXPECT_EQ(TextRight(Text(c.text), c.n).bytes(), c.right) << c.text << " n=" << c.n;
    }
}

struct SearchCase {
    std::string text;
    std::string search;
    bool caseInsensitive;
    int expected;
};

TEST(ReverseFindText, FindsTheLastMatchStartingAtACharacter) {
    const SearchCase cases[] = {
        {"D:\\scan\\a\\0001.jpg", "\\", false, 10},
        {"/scan/a/0001.jpg", "/", false, 8},
        {"0001.jpg", ".", false, 5},
        {"a.b.c", ".", false, 4},
        {"0001", ".", false, -1},
        {"aaa", "aa", false, 2},  // overlapping occurrences count
        {"ab", "abc", false, -1},
        {"abc", "", false, 1},
        {"", "", false, -1},
        {"", "a", false, -1},
        // 0x5C as the trail byte of a two-byte character is not a backslash.
        {"\x95\x5C" "a", "\\", false, -1},
        {"\x95\x5C" "a\\", "\\", false, 4},
        {"\x95\x5C" "a", "a", false, 3},
        // Neither is a trail byte that happens to be a letter.
        {"\x81" "aa", "a", false, 3},
        {"x\x81" "a", "a", false, -1},
        // A whole two-byte character is found where it starts.
        {"\xD6\xD0\xCE\xC4\xD6\xD0", "\xD6\xD0", false, 5},
        {"\xD6\xD0\xCE\xC4", "\xD0\xCE", false, -1},
        // A lone lead byte at the end is still examined, then the search stops.
        {"ab\x81", "\x81", false, 3},
        {"ab\x81", "b\x81", false, 2},
        {"\x81", "\x81", false, 1},
        {"A.JPG", "jpg", true, 3},
        {"A.JPG", "jpg", false, -1},
        {"a.jpg.JPG", "Jpg", true, 7},
        // Only ASCII letters fold: '[' and '{' differ by 0x20 too.
        {"[", "{", true, -1},
        {"\x81" "A", "a", true, -1},
    };
    for (const SearchCase& c : cases) {
        EXPECT_EQ(ReverseFindText(Text(c.text), Text(c.search), c.caseInsensitive), c.expected)
            << "text=" << c.text << " search=" << c.search << " ci=" << c.caseInsensitive;
    }
}

TEST(ReverseFindText, CaseSensitiveByDefault) {
    EXPECT_EQ(ReverseFindText(Text("A.JPG"), Text("jpg")), -1);
}

TEST(ToUpper, RaisesAsciiLettersOutsideTwoByteCharacters) {
    const std::pair<std::string, std::string> cases[] = {
        {"jpg", "JPG"},
        {"Tif2", "TIF2"},
        {"", ""},
        {"a-z_{}@", "A-Z_{}@"},
        {"\x81\x61", "\x81\x61"},          // trail byte 'a' stays
        {"\x81\x61" "b", "\x81\x61" "B"},
        {"\xD6\xD0.jpg", "\xD6\xD0.JPG"},
        {"a\x81", "A\x81"},                // lone lead byte at the end
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ToUpper(Text(text)).bytes(), expected) << text;
    }
}

TEST(TextValue, EqualityIsByteExactAndConcatenationJoins) {
    EXPECT_NE(Text("JPG"), Text("jpg"));
    EXPECT_EQ(Text(""), Text());
    EXPECT_NE(Text(""), Text(" "));
    EXPECT_EQ((Text("a") + Text() + Text("b") + Text()).bytes(), "ab");
}

}  // namespace
}  // namespace quillmere
