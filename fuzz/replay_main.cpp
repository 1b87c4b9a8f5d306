// Runs a fuzz target's checks over saved inputs without libFuzzer, so the
// normal build and CI replay the seeds and every kept finding.
//
//   replay [--allow-output LINE]... PATH...
//
// PATH is an input file or a directory of them (read in name order). Each
// input runs in its own process with standard output and standard error
// caught: a failed check, a crash, or a line the target prints that is not
// allowed fails the replay, because nothing read from a damaged file may
// reach the terminal.

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Outcome {
    bool finished = false;  // returned normally (no abort, no signal)
    std::string output;     // what it printed on standard output and error
};

// Runs the target on one input in a child process whose standard output and
// standard error go to a temporary file, so a failed check is reported with
// the input's name and whatever the target printed before it.
Outcome RunInput(const std::vector<std::uint8_t>& bytes) {
    Outcome outcome;
    std::FILE* captured = std::tmpfile();
    if (captured == nullptr) return outcome;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(::fileno(captured), STDOUT_FILENO);
        ::dup2(::fileno(captured), STDERR_FILENO);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(0);
    }
    int status = 0;
    if (child > 0) {
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        outcome.finished = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    std::rewind(captured);
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, captured)) > 0) outcome.output.append(buffer, got);
    std::fclose(captured);
    return outcome;
}

std::vector<std::string> UnexpectedLines(const std::string& output, const std::vector<std::string>& allowed) {
    std::vector<std::string> unexpected;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (std::find(allowed.begin(), allowed.end(), line) == allowed.end()) unexpected.push_back(line);
    }
    return unexpected;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> allowed;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--allow-output" && i + 1 < argc) {
            allowed.emplace_back(argv[++i]);
            continue;
        }
        std::error_code error;
        if (fs::is_directory(argument, error)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(argument)) {
                if (entry.is_regular_file()) files.push_back(entry.path());
            }
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else if (fs::is_regular_file(argument, error)) {
            inputs.emplace_back(argument);
        } else {
            std::cerr << "replay: no such input: " << argument << "\n";
            return 2;
        }
    }
    if (inputs.empty()) {
        std::cerr << "replay: no inputs\n";
        return 2;
    }

    int noisy = 0;
    int failed = 0;
    for (const fs::path& path : inputs) {
        const Outcome outcome = RunInput(ReadFile(path));
        if (!outcome.finished) {
            std::cerr << path.string() << ": failed\n" << outcome.output;
            ++failed;
            continue;
        }
        for (const std::string& line : UnexpectedLines(outcome.output, allowed)) {
            std::cerr << path.string() << ": printed: " << line << "\n";
            ++noisy;
        }
    }
    std::cout << "replayed " << inputs.size() << " inputs: " << failed << " failed, " << noisy
              << " unexpected output lines\n";
    return failed == 0 && noisy == 0 ? 0 : 1;
}
