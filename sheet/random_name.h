#pragma once
// Random name parts for temporary files and folders, so that a name can be
// registered for signal cleanup before anything is created under it.

#include <string>

namespace quillmere::sheet {

// Ten letters and digits from the kernel's random source (a clock-based
// mix where that is unavailable).
std::string RandomNamePart();

}  // namespace quillmere::sheet
