#include "sheet/staged_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include "runtime/path_parts.h"
#include "sheet/failure_reason.h"
#include "sheet/random_name.h"

namespace quillmere::sheet {

namespace {

constexpr std::string_view kStagedSuffix = ".quillmere";
constexpr std::size_t kRandomLength = 10;

template <typename Call>
int RetryingInterrupts(Call call) {
    int result;
    do { result = call(); } while (result < 0 && errno == EINTR);
    return result;
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

bool IsRandomCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

// File systems without hard links (FAT, exFAT) refuse link() this way.
bool MeansNoHardLinks(int error) { return error == EPERM || error == EOPNOTSUPP || error == EMLINK || error == ENOSYS; }

// Removes, in the folder, every staged file whose lock can be taken: its
// run was killed before it could remove the file itself. A live run holds
// its lock from just after creating the file until the file is renamed or
// removed; a file seen in between is taken back by its run (see Create).
void RemoveUnlockedStagedFiles(int folder, std::string_view own) {
    const int listing = RetryingInterrupts([&] { return ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
    if (listing < 0) return;
    struct Closer {
        void operator()(DIR* entries) const { ::closedir(entries); }
    };
    const std::unique_ptr<DIR, Closer> entries(::fdopendir(listing));
    if (!entries) {
        ::close(listing);
        return;
    }
    while (const dirent* entry = ::readdir(entries.get())) {
        const std::string_view name = entry->d_name;
        if (name == own || !IsStagedFileName(name)) continue;
        const FileDescriptor file(RetryingInterrupts([&] {
            return ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        }));
        struct stat opened {};
        if (!file.valid() || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) continue;
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) continue;
        struct stat named {};
        if (::fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino) {
            ::unlinkat(folder, entry->d_name, 0);
        }
    }
}

}  // namespace

std::string StagedFileName(std::string_view name, std::string_view random) {
    const std::size_t room = kLongestFileName - 2 - random.size() - kStagedSuffix.size();
    std::size_t kept = std::min(name.size(), room);
    // Never half a UTF-8 character: some file systems refuse such a name.
    while (kept > 0 && kept < name.size() && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
    std::string hidden = ".";
    hidden += name.substr(0, kept);
    hidden += '.';
    hidden += random;
    hidden += kStagedSuffix;
    return hidden;
}

bool IsStagedFileName(std::string_view name) {
    const std::size_t tail = 1 + kRandomLength + kStagedSuffix.size();
    if (name.size() < 1 + tail || name.front() != '.' || !name.ends_with(kStagedSuffix)) return false;
    const std::string_view random = name.substr(name.size() - kStagedSuffix.size() - kRandomLength, kRandomLength);
    for (const char c : random) {
        if (!IsRandomCharacter(c)) return false;
    }
    return name[name.size() - tail] == '.';
}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : path_(std::move(other.path_)),
      destination_(std::move(other.destination_)),
      folderPath_(std::move(other.folderPath_)),
      hiddenName_(std::exchange(other.hiddenName_, std::string())),
      onExisting_(other.onExisting_),
      folder_(std::move(other.folder_)),
      descriptor_(std::move(other.descriptor_)),
      registration_(std::move(other.registration_)) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        Discard();
        path_ = std::move(other.path_);
        destination_ = std::move(other.destination_);
        folderPath_ = std::move(other.folderPath_);
        hiddenName_ = std::exchange(other.hiddenName_, std::string());
        onExisting_ = other.onExisting_;
        registration_ = std::move(other.registration_);
        folder_ = std::move(other.folder_);
        descriptor_ = std::move(other.descriptor_);
    }
    return *this;
}

StagedFile StagedFile::Create(const std::string& path, int& error, OnExistingFile onExisting) {
    error = 0;
    std::string destination = path;
    struct stat link {};
    if (onExisting == OnExistingFile::kReplace && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        // Saved through: the file it points at is replaced, the link stays.
        const std::unique_ptr<char, decltype(&std::free)> target(::realpath(path.c_str(), nullptr), &std::free);
        if (!target) {
            error = errno == ENOENT ? kDanglingLink : errno;
            return {};
        }
        destination = target.get();
    }
    const std::string name = std::string(FileNameOf(destination));
    if (name.empty() || name == "." || name == "..") {
        error = EISDIR;
        return {};
    }
    if (name.size() > kLongestFileName) {
        error = ENAMETOOLONG;
        return {};
    }
    mode_t mode = NewFileMode();
    if (onExisting == OnExistingFile::kReplace) {
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
    }

    StagedFile file;
    file.path_ = path;
    file.destination_ = destination;
    file.folderPath_ = FolderOf(destination);
    file.onExisting_ = onExisting;
    file.folder_ = FileDescriptor(
        RetryingInterrupts([&] { return ::open(file.folderPath_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
    if (!file.folder_.valid() && errno == EACCES) {
        // A folder that may be written but not listed: held as a path only
        // (no sync of it, no look for killed runs' files).
        file.folder_ = FileDescriptor(
            RetryingInterrupts([&] { return ::open(file.folderPath_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); }));
    }
    if (!file.folder_.valid()) {
        error = errno;
        return {};
    }
    const int folder = file.folder_.get();
    // The name is registered before the file is created: a signal that
    // arrives as the creating call returns then still finds it.
    for (int attempt = 0; attempt < 16 && !file.descriptor_.valid(); ++attempt) {
        std::string hidden = StagedFileName(name, RandomNamePart());
        file.registration_ = TemporaryFileRegistration(folder, hidden);
        const int fd = RetryingInterrupts(
            [&] { return ::openat(folder, hidden.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600); });
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            // FAT and exFAT refuse characters such as ':' with EINVAL.
            error = errno == EINVAL ? EILSEQ : errno;
            return {};
        }
        FileDescriptor created(fd);
        // Where locks are not supported at all no run can take another's.
        static_cast<void>(RetryingInterrupts([&] { return ::flock(fd, LOCK_EX); }));
        // Another run may have taken it for a killed run's file in the
        // moment before the lock: then it is gone, and another name is tried.
        struct stat status {};
        if (::fstat(fd, &status) == 0 && status.st_nlink == 0) continue;
        file.descriptor_ = std::move(created);
        file.hiddenName_ = std::move(hidden);
    }
    if (!file.descriptor_.valid()) {
        error = EEXIST;
        return {};
    }
    // Created private while it is incomplete; the saved file gets the usual mode.
    static_cast<void>(::fchmod(file.descriptor_.get(), mode));
    RemoveUnlockedStagedFiles(folder, file.hiddenName_);
    return file;
}

int StagedFile::Sync() noexcept {
    if (!descriptor_.valid()) return EBADF;
    return ::fsync(descriptor_.get()) == 0 ? 0 : errno;
}

int StagedFile::Commit() noexcept {
    if (!descriptor_.valid()) return EBADF;
    // The lock goes with the last descriptor of the file: a copy keeps it
    // past the checked close, until the file has its name.
    const FileDescriptor lock(::fcntl(descriptor_.get(), F_DUPFD_CLOEXEC, 0));
    int error = Sync();
    // A failed close of a written file can be the first sign that its data
    // did not arrive; an interrupted one has still closed it.
    if (error == 0 && !descriptor_.Close() && errno != EINTR) error = errno;
    if (error == 0) {
        // The folder the user named must still be where they named it.
        struct stat held {};
        struct stat named {};
        if (::fstat(folder_.get(), &held) != 0 || ::stat(folderPath_.c_str(), &named) != 0) {
            error = errno;
        } else if (held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
            error = ENOENT;
        }
    }
    if (error == 0) error = Rename();
    if (error != 0) {
        Discard();
        return error;
    }
    registration_.Release();
    hiddenName_.clear();
    // The new name is on disk only once the folder is. A folder that cannot
    // be synced (some file systems refuse) still holds the whole file under
    // its name, so that is not a failure of the save.
    static_cast<void>(::fsync(folder_.get()));
    folder_.Close();
    return 0;
}

int StagedFile::CommitAs(const std::string& path) noexcept {
    if (FolderOf(path) != FolderOf(path_)) {
        Discard();
        return EXDEV;
    }
    path_ = path;
    destination_ = path;  // only its name counts: the rename goes through the folder held
    onExisting_ = OnExistingFile::kReplace;
    return Commit();
}

int StagedFile::Rename() noexcept {
    if (onExisting_ == OnExistingFile::kTakeNextFree) return RenameToNextFree();
    const std::string name = std::string(FileNameOf(destination_));
    if (::renameat(folder_.get(), hiddenName_.c_str(), folder_.get(), name.c_str()) == 0) return 0;
    return errno == EINVAL ? EILSEQ : errno;
}

int StagedFile::RenameToNextFree() noexcept {
    const std::string name = std::string(FileNameOf(destination_));
    const std::string folderPart = destination_.substr(0, destination_.size() - name.size());
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = name.substr(stem.size());
    const int folder = folder_.get();
    const char* hidden = hiddenName_.c_str();
    // How a name is taken without replacing a file: renameat2's
    // RENAME_NOREPLACE, else a hard link, else (no hard links either) a
    // look before the rename.
    enum class Way { kNoReplace, kLink, kLookFirst } way = Way::kNoReplace;
    for (int copy = 1; copy <= kMostCopies; ++copy) {
        const std::string candidate = copy == 1 ? name : stem + "-" + std::to_string(copy) + extension;
        int result = -1;
        if (way == Way::kNoReplace) {
            result = ::renameat2(folder, hidden, folder, candidate.c_str(), RENAME_NOREPLACE);
            if (result != 0 && (errno == EINVAL || errno == ENOSYS)) way = Way::kLink;
        }
        if (way == Way::kLink) {
            result = ::linkat(folder, hidden, folder, candidate.c_str(), 0);
            if (result == 0) {
                ::unlinkat(folder, hidden, 0);
            } else if (MeansNoHardLinks(errno)) {
                way = Way::kLookFirst;
            }
        }
        if (way == Way::kLookFirst) {
            struct stat existing {};
            if (::fstatat(folder, candidate.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
                errno = EEXIST;
            } else if (errno == ENOENT) {
                result = ::renameat(folder, hidden, folder, candidate.c_str());
            }
        }
        if (result == 0) {
            destination_ = folderPart + candidate;
            path_ = destination_;
            return 0;
        }
        if (errno != EEXIST) return errno == EINVAL ? EILSEQ : errno;
    }
    return EEXIST;
}

void StagedFile::Discard() noexcept {
    descriptor_.Close();
    if (!hiddenName_.empty()) {
        ::unlinkat(folder_.get(), hiddenName_.c_str(), 0);
        hiddenName_.clear();
    }
    // Unregistered before the folder's descriptor goes, which the
    // registration names.
    registration_.Release();
    folder_.Close();
}

}  // namespace quillmere::sheet
