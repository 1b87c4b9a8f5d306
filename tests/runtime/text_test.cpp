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

}  // namespace
}  // namespace quillmere
