#pragma once
// The archive number and page number a file's name carries: scans are named
// by archive number plus page sequence (文书-2023-0001-0003.jpg), or by page
// number alone inside a folder named by the archive number (文书-2023-0001/0003.jpg).

#include <optional>

#include "runtime/text.h"

namespace quillmere::workflow {

struct PageName {
    Text archiveNumber;
    std::optional<Text> pageDigits;  // the digits as written, leading zeros kept; none when the stem ends otherwise
};

// stem: column A. folderName: the name of the file's folder, taken as the
// archive number when the stem holds nothing before its page number.
// The page number is the run of ASCII digits ending the stem (whole
// characters only: a trail byte that happens to be a digit is not one); the
// archive number is what comes before it, less one trailing separator
// ("-", "_", "·", "." or a space).
PageName PageNameOf(const Text& stem, const Text& folderName);

// The name of the folder a path's file lies in: the component before its last "/".
Text FolderNameOf(const Text& path);

}  // namespace quillmere::workflow
