#include "runtime/real_file_system.h"

#include "runtime/path_start.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <ctime>
#include <string_view>

namespace quillmere {

namespace {

// The status of what a path leads to, links followed; false when it leads nowhere.
bool StatusOf(const std::string& path, struct stat& info) {
    const PathStart start(path);
    return start.ok() && fstatat(start.directory(), start.rest(), &info, 0) == 0;
}

// Owns one open DIR*.
class DirectoryStream {
public:
    // On failure isOpen() is false and openError() says why.
    explicit DirectoryStream(const std::string& path) {
        const PathStart start(path);
        if (!start.ok()) {
            openError_ = errno != 0 ? errno : ENOENT;
            return;
        }
        FileDescriptor directory =
            FileDescriptor::OpenAt(start.directory(), start.rest(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
        if (!directory.valid()) {
            openError_ = errno;
            return;
        }
        dir_ = fdopendir(directory.get());
        if (dir_ == nullptr) {
            openError_ = errno;
            return;
        }
        directory.release();  // closedir closes it now
    }
    ~DirectoryStream() {
        if (dir_ != nullptr) closedir(dir_);
    }
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;

    bool isOpen() const noexcept { return dir_ != nullptr; }
    int openError() const noexcept { return openError_; }
    int fd() const noexcept { return dirfd(dir_); }
    // The next entry, or nullptr at the end or on a read error; readError()
    // tells the two apart (errno of the failed read, else 0).
    const dirent* Next() noexcept {
        errno = 0;
        const dirent* entry = readdir(dir_);
        readError_ = entry == nullptr ? errno : 0;
        return entry;
    }
    int readError() const noexcept { return readError_; }

private:
    DIR* dir_ = nullptr;
    int openError_ = 0;
    int readError_ = 0;
};

EntryType TypeOfMode(mode_t mode) noexcept {
    if (S_ISDIR(mode)) return EntryType::Directory;
    if (S_ISREG(mode)) return EntryType::RegularFile;
    return EntryType::Other;
}

// The type of what a name in an open directory leads to, or nullopt when it is gone.
std::optional<EntryType> TypeAt(int dirFd, const char* name, unsigned char direntType) {
    switch (direntType) {
        case DT_DIR: return EntryType::Directory;
        case DT_REG: return EntryType::RegularFile;
        case DT_FIFO:
        case DT_SOCK:
        case DT_CHR:
        case DT_BLK: return EntryType::Other;
        default: break;  // a link or a file system that does not say
    }
    struct stat info {};
    if (fstatat(dirFd, name, &info, 0) == 0) return TypeOfMode(info.st_mode);
    // A dangling link still is an entry; anything else that fails has vanished.
    if (fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0) return EntryType::Other;
    return std::nullopt;
}

bool IsDotOrDotDot(const char* name) noexcept {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// What stat said, as a FileStatus.
FileStatus StatusFromStat(const struct stat& info) {
    FileStatus status;
    status.exists = true;
    status.type = TypeOfMode(info.st_mode);
    status.size = static_cast<std::int64_t>(info.st_size);
    status.lastWriteTime = info.st_mtime;
    return status;
}

// Opens name in directory for reading when it is a regular file.
std::unique_ptr<ByteStream> OpenRegularAt(int directory, const char* name, std::string& error) {
    // O_NONBLOCK: the open of a FIFO does not wait for a writer. O_NOCTTY: a
    // terminal never becomes ours. Anything but a regular file is refused
    // before any read.
    FileDescriptor file = FileDescriptor::OpenAt(directory, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (!file.valid()) {
        error = std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (fstat(file.get(), &info) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : "not a regular file";
        return nullptr;
    }
    return std::make_unique<FileStream>(std::move(file), static_cast<std::int64_t>(info.st_size));
}

}  // namespace

DirectoryListing RealFileSystem::ListDirectory(const std::string& path) const {
    DirectoryListing listing;
    DirectoryStream stream(path);
    if (!stream.isOpen()) {
        listing.failure = std::strerror(stream.openError());
        return listing;
    }
    listing.opened = true;
    while (const dirent* entry = stream.Next()) {
        if (IsDotOrDotDot(entry->d_name)) continue;
        if (auto type = TypeAt(stream.fd(), entry->d_name, entry->d_type)) {
            listing.entries.push_back(DirectoryEntry{entry->d_name, *type});
        }
    }
    // A read that failed is no end of the directory: what is missing must be told.
    if (stream.readError() != 0) listing.failure = std::strerror(stream.readError());
    SortInNameOrder(listing.entries);
    return listing;
}

std::optional<DirectoryIdentity> RealFileSystem::IdentifyDirectory(const std::string& path) const {
    struct stat info {};
    if (!StatusOf(path, info) || !S_ISDIR(info.st_mode)) return std::nullopt;
    return DirectoryIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

FileStatus RealFileSystem::Status(const std::string& path) const {
    struct stat info {};
    if (!StatusOf(path, info)) return FileStatus{};
    return StatusFromStat(info);
}

std::unique_ptr<ByteStream> RealFileSystem::OpenRegularFile(const std::string& path, std::string& error) const {
    const PathStart start(path);
    if (!start.ok()) {
        error = std::strerror(errno);
        return nullptr;
    }
    return OpenRegularAt(start.directory(), start.rest(), error);
}

DirectoryHandle RealFileSystem::OpenDirectory(const std::string& path) const {
    DirectoryHandle handle{path, {}};
    // O_PATH: nothing is read through it, so search permission is all it
    // needs, as for the lookups it replaces.
    const std::string target = path.empty() ? "." : path;
    const PathStart start(target);
    if (start.ok()) {
        handle.descriptor = FileDescriptor::OpenAt(start.directory(), start.rest(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    return handle;
}

FileStatus RealFileSystem::StatusIn(const DirectoryHandle& directory, const std::string& name) const {
    if (!directory.descriptor.valid()) return FileSystem::StatusIn(directory, name);
    struct stat info {};
    if (fstatat(directory.descriptor.get(), name.c_str(), &info, 0) != 0) return FileStatus{};
    return StatusFromStat(info);
}

std::unique_ptr<ByteStream> RealFileSystem::OpenRegularFileIn(const DirectoryHandle& directory, const std::string& name,
                                                              std::string& error) const {
    if (!directory.descriptor.valid()) return FileSystem::OpenRegularFileIn(directory, name, error);
    return OpenRegularAt(directory.descriptor.get(), name.c_str(), error);
}

}  // namespace quillmere
