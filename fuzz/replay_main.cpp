// Runs a fuzz target's checks over saved inputs without libFuzzer, so the
// normal build and CI replay the seeds and every kept finding.
//
//   replay [--allow-output LINE]... [--damage N] PATH...
//
// PATH is an input file or a directory of them (read in name order). With
// --damage, each input is also run as N damaged copies (a few bytes changed
// near its start or end, or the file cut short), made the same way on every
// run: a small, repeatable fuzz smoke for a build without libFuzzer.
//
// Each input runs with its damaged copies in a child process with standard
// output and standard error caught: a failed check, a crash, or a line the
// target prints that is not allowed fails the replay, because nothing read
// from a damaged file may reach the terminal. A failing damaged copy is
// written to the working directory.

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Damaged copy number `variant` of bytes; the same copy on every run.
Bytes Damaged(const Bytes& bytes, const std::string& name, int variant) {
    Bytes copy = bytes;
    if (copy.size() < 2) return copy;
    std::mt19937 random(static_cast<std::uint32_t>(std::hash<std::string>{}(name)) + static_cast<std::uint32_t>(variant));
    // Byte 0 chooses the target's mode or format: leave it.
    const std::size_t changes = 1 + random() % 4;
    for (std::size_t i = 0; i < changes; ++i) {
        const std::size_t span = std::min<std::size_t>(copy.size() - 1, 256);
        std::size_t at = 1 + random() % span;
        if (random() % 3 == 0) at = copy.size() - 1 - random() % span;  // near the end, where TIFF keeps directories
        copy[at] = static_cast<std::uint8_t>(random() % 4 == 0 ? copy[at] ^ (1u << (random() % 8)) : random());
    }
    if (random() % 5 == 0) copy.resize(1 + random() % (copy.size() - 1));
    return copy;
}

struct Outcome {
    bool finished = false;  // every run returned normally (no abort, no signal)
    int failedVariant = -1; // the damaged copy that did not, or -1 for the input itself
    std::string output;     // what was printed on standard output and error
};

// Runs the input and its damaged copies in a child process whose standard
// output and standard error go to a temporary file. The child notes in
// shared memory which copy it is on, so a crash can be traced to it.
Outcome RunInput(const Bytes& bytes, const std::string& name, int damagedCopies) {
    Outcome outcome;
    std::FILE* captured = std::tmpfile();
    void* shared = ::mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (captured == nullptr || shared == MAP_FAILED) {
        if (captured != nullptr) std::fclose(captured);
        return outcome;
    }
    auto* current = static_cast<volatile int*>(shared);
    *current = -1;
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(::fileno(captured), STDOUT_FILENO);
        ::dup2(::fileno(captured), STDERR_FILENO);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
        for (int variant = 0; variant < damagedCopies; ++variant) {
            *current = variant;
            const Bytes copy = Damaged(bytes, name, variant);
            LLVMFuzzerTestOneInput(copy.data(), copy.size());
        }
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
    outcome.failedVariant = *current;
    ::munmap(shared, sizeof(int));
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

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> allowed;
    std::vector<fs::path> inputs;
    int damagedCopies = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--allow-output" && i + 1 < argc) {
            allowed.emplace_back(argv[++i]);
            continue;
        }
        if (argument == "--damage" && i + 1 < argc) {
            damagedCopies = std::max(0, std::atoi(argv[++i]));
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
        const Bytes bytes = ReadFile(path);
        const std::string name = path.filename().string();
        const Outcome outcome = RunInput(bytes, name, damagedCopies);
        if (!outcome.finished) {
            ++failed;
            std::cerr << path.string() << ": failed";
            if (outcome.failedVariant >= 0) {
                const fs::path kept = "replay-failure-" + name + "-" + std::to_string(outcome.failedVariant);
                WriteFile(kept, Damaged(bytes, name, outcome.failedVariant));
                std::cerr << " on damaged copy " << outcome.failedVariant << ", kept as " << fs::absolute(kept).string();
            }
            std::cerr << "\n" << outcome.output;
            continue;
        }
        for (const std::string& line : UnexpectedLines(outcome.output, allowed)) {
            std::cerr << path.string() << ": printed: " << line << "\n";
            ++noisy;
        }
    }
    const std::size_t runs = inputs.size() * static_cast<std::size_t>(1 + damagedCopies);
    std::cout << "replayed " << inputs.size() << " inputs (" << runs << " runs with damaged copies): " << failed
              << " failed, " << noisy << " unexpected output lines\n";
    return failed == 0 && noisy == 0 ? 0 : 1;
}
