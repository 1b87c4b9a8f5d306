#pragma once
// A file's last-write time and size as the metadata row shows them. Each
// asks the file system for the entry's status only; no file is opened, so a
// FIFO or a file another program holds open still reports.

#include <cstdint>

#include "runtime/date_time.h"
#include "runtime/file_system.h"
#include "runtime/text.h"

namespace quillmere {

// The last-write time in the local time in force at that instant, to the
// whole second; kMissingFileTime when the path leads nowhere.
DateTime GetFileTime(const FileSystem& fs, const Text& path);

struct FileFacts {
    bool exists = false;
    DateTime time = kMissingFileTime;
    std::int64_t size = -1;  // the true size, however large
    EntryType type = EntryType::Other;  // what the path leads to, links followed
};

// Existence, time, full size and type from one status lookup.
FileFacts GetFileFacts(const FileSystem& fs, const Text& path);
// The same facts from a status already looked up.
FileFacts FileFactsOf(const FileStatus& status);

}  // namespace quillmere
