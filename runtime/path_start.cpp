#include "runtime/path_start.h"

#include <unistd.h>

#include <climits>
#include <string_view>

namespace quillmere {

PathStart::PathStart(const std::string& path) : rest_(path.empty() ? "." : path.c_str()) {
    std::string_view rest(rest_);
    while (rest.size() >= PATH_MAX) {
        // The last separator that keeps the piece short enough; never at
        // the very start, so an absolute path keeps its leading "/".
        const std::size_t cut = rest.rfind('/', PATH_MAX - 2);
        if (cut == std::string_view::npos || cut == 0) {
            ok_ = false;  // no name is that long
            return;
        }
        const std::string piece(rest.substr(0, cut + 1));
        const int next = openat(directory_, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        Reset(next);
        if (next < 0) {
            ok_ = false;
            return;
        }
        rest.remove_prefix(cut + 1);
    }
    // The rest of a path is its own end, so it stays terminated.
    rest_ = rest.empty() ? "." : rest.data();
}

void PathStart::Reset(int fd) noexcept {
    if (directory_ != AT_FDCWD) close(directory_);
    directory_ = fd;
}

}  // namespace quillmere
