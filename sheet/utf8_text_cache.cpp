#include "sheet/utf8_text_cache.h"

#include <algorithm>
#include <functional>

#include "runtime/text_encoding.h"

namespace quillmere::sheet {

std::string_view Utf8TextCache::Convert(const Text& text) {
    const std::string& bytes = text.bytes();
    // ASCII reads the same in GB18030 and UTF-8: numbers, times, sizes and
    // most codes need no conversion at all.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return bytes;
    }
    Entry& entry = entries_[std::hash<std::string_view>{}(bytes) % kEntries];
    if (!entry.filled || entry.text != bytes) {
        entry.utf8 = TextToUtf8(text);
        entry.text = bytes;
        entry.filled = true;
    }
    return entry.utf8;
}

}  // namespace quillmere::sheet
