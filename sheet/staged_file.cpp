#include "sheet/staged_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "sheet/random_name.h"

namespace quillmere::sheet {

namespace {

// File names may be at most 255 bytes; the temporary name adds a dot and
// an eleven-byte suffix to the destination's name.
constexpr std::size_t kLongestNameKept = 200;

int OpenRetryingInterrupts(const char* path, int flags) {
    int fd;
    do {
        fd = ::open(path, flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// The mode a newly created file gets: 0666 less the umask. Read from
// /proc, since umask(2) can only be asked by changing it, which would race
// with other threads creating files.
mode_t NewFileMode() {
    mode_t mask = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = static_cast<mode_t>(value) & 0777;
                break;
            }
        }
        std::fclose(status);
    }
    return 0666 & ~mask;
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : destination_(std::move(other.destination_)),
      temporaryPath_(std::move(other.temporaryPath_)),
      descriptor_(std::move(other.descriptor_)),
      registration_(std::move(other.registration_)) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        Discard();
        destination_ = std::move(other.destination_);
        temporaryPath_ = std::move(other.temporaryPath_);
        descriptor_ = std::move(other.descriptor_);
        registration_ = std::move(other.registration_);
    }
    return *this;
}

StagedFile StagedFile::Create(const std::string& path, int& error) {
    error = 0;
    // A name that is a symbolic link is saved through: the file it points
    // at is replaced, the link stays.
    std::string destination = path;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        const std::unique_ptr<char, decltype(&std::free)> target(::realpath(path.c_str(), nullptr), &std::free);
        if (!target) {
            error = errno;
            return {};
        }
        destination = target.get();
    }
    const std::string name = NameOf(destination);
    if (name.empty() || name == "." || name == "..") {
        error = EISDIR;
        return {};
    }
    mode_t mode = NewFileMode();
    struct stat existing {};
    if (::stat(destination.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            error = EISDIR;
            return {};
        }
        // The rename would replace a file its owner made read-only.
        if (::access(destination.c_str(), W_OK) != 0) {
            error = errno;
            return {};
        }
        mode = existing.st_mode & 07777;
    } else if (errno != ENOENT) {
        error = errno;
        return {};
    }

    // The name is registered before the file is created: a signal that
    // arrives as the creating call returns then still finds it.
    const std::string folder = FolderOf(destination);
    const std::string prefix = (folder == "/" ? std::string() : folder) + "/." + name.substr(0, kLongestNameKept) + ".";
    std::string temporary;
    TemporaryFileRegistration registration;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = prefix + RandomNamePart();
        registration = TemporaryFileRegistration(temporary);
        do {
            fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        error = errno;
        return {};
    }
    StagedFile file;
    file.descriptor_ = FileDescriptor(fd);
    file.destination_ = destination;
    file.temporaryPath_ = std::move(temporary);
    file.registration_ = std::move(registration);
    // Created private while it is incomplete; the saved file gets the usual mode.
    static_cast<void>(::fchmod(fd, mode));
    return file;
}

int StagedFile::Sync() noexcept {
    if (!descriptor_.valid()) return EBADF;
    return ::fsync(descriptor_.get()) == 0 ? 0 : errno;
}

int StagedFile::Commit() noexcept {
    if (!descriptor_.valid()) return EBADF;
    int error = Sync();
    if (error == 0) error = descriptor_.Close();
    if (error == 0 && ::rename(temporaryPath_.c_str(), destination_.c_str()) != 0) error = errno;
    if (error != 0) {
        Discard();
        return error;
    }
    registration_.Release();
    temporaryPath_.clear();
    // The new name is on disk only once the folder is. A folder that cannot
    // be synced (some file systems refuse) still holds the whole file under
    // its name, so that is not a failure of the save.
    const FileDescriptor folder(OpenRetryingInterrupts(FolderOf(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) static_cast<void>(::fsync(folder.get()));
    return 0;
}

void StagedFile::Discard() noexcept {
    descriptor_.Close();
    if (!temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
    registration_.Release();
}

}  // namespace quillmere::sheet
