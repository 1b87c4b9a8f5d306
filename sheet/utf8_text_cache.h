#pragma once
// UTF-8 forms of recently converted texts.
//
// Most cells of a metadata row repeat from one row to the next (the batch
// facts, the format, the colour mode, ...). Converting each of them from
// GB18030 anew for every cell costs as much as writing it; a small
// direct-mapped table of recent conversions makes a repeated text a
// compare and a lookup, with no allocation.

#include <array>
#include <string>
#include <string_view>

#include "runtime/text.h"

namespace quillmere::sheet {

class Utf8TextCache {
public:
    // TextToUtf8(text). The view stays valid until the next call, and no
    // longer than text (an ASCII text is its own UTF-8).
    std::string_view Convert(const Text& text);

private:
    struct Entry {
        std::string text;  // GB18030 bytes
        std::string utf8;
        bool filled = false;
    };
    static constexpr std::size_t kEntries = 64;

    std::array<Entry, kEntries> entries_;
};

}  // namespace quillmere::sheet
