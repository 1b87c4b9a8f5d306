#pragma once
// Runs a piece of a test in a forked child, for what must not happen to the
// test process itself: a lowered file-size limit, dropped privileges, a
// private mount namespace, a signal that ends the process.
//
// The child's standard error is captured, so a test can also show that
// nothing was printed. The function's result text comes back through a
// pipe; the child ends with _exit, so no test framework state of the child
// leaks into the parent's report.

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

namespace quillmere::testing {

struct ChildOutcome {
    bool exited = false;       // by _exit, not by a signal
    int exitCode = -1;
    int signal = 0;            // the signal that ended it, if one did
    std::string result;        // what the function returned
    std::string standardError;  // everything the child wrote to fd 2
};

namespace child_process_detail {

inline void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = ::write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return;
        done += static_cast<std::size_t>(wrote);
    }
}

}  // namespace child_process_detail

// Runs body in a child; its return value becomes result, and the child
// exits with 0. body may also end the process itself.
inline ChildOutcome RunInChild(const std::function<std::string()>& body) {
    ChildOutcome outcome;
    int resultPipe[2];
    int errorPipe[2];
    if (::pipe2(resultPipe, O_CLOEXEC) != 0) return outcome;
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        ::close(resultPipe[0]);
        ::close(resultPipe[1]);
        return outcome;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(resultPipe[0]);
        ::close(errorPipe[0]);
        ::dup2(errorPipe[1], STDERR_FILENO);
        const std::string result = body();
        child_process_detail::WriteAll(resultPipe[1], result);
        ::_exit(0);
    }
    ::close(resultPipe[1]);
    ::close(errorPipe[1]);
    if (child < 0) {
        ::close(resultPipe[0]);
        ::close(errorPipe[0]);
        return outcome;
    }
    // Both pipes are drained together, so a child that prints a lot cannot
    // block while the parent waits for its result.
    pollfd pipes[2] = {{resultPipe[0], POLLIN, 0}, {errorPipe[0], POLLIN, 0}};
    std::string* texts[2] = {&outcome.result, &outcome.standardError};
    int open = 2;
    while (open > 0) {
        if (::poll(pipes, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (pipes[i].fd < 0 || pipes[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = ::read(pipes[i].fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                pipes[i].fd = -1;
                --open;
            } else {
                texts[i]->append(buffer, static_cast<std::size_t>(got));
            }
        }
    }
    ::close(resultPipe[0]);
    ::close(errorPipe[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    outcome.exited = WIFEXITED(status);
    if (outcome.exited) outcome.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) outcome.signal = WTERMSIG(status);
    return outcome;
}

}  // namespace quillmere::testing
