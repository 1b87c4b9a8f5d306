#include "sheet/output_file_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "runtime/file_descriptor.h"

namespace quillmere::sheet {

namespace {

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
        const FileDescriptor created = FileDescriptor::OpenAt(AT_FDCWD, path.c_str(), kCommon | O_CREAT | O_EXCL, 0666);
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
    const FileDescriptor existing = FileDescriptor::OpenAt(AT_FDCWD, path.c_str(), kCommon | O_NONBLOCK);
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
