#pragma once
// The built extractor run as a user runs it, for the command-line tests.

#include <string>
#include <vector>

#include "command_output.h"

namespace quillmere::testing {

// The build's quillmere-extract with arguments, standard error joined to
// standard output; environment: settings put before it ("LC_ALL=…").
inline CommandRun RunExtractor(const std::vector<std::string>& arguments, const std::string& environment = "") {
    std::string command = environment + " " QUILLMERE_BINARY_DIR "/cli/quillmere-extract";
    for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
    return RunJoined(command);
}

}  // namespace quillmere::testing
