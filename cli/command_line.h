#pragma once
// The extractor's command line.

#include <optional>
#include <string>
#include <vector>

namespace quillmere::cli {

struct ExtractOptions {
    std::string scanner, maker, model, processor, software;  // the five batch facts, UTF-8
    std::string output;                                      // -o
    std::string folder;
    std::optional<int> jobs;
    std::string rules;     // --rules: the acceptance rules file; empty for none
    bool digests = false;  // --digests: SM3 and SHA-256 of every file, whatever the rules say
    bool verbose = false;  // name each file no decoder accepted or that could not be read
    bool help = false;
    bool version = false;
};

struct ParsedCommandLine {
    ExtractOptions options;
    std::string error;  // empty when the command line is usable
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText(const std::string& program);

}  // namespace quillmere::cli
