#include "runtime/write_all.h"

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace quillmere {

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return errno;
        if (done == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return 0;
}

}  // namespace quillmere
