// Writes the extractor tests' format samples as files, for comparing the
// rows two builds of the extractor make (bench/compare_rows.sh):
//
//   write_format_samples DIR     DIR/<name>.<name>, one intact file per format,
//                                and DIR/cut/<name>-<n>.<name>, the same file
//                                cut to its first n bytes at a few lengths

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/cli/format_samples.h"

namespace fs = std::filesystem;

namespace {

bool WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    fs::create_directories(root / "cut");
    int written = 0;
    for (const auto& sample : quillmere::testing::AllFormatSamples()) {
        if (!WriteFile(root / (sample.name + "." + sample.name), sample.bytes)) return 1;
        ++written;
        const std::size_t size = sample.bytes.size();
        for (const std::size_t length : {std::size_t{1}, std::size_t{4}, std::size_t{12}, std::size_t{30},
                                         std::size_t{60}, size / 2, size - 1}) {
            if (length == 0 || length >= size) continue;
            const fs::path cut = root / "cut" / (sample.name + "-" + std::to_string(length) + "." + sample.name);
            if (!WriteFile(cut, sample.bytes.substr(0, length))) return 1;
            ++written;
        }
    }
    std::printf("wrote %d files under %s\n", written, root.c_str());
    return 0;
}
