#pragma once
// Runs a shell command and returns what it printed on standard output,
// with whether it exited 0 (RunCommand), or with standard error joined to
// it and its exit status (RunJoined).

#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quillmere::testing {

struct CommandOutput {
    bool succeeded = false;
    std::string output;

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::size_t at = 0;
        while (at < output.size()) {
            std::size_t end = output.find('\n', at);
            if (end == std::string::npos) end = output.size();
            lines.push_back(output.substr(at, end - at));
            at = end + 1;
        }
        return lines;
    }
};

inline CommandOutput RunCommand(const std::string& command) {
    CommandOutput result;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
    result.succeeded = ::pclose(pipe) == 0;
    return result;
}

struct CommandRun {
    int exitCode = -1;   // -1 when a signal ended it
    std::string output;  // standard output and standard error together

    std::string LastLine() const {
        std::string text = output;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text.substr(text.rfind('\n') + 1);
    }
};

// command with "2>&1 </dev/null" added.
inline CommandRun RunJoined(const std::string& command) {
    CommandRun result;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1 </dev/null").c_str(), "r"), ::pclose);
    if (!pipe) return result;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) result.output.append(buffer, got);
    const int status = ::pclose(pipe.release());
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Single-quoted for the shell.
inline std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

}  // namespace quillmere::testing
