#include "runtime/file_info.h"

#include "runtime/text_encoding.h"

namespace quillmere {

FileFacts FileFactsOf(const FileStatus& status) {
    if (!status.exists) return FileFacts{};
    return FileFacts{true, LocalDateTimeFromTime(status.lastWriteTime), status.size, status.type};
}

FileFacts GetFileFacts(const FileSystem& fs, const Text& path) { return FileFactsOf(fs.Status(TextToNativeName(path))); }

DateTime GetFileTime(const FileSystem& fs, const Text& path) { return GetFileFacts(fs, path).time; }

}  // namespace quillmere
