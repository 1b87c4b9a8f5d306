// The reference UTF-8 the conversion tests compare against, checked on
// known byte sequences so that a slip in it cannot hide the same slip in
// the program.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/utf8_reference.h"

namespace quillmere::testing {
namespace {

struct KnownCharacter {
    char32_t codePoint;
    std::string bytes;
};

TEST(Utf8Reference, EncodesAndDecodesKnownCharacters) {
    const KnownCharacter known[] = {
        {U'A', "A"},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {U'中', "\xE4\xB8\xAD"},
        {0xFFFD, "\xEF\xBF\xBD"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x1F600, "\xF0\x9F\x98\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const KnownCharacter& c : known) {
        SCOPED_TRACE(static_cast<unsigned>(c.codePoint));
        EXPECT_EQ(Utf8(c.codePoint), c.bytes);
        std::vector<char32_t> decoded;
        EXPECT_TRUE(DecodeUtf8(c.bytes, &decoded));
        EXPECT_EQ(decoded, std::vector<char32_t>{c.codePoint});
    }
}

TEST(Utf8Reference, RefusesWhatIsNotStrictUtf8) {
    const std::string refused[] = {
        "\x80",              // continuation byte first
        "\xC0\xAF",          // overlong '/'
        "\xE0\x80\xAF",      // overlong '/'
        "\xED\xA0\x80",      // surrogate U+D800
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xE4\xB8",          // cut short
        "\xE4\x41\xAD",      // continuation missing
        "\xFF",
    };
    for (const std::string& bytes : refused) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        EXPECT_FALSE(IsValidUtf8(bytes));
        EXPECT_FALSE(IsValidUtf8("ok" + bytes + "ok"));
    }
}

}  // namespace
}  // namespace quillmere::testing
