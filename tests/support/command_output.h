#pragma once
// Runs a shell command and returns what it printed on standard output,
// with whether it exited 0.

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
