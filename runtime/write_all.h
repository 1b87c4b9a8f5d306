#pragma once
// Writes every byte or says why not: write(2) may take fewer bytes than it
// is given, and a signal may interrupt it before it takes any.

#include <string_view>

namespace quillmere {

// 0, or the errno of the write that failed (EIO for one that wrote nothing).
int WriteAll(int fd, std::string_view bytes);

}  // namespace quillmere
