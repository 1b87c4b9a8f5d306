#include "runtime/file_info.h"

#include "runtime/text_encoding.h"

namespace quillmere {

FileFacts GetFileFacts(const FileSystem& fs, const Text& path) {
    const FileStatus status = fs.Status(TextToNativeName(path));
    if (!status.exists) return FileFacts{};
    return FileFacts{true, LocalDateTimeFromTime(status.lastWriteTime), status.size, status.type};
}

DateTime GetFileTime(const FileSystem& fs, const Text& path) {
    const FileStatus status = fs.Status(TextToNativeName(path));
    if (!status.exists) return kMissingFileTime;
    return LocalDateTimeFromTime(status.lastWriteTime);
}

std::int32_t GetFileSize(const FileSystem& fs, const Text& path) {
    const FileStatus status = fs.Status(TextToNativeName(path));
    if (!status.exists) return -1;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(status.size)));
}

}  // namespace quillmere
