#include "sheet/utf8_text_cache.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/text_encoding.h"

namespace quillmere::sheet {
namespace {

TEST(Utf8TextCache, AlwaysAnswersTheConversionOfTheTextGiven) {
    // More distinct texts than the table holds, so entries are shared and
    // replaced; revisited in an order that differs from the first pass.
    std::vector<Text> texts;
    for (int i = 0; i < 300; ++i) {
        texts.push_back(TextFromUtf8("文书-" + std::to_string(i)));
        texts.push_back(Text(std::to_string(i)));
    }
    texts.push_back(Text());
    texts.push_back(Text(std::string("\xFF\x80", 2)));  // malformed GB18030

    Utf8TextCache cache;
    for (int pass = 0; pass < 3; ++pass) {
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const Text& text = texts[(i * 5 + static_cast<std::size_t>(pass)) % texts.size()];
            EXPECT_EQ(cache.Convert(text), TextToUtf8(text)) << text.bytes();
            EXPECT_EQ(cache.Convert(text), TextToUtf8(text)) << text.bytes();  // from the table
        }
    }
}

TEST(Utf8TextCache, AsciiIsAnsweredAsItStandsForEveryByte) {
    std::string all;
    for (int c = 0; c < 0x80; ++c) all += static_cast<char>(c);
    Utf8TextCache cache;
    for (const Text& text : {Text(all), Text("0001"), Text("2024-01-02 10:11:12"), Text("_x0041_")}) {
        EXPECT_EQ(cache.Convert(text), TextToUtf8(text));
        EXPECT_EQ(cache.Convert(text), text.bytes());
    }
}

}  // namespace
}  // namespace quillmere::sheet
