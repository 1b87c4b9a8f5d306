#pragma once
// Pattern enumeration of directory entries with attribute filters, the way
// the folder scan lists a directory: once for its files, once for its
// subdirectories.
//
// Attribute bits: 1 read-only (the owner lacks write permission), 2 hidden
// (the name starts with "."), 16 directory (a link to a directory counts),
// 32 archive (a regular file). A filter uses only the bits in 0x37.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/file_system.h"
#include "runtime/text.h"

namespace quillmere {

namespace find_detail {

// A directory's entries as one search read them.
struct Listing {
    std::string directory;                // native, as the pattern spelled it
    DirectoryIdentity identity;
    std::int64_t changeStamp = 0;
    std::vector<DirectoryEntry> entries;  // sorted; "." and ".." left out
    bool whole = false;                   // every entry, not one looked up by name
};

struct Enumeration {
    Listing listing;
    std::string namePattern;              // native last component, may hold * and ?
    int dotEntriesLeft = 0;               // "." and ".." come first
    std::size_t next = 0;
};

}  // namespace find_detail

// The caller's state of one enumeration, or of none. Move-only; moving
// leaves the source with none.
//
// A handle also keeps the listing of the last directory it enumerated, so
// that listing the same directory again (the scan lists each one twice: for
// files, then for subdirectories) reads it from the disk once. The listing is
// used again only while the directory's change stamp is the same, and
// CloseFind drops it.
class FindHandle {
public:
    FindHandle() = default;
    FindHandle(FindHandle&& other) noexcept;
    FindHandle& operator=(FindHandle&& other) noexcept;
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() = default;

    bool isOpen() const noexcept { return enumeration_.has_value(); }

private:
    friend Text FindFile(const FileSystem& fs, const Text& pattern, std::optional<int> attributes,
                         FindHandle& handle);
    friend void CloseFind(FindHandle& handle);

    // Ends the enumeration but keeps its listing for a search of the same directory.
    void Close() noexcept;

    std::optional<find_detail::Enumeration> enumeration_;
    std::optional<find_detail::Listing> lastListing_;
};

// A non-empty pattern ("dir/*.jpg": wildcards * and ? in the last component)
// starts a new enumeration in handle, closing the one it held; an empty
// pattern continues the one in handle. Returns the next name whose
// attributes pass the filter, without its directory, or "" when there is
// none more (the enumeration then closes itself). Filters: omitted passes
// every non-directory; otherwise F = attributes & 0x37 passes an entry that
// shares a bit with F, or, when F is 0, only an entry whose attributes are 0.
// A missing or unreadable directory enumerates nothing.
Text FindFile(const FileSystem& fs, const Text& pattern, std::optional<int> attributes, FindHandle& handle);

// Closes the enumeration in handle, if any.
void CloseFind(FindHandle& handle);

}  // namespace quillmere
