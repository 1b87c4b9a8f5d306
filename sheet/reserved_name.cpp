#include "sheet/reserved_name.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "sheet/file_descriptor.h"

namespace quillmere::sheet {

ReservedName::ReservedName(ReservedName&& other) noexcept
    : path_(std::move(other.path_)),
      device_(other.device_),
      inode_(other.inode_),
      registration_(std::move(other.registration_)) {
    other.path_.clear();
}

ReservedName& ReservedName::operator=(ReservedName&& other) noexcept {
    if (this != &other) {
        Release();
        path_ = std::move(other.path_);
        other.path_.clear();
        device_ = other.device_;
        inode_ = other.inode_;
        registration_ = std::move(other.registration_);
    }
    return *this;
}

ReservedName ReservedName::Reserve(const std::string& stem, const std::string& extension, int& error) {
    error = 0;
    for (int copy = 1; copy <= kMostCopies; ++copy) {
        const std::string path = copy == 1 ? stem + extension : stem + "-" + std::to_string(copy) + extension;
        FileDescriptor fd;
        do {
            fd = FileDescriptor(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666));
        } while (!fd.valid() && errno == EINTR);
        if (!fd.valid()) {
            if (errno == EEXIST) continue;
            error = errno;
            return {};
        }
        struct stat status {};
        if (::fstat(fd.get(), &status) != 0) {
            error = errno;
            ::unlink(path.c_str());
            return {};
        }
        ReservedName name;
        name.path_ = path;
        name.device_ = status.st_dev;
        name.inode_ = status.st_ino;
        name.registration_ = TemporaryFileRegistration(path);
        return name;
    }
    error = EEXIST;
    return {};
}

void ReservedName::Fulfil() noexcept {
    registration_.Release();
    path_.clear();
}

void ReservedName::Release() noexcept {
    if (path_.empty()) return;
    registration_.Release();
    // Someone may have put a file of their own there meanwhile; only the
    // empty file created here goes.
    struct stat status {};
    if (::lstat(path_.c_str(), &status) == 0 && status.st_dev == device_ && status.st_ino == inode_ &&
        status.st_size == 0) {
        ::unlink(path_.c_str());
    }
    path_.clear();
}

}  // namespace quillmere::sheet
