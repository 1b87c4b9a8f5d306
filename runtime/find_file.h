#pragma once
// Pattern enumeration of directory entries with attribute filters, the way
// the folder scan lists a directory: once for its files, once for its
// subdirectories.
//
// Attribute bits: 1 read-only (the owner lacks write permission), 2 hidden
// (the name starts with "."), 16 directory (a link to a directory counts),
// 32 archive (a regular file). A filter uses only the bits in 0x37.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "runtime/file_system.h"
#include "runtime/text.h"

namespace quillmere {

// The caller's state of one enumeration, or of none. Move-only; moving
// leaves the source with none.
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

    struct Enumeration {
        std::string directory;          // native, ends in "/" unless empty
        std::string namePattern;        // native last component, may hold * and ?
        std::vector<DirectoryEntry> entries;
        int dotEntriesLeft = 0;         // "." and ".." come first
        std::size_t next = 0;
    };
    std::optional<Enumeration> enumeration_;
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
