#pragma once
// The folder scan: turns the chosen folder into the flat, ordered list of
// entries the extraction run walks.

#include <functional>
#include <vector>

#include "runtime/file_system.h"
#include "runtime/text.h"

namespace quillmere {

using TextArray = std::vector<Text>;

namespace workflow {

using quillmere::TextArray;

// Appends to entries the start folder and everything below it, depth first
// without recursion: each directory's own entry (ending in "/"), then its
// files in directory order, then the subtrees of its subdirectories, the last
// one listed first. Every entry that is not a directory is listed, whatever
// its type. A directory reached a second time (through a link) gets its entry
// but is not listed again, so link loops end. folder is normalised to end in
// "/" ("" becomes "/") and on return holds the last directory listed.
// processEvents runs once per directory and once at the end.
void ScanImageFolder(const FileSystem& fs, Text& folder, TextArray& entries,
                     const std::function<void()>& processEvents);

}  // namespace workflow
}  // namespace quillmere
