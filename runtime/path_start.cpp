#include "runtime/path_start.h"

#include <cerrno>
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
            errno = ENAMETOOLONG;
            return;
        }
        const std::string piece(rest.substr(0, cut + 1));
        directory_ = FileDescriptor::OpenAt(directory(), piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (!directory_.valid()) {
            ok_ = false;
            return;
        }
        rest.remove_prefix(cut + 1);
    }
    // The rest of a path is its own end, so it stays terminated.
    rest_ = rest.empty() ? "." : rest.data();
}

}  // namespace quillmere
