#pragma once
// Checks, without leaving a trace, that a file can be written at a path.
//
// libxlsxwriter opens its output only when the workbook is closed, so a
// path that cannot be written would otherwise show up after all rows.

#include <string>

namespace quillmere::sheet {

// true when path names a regular file that can be opened for writing or a
// file that can be created there. A file the probe created is removed
// again; an existing file is opened without truncation, so its content is
// untouched. On false, failure says why in UTF-8.
bool ProbeOutputFile(const std::string& path, std::string& failure);

}  // namespace quillmere::sheet
