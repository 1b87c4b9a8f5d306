#pragma once
// Tells whether anything opened a file during a test: the kernel queues an
// inotify event for every open, while a status lookup queues none.

#include <sys/inotify.h>
#include <unistd.h>

#include <string>

namespace quillmere::testing {

class OpenWatch {
public:
    explicit OpenWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) watching_ = inotify_add_watch(fd_, path.c_str(), IN_OPEN) >= 0;
    }
    ~OpenWatch() {
        if (fd_ >= 0) close(fd_);
    }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool watching() const { return watching_; }
    // Whether an open happened since the watch began (or since the last call).
    bool SawOpen() const {
        alignas(inotify_event) char buffer[4096];
        return read(fd_, buffer, sizeof buffer) > 0;
    }

private:
    int fd_;
    bool watching_ = false;
};

}  // namespace quillmere::testing
