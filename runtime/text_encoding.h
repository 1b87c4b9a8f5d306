#pragma once
// Conversion between Text (GB18030) and the UTF-8 of the file system, the
// window and the workbook.
//
// File names need not be valid UTF-8 (GBK names copied from another system
// are common in archives). A name that is not valid UTF-8 as a whole keeps
// each of its non-ASCII bytes as the private code point U+10FF00 + byte,
// which GB18030 encodes as a four-byte character, so
// TextToNativeName(TextFromUtf8(name)) == name for every byte string. Valid
// UTF-8 spelling one of those escape code points is escaped the same way,
// which keeps the round trip exact.

#include <string>
#include <string_view>

#include "runtime/text.h"

namespace quillmere {

// Any bytes (a file name, a UI string, a literal) to Text; never fails.
Text TextFromUtf8(std::string_view utf8);
// Back to the exact bytes the name had on disk.
std::string TextToNativeName(const Text& text);
// Valid UTF-8 for display and the workbook. The escaped bytes of a name,
// with the ASCII among them, show as GB18030 characters when they read as
// such throughout; otherwise as whichever of GB18030 and UTF-8 reads more
// of them, each byte neither reads showing as U+FFFD.
std::string TextToUtf8(const Text& text);

}  // namespace quillmere
