#pragma once
// The one owner of a POSIX file descriptor: move-only, closed on destruction.

#include <fcntl.h>
#include <sys/types.h>

namespace quillmere {

class FileDescriptor {
public:
    FileDescriptor() noexcept = default;
    // Takes over fd; a negative fd makes an empty owner.
    explicit FileDescriptor(int fd) noexcept : fd_(fd < 0 ? -1 : fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // openat(directory, path, flags, mode), retried while a signal interrupts
    // it; empty on failure with errno set.
    static FileDescriptor OpenAt(int directory, const char* path, int flags, mode_t mode = 0) noexcept;

    bool valid() const noexcept { return fd_ >= 0; }
    int get() const noexcept { return fd_; }
    // Gives the descriptor up without closing it; the owner is empty after.
    int release() noexcept;
    // Closes now; false with errno set when close reports a failure. The
    // descriptor is gone either way: Linux releases it even when close is
    // interrupted, so it is never closed a second time.
    bool Close() noexcept;

private:
    int fd_ = -1;
};

}  // namespace quillmere
