#pragma once
// The folder scan: turns the chosen folder into the flat, ordered list of
// entries the extraction run walks.

#include <deque>
#include <functional>
#include <vector>

#include "runtime/file_system.h"
#include "runtime/text.h"

namespace quillmere {

// A deque, not a vector: a batch of a million files has as many entries,
// and a vector's growth would hold up to twice their size (and, while it
// moves, both copies) for the whole run. A deque grows block by block and
// never moves an entry, so pointers to entries stay valid.
using TextArray = std::deque<Text>;

namespace workflow {

using quillmere::TextArray;

// A directory of the scan that could not be read whole: its files, or some
// of them, have no entry.
struct UnreadFolder {
    Text folder;  // as its entry reads, ending in "/"
    Text reason;  // the system's
};

struct FolderScan {
    TextArray entries;
    std::vector<UnreadFolder> unreadFolders;  // in scan order
};

// The start folder and everything below it, depth first without recursion:
// each directory's own entry (ending in "/", the start folder's made to end
// in it), then its files in directory order, then the subtrees of its
// subdirectories, the last one listed first. Every entry that is not a
// directory is listed, whatever its type. A directory reached a second time
// (through a link) gets its entry but is not listed again, so link loops
// end. A directory that cannot be opened, or whose listing breaks off, keeps
// its entry and what was read of it, and is named in unreadFolders.
// processEvents runs once per directory and once at the end.
FolderScan ScanImageFolder(const FileSystem& fs, const Text& folder, const std::function<void()>& processEvents);

}  // namespace workflow
}  // namespace quillmere
