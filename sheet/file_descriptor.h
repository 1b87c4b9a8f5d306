#pragma once
// Owns one file descriptor: closed on destruction, moved, never copied.

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quillmere::sheet {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            Close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }

    // Closes now; the errno of a failed close(2), else 0. A failed close of
    // a written file can be the first sign that its data did not arrive.
    int Close() noexcept {
        if (fd_ < 0) return 0;
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int fd_ = -1;
};

}  // namespace quillmere::sheet
