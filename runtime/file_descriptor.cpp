#include "runtime/file_descriptor.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quillmere {

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileDescriptor FileDescriptor::OpenAt(int directory, const char* path, int flags, mode_t mode) noexcept {
    int fd = -1;
    do {
        fd = ::openat(directory, path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

int FileDescriptor::release() noexcept { return std::exchange(fd_, -1); }

bool FileDescriptor::Close() noexcept {
    if (fd_ < 0) return true;
    const int fd = std::exchange(fd_, -1);
    return ::close(fd) == 0;
}

}  // namespace quillmere
