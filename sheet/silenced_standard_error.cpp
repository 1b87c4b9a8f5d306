#include "sheet/silenced_standard_error.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "sheet/file_descriptor.h"

namespace quillmere::sheet {

SilencedStandardError::SilencedStandardError() noexcept {
    // errno is what callers read after a library call: keep it as it was.
    const int savedErrno = errno;
    std::fflush(stderr);
    const FileDescriptor null(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    saved_ = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (null.valid() && saved_ >= 0 && ::dup2(null.get(), STDERR_FILENO) < 0) {
        ::close(saved_);
        saved_ = -1;
    }
    errno = savedErrno;
}

SilencedStandardError::~SilencedStandardError() {
    if (saved_ < 0) return;
    const int savedErrno = errno;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    errno = savedErrno;
}

}  // namespace quillmere::sheet
