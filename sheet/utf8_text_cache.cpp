#include "sheet/utf8_text_cache.h"

#include <functional>

#include "runtime/text_encoding.h"

namespace quillmere::sheet {

std::string_view Utf8TextCache::Convert(const Text& text) {
    const std::string& bytes = text.bytes();
    Entry& entry = entries_[std::hash<std::string_view>{}(bytes) % kEntries];
    if (!entry.filled || entry.text != bytes) {
        entry.utf8 = TextToUtf8(text);
        entry.text = bytes;
        entry.filled = true;
    }
    return entry.utf8;
}

}  // namespace quillmere::sheet
