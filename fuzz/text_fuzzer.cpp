// The text primitives and the GB18030/UTF-8 conversion on arbitrary bytes.
//
// Input layout: byte 0 is n for TextLeft/TextRight (signed), byte 1 holds
// the case flag (bit 0) and the search length (bits 1 to 7), the rest is
// split into the text and, at its end, the search text. The same bytes also
// serve as a file name, as a double and as a file time.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "runtime/date_time.h"
#include "runtime/text.h"
#include "runtime/text_encoding.h"
#include "runtime/to_text.h"
#include "tests/support/utf8_reference.h"

namespace {

using quillmere::Text;

using quillmere::testing::AppendUtf8;
using quillmere::testing::DecodeUtf8;
using quillmere::testing::IsValidUtf8;

// Where characters begin: a byte from 0x80 up starts a two-byte character.
// The last position may be a lone lead byte.
std::vector<std::size_t> CharacterStarts(const std::string& bytes) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < bytes.size(); at += quillmere::IsLeadByte(static_cast<unsigned char>(bytes[at])) ? 2 : 1) {
        starts.push_back(at);
    }
    return starts;
}

unsigned char Folded(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 0x20) : c; }

bool MatchesAt(const std::string& text, std::size_t at, const std::string& search, bool caseInsensitive) {
    if (text.size() - at < search.size()) return false;
    for (std::size_t i = 0; i < search.size(); ++i) {
        const auto a = static_cast<unsigned char>(text[at + i]);
        const auto b = static_cast<unsigned char>(search[i]);
        if (caseInsensitive ? Folded(a) != Folded(b) : a != b) return false;
    }
    return true;
}

// The last match that begins where a character begins, 1-based, or -1.
int ExpectedReverseFind(const std::string& text, const std::string& search, bool caseInsensitive) {
    if (search.empty()) return text.empty() ? -1 : 1;
    int result = -1;
    for (std::size_t start : CharacterStarts(text)) {
        if (MatchesAt(text, start, search, caseInsensitive)) result = static_cast<int>(start + 1);
    }
    return result;
}

void CheckPrimitives(const Text& text, const Text& search, bool caseInsensitive, int n) {
    const std::string& bytes = text.bytes();
    QUILLMERE_FUZZ_CHECK(quillmere::TextLength(text) == static_cast<int>(bytes.size()));

    const Text left = quillmere::TextLeft(text, n);
    const Text right = quillmere::TextRight(text, n);
    const std::size_t kept = n <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), bytes.size());
    QUILLMERE_FUZZ_CHECK(left.bytes() == bytes.substr(0, kept));
    QUILLMERE_FUZZ_CHECK(right.bytes() == bytes.substr(bytes.size() - kept));

    QUILLMERE_FUZZ_CHECK(quillmere::ReverseFindText(text, search, caseInsensitive) ==
                         ExpectedReverseFind(bytes, search.bytes(), caseInsensitive));

    const std::string upper = quillmere::ToUpper(text).bytes();
    QUILLMERE_FUZZ_CHECK(upper.size() == bytes.size());
    std::vector<bool> isStart(bytes.size(), false);
    for (std::size_t start : CharacterStarts(bytes)) isStart[start] = true;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        const bool raised = isStart[i] && c >= 'a' && c <= 'z';
        QUILLMERE_FUZZ_CHECK(static_cast<unsigned char>(upper[i]) == (raised ? c - 0x20 : c));
    }
}

void CheckConversion(std::string_view bytes) {
    // Any bytes as a file name come back exactly.
    const Text name = quillmere::TextFromUtf8(bytes);
    QUILLMERE_FUZZ_CHECK(quillmere::TextToNativeName(name) == bytes);

    // What is shown is always valid UTF-8, whatever the Text holds.
    const std::string shown = quillmere::TextToUtf8(name);
    QUILLMERE_FUZZ_CHECK(IsValidUtf8(shown));
    QUILLMERE_FUZZ_CHECK(IsValidUtf8(quillmere::TextToUtf8(Text(bytes))));

    // Valid UTF-8 is shown as it was, except for the private code points
    // the conversion reserves for undecodable bytes.
    std::vector<char32_t> codePoints;
    if (DecodeUtf8(bytes, &codePoints)) {
        bool reserved = false;
        for (char32_t cp : codePoints) reserved = reserved || cp >= 0x10FF80;
        if (!reserved) QUILLMERE_FUZZ_CHECK(shown == bytes);
    }
}

// Valid UTF-8 built from the bytes, three per character, so the conversion
// sees names mixing any code points (mutated bytes alone are rarely valid
// UTF-8 beyond ASCII). A first byte below 0x20 gives an ASCII character.
std::string ValidUtf8From(std::string_view bytes) {
    std::string name;
    for (std::size_t at = 0; at + 3 <= bytes.size(); at += 3) {
        const auto b0 = static_cast<unsigned char>(bytes[at]);
        const auto b1 = static_cast<unsigned char>(bytes[at + 1]);
        const auto b2 = static_cast<unsigned char>(bytes[at + 2]);
        if (b0 < 0x20) {
            AppendUtf8(name, (b1 & 0x7F) == 0 ? '_' : (b1 & 0x7F));
            continue;
        }
        const char32_t cp = ((char32_t{b0} << 16) | (char32_t{b1} << 8) | b2) % 0x110000;
        if (cp != 0 && (cp < 0xD800 || cp > 0xDFFF)) AppendUtf8(name, cp);
    }
    return name;
}

template <typename T>
T Take(std::span<const std::uint8_t> bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), std::min(sizeof value, bytes.size()));
    return value;
}

void CheckToText(std::span<const std::uint8_t> bytes) {
    const auto number = Take<double>(bytes);
    QUILLMERE_FUZZ_CHECK(!quillmere::ToText(Take<std::int64_t>(bytes)).empty());
    QUILLMERE_FUZZ_CHECK(!quillmere::ToText(Take<int>(bytes)).empty());

    // Any day count, and any file time, is written as a date.
    const std::string day = quillmere::TextToUtf8(quillmere::ToText(quillmere::DateTime{number}));
    QUILLMERE_FUZZ_CHECK(!day.empty() && day[0] >= '1' && day[0] <= '9');
    const auto moment = static_cast<std::time_t>(Take<std::int64_t>(bytes));
    const std::string time = quillmere::TextToUtf8(quillmere::ToText(quillmere::LocalDateTimeFromTime(moment)));
    QUILLMERE_FUZZ_CHECK(!time.empty() && time[0] >= '1' && time[0] <= '9');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int n = static_cast<std::int8_t>(data[0]);
    const bool caseInsensitive = (data[1] & 1) != 0;
    const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::size_t searchLength = std::min<std::size_t>(data[1] >> 1, rest.size());

    const Text text(rest.substr(0, rest.size() - searchLength));
    const Text search(rest.substr(rest.size() - searchLength));
    CheckPrimitives(text, search, caseInsensitive, n);
    CheckPrimitives(Text(rest), search, caseInsensitive, n * 4);
    CheckConversion(rest);
    CheckConversion(ValidUtf8From(rest));
    CheckToText(std::span<const std::uint8_t>(data + 2, size - 2));
    return 0;
}
