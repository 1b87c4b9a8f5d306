// The conversion over the whole of Unicode: every name that is valid UTF-8
// comes back byte for byte and is shown as it was.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/text_encoding.h"
#include "tests/support/utf8_reference.h"

namespace quillmere {
namespace {

using testing::Utf8;

TEST(TextEncodingUnicode, EveryScalarValueRoundTripsAndShowsAsItself) {
    int nativeMismatches = 0;
    int shownMismatches = 0;
    for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        // Between two ASCII letters, as in a file name.
        const std::string name = "a" + Utf8(cp) + "z";
        const Text text = TextFromUtf8(name);
        if (TextToNativeName(text) != name && ++nativeMismatches <= 5) ADD_FAILURE() << "native U+" << std::hex << static_cast<std::uint32_t>(cp);
        if (TextToUtf8(text) != name && ++shownMismatches <= 5) ADD_FAILURE() << "shown U+" << std::hex << static_cast<std::uint32_t>(cp);
    }
    EXPECT_EQ(nativeMismatches, 0);
    EXPECT_EQ(shownMismatches, 0);
}

// U+E78D is one of the private-use code points that iconv's GB18030 has no
// mapping for. The characters around it still become GB18030, and the whole
// name shows as it was, not as its UTF-8 bytes read as GBK.
TEST(TextEncodingUnicode, ACharacterGb18030CannotCarryKeepsItsNeighbours) {
    const std::string name = "档案\xEE\x9E\x8D号.jpg";
    const Text text = TextFromUtf8(name);
    EXPECT_EQ(text.bytes().substr(0, 4), "\xB5\xB5\xB0\xB8");
    EXPECT_EQ(TextToNativeName(text), name);
    EXPECT_EQ(TextToUtf8(text), name);
}

TEST(TextEncodingUnicode, GbkBytesNextToAnUnmappableCharacterStillShowAsChinese) {
    // GBK 中文 (not UTF-8), then the bytes of U+E78D: a name that is not
    // UTF-8 as a whole reads as GBK throughout, and keeps its bytes.
    const std::string name = "\xD6\xD0\xCE\xC4\xEE\x9E\x8D";
    const Text text = TextFromUtf8(name);
    EXPECT_EQ(TextToNativeName(text), name);
    EXPECT_TRUE(TextToUtf8(text).starts_with("中文"));
}

}  // namespace
}  // namespace quillmere
