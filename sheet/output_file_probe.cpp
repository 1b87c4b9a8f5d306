#include "sheet/output_file_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillmere::sheet {

namespace {

// Owns one file descriptor.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }

private:
    int fd_;
};

int OpenRetryingInterrupts(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

std::string Describe(const char* what, int error) {
    return std::string(what) + ": " + std::strerror(error);
}

}  // namespace

bool ProbeOutputFile(const std::string& path, std::string& failure) {
    if (path.empty()) {
        failure = "no output file was given";
        return false;
    }
    constexpr int kCommon = O_WRONLY | O_CLOEXEC | O_NOCTTY;
    {
        const FileDescriptor created(OpenRetryingInterrupts(path.c_str(), kCommon | O_CREAT | O_EXCL, 0666));
        if (created.valid()) {
            // Only a probe: the workbook creates the file itself when it is saved.
            ::unlink(path.c_str());
            return true;
        }
        if (errno != EEXIST) {
            failure = Describe("cannot create the output file", errno);
            return false;
        }
    }
    // Non-blocking, so a FIFO without a reader fails instead of hanging.
    const FileDescriptor existing(OpenRetryingInterrupts(path.c_str(), kCommon | O_NONBLOCK));
    if (!existing.valid()) {
        failure = Describe("cannot write the output file", errno);
        return false;
    }
    struct stat status {};
    if (::fstat(existing.get(), &status) != 0) {
        failure = Describe("cannot examine the output file", errno);
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        failure = "the output path is not a regular file";
        return false;
    }
    return true;
}

}  // namespace quillmere::sheet
