#include "runtime/file_info.h"

#include "runtime/text_encoding.h"

namespace quillmere {

FileFacts GetFileFacts(const FileSystem& fs, const Text& path) {
    const FileStatus status = fs.Status(TextToNativeName(path));
    if (!status.exists) return FileFacts{};
    return FileFacts{true, LocalDateTimeFromTime(status.lastWriteTime), status.size, status.type};
}

DateTime GetFileTime(const FileSystem& fs, const Text& path) { return GetFileFacts(fs, path).time; }

}  // namespace quillmere
