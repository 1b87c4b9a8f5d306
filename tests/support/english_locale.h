#pragma once
// An English locale for tests of the extractor's English, made by localedef
// (Debian's locales package) into a folder of the test's own: a fresh system
// has no locale but C, and whether gettext honours LANGUAGE under C.UTF-8
// changes with the glibc release. Use it as LOCPATH=<folder> LC_ALL=en_US.UTF-8.

#include <cstdlib>
#include <filesystem>
#include <string>

#include "temp_tree.h"

namespace quillmere::testing {

// The folder holding en_US.UTF-8, or empty when localedef could not make it.
inline const std::string& EnglishLocaleFolder() {
    static const TempTree folder;
    static const std::string made = [] {
        const std::string command = "localedef -i en_US -f UTF-8 '" + folder.Path("en_US.UTF-8") + "' >/dev/null 2>&1";
        // localedef exits 1 on mere warnings; the locale is there all the same.
        std::system(command.c_str());
        std::error_code error;
        return std::filesystem::exists(folder.Path("en_US.UTF-8/LC_MESSAGES"), error) ? folder.root() : std::string();
    }();
    return made;
}

// The environment settings that choose it.
inline std::string EnglishLocaleSettings() {
    return "LOCPATH=" + EnglishLocaleFolder() + " LC_ALL=en_US.UTF-8";
}

}  // namespace quillmere::testing
