#pragma once

#include <fcntl.h>

#include <string>

#include "runtime/file_descriptor.h"

namespace quillmere {

// Where a path starts from for the *at calls: the directory its last piece
// lies in and that piece. A path up to PATH_MAX bytes is taken whole, from
// the current directory. A longer one, which no single call accepts, is
// walked a piece of under PATH_MAX bytes at a time, each piece opened from
// the directory the pieces before it lead to; links and ".." inside it
// resolve exactly as in a whole-path lookup.
class PathStart {
public:
    // path must outlive this object: rest() points into it.
    explicit PathStart(const std::string& path);
    PathStart(const PathStart&) = delete;
    PathStart& operator=(const PathStart&) = delete;

    // false with errno set when the path cannot be reached.
    bool ok() const noexcept { return ok_; }
    int directory() const noexcept { return directory_.valid() ? directory_.get() : AT_FDCWD; }
    const char* rest() const noexcept { return rest_; }

private:
    FileDescriptor directory_;  // empty: the current directory
    const char* rest_;
    bool ok_ = true;
};

}  // namespace quillmere
