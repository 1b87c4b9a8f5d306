#pragma once
// The file system as the runtime sees it: directory listings in name order,
// directory identities, file status and regular files opened as byte
// streams, addressed by native byte paths (whatever bytes the names have on
// disk; TextToNativeName gives them). RealFileSystem reaches the disk,
// MemoryFileSystem serves tests.

#include <compare>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/byte_stream.h"

namespace quillmere {

// What an entry is once symbolic links are followed: a link to a directory
// is a directory, a dangling link is Other.
enum class EntryType : std::uint8_t {
    Directory,
    RegularFile,
    Other,  // FIFO, socket, device, dangling link
};

struct DirectoryEntry {
    std::string name;  // native bytes, never "." or ".."
    EntryType type = EntryType::Other;
};

// Tells two paths to one directory apart from two directories.
struct DirectoryIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend auto operator<=>(const DirectoryIdentity&, const DirectoryIdentity&) = default;
};

struct FileStatus {
    bool exists = false;
    EntryType type = EntryType::Other;
    std::int64_t size = -1;
    std::time_t lastWriteTime = 0;    // seconds since 1970-01-01 UTC
};

// A directory's entries, and why they are not all of them: a directory that
// could not be opened has none, and one whose reading broke off (an I/O
// error on a failing disk or share) has those read before the error.
struct DirectoryListing {
    bool opened = false;
    std::vector<DirectoryEntry> entries;  // sorted with NameOrderLess
    std::string failure;                  // the system's reason (UTF-8); empty when read to the end
    bool complete() const noexcept { return opened && failure.empty(); }
};

// A directory held open so that the entries in it are reached by name: one
// path component looked up per entry instead of every component of its path
// (on a network share each of those may cost a round trip). Without a
// descriptor (a file system that has none, or a directory that could not be
// opened) the calls that take it look up the joined path instead.
struct DirectoryHandle {
    std::string path;  // the directory's path with its trailing "/", or "" for the current directory
    FileDescriptor descriptor;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The entries of a directory sorted with NameOrderLess, and whether it
    // could be read whole. An entry that vanishes while being read is left
    // out: it is no longer part of the directory.
    virtual DirectoryListing ListDirectory(const std::string& path) const = 0;
    // The identity of the directory a path leads to (links followed);
    // nullopt when it is not a directory or cannot be reached.
    virtual std::optional<DirectoryIdentity> IdentifyDirectory(const std::string& path) const = 0;
    // The status of what a path leads to (links followed); never opens it.
    virtual FileStatus Status(const std::string& path) const = 0;
    // What a path leads to (links followed), opened for reading as bytes when
    // it is a regular file. Never blocks and never acts on a FIFO or device;
    // nullptr with error set (the system's reason, UTF-8) when the path
    // cannot be opened or leads to anything but a regular file.
    virtual std::unique_ptr<ByteStream> OpenRegularFile(const std::string& path, std::string& error) const = 0;

    // The directory path leads to ("" or ending in "/"), held open where the
    // file system can; never fails, see DirectoryHandle.
    virtual DirectoryHandle OpenDirectory(const std::string& path) const { return DirectoryHandle{path, {}}; }
    // Status and OpenRegularFile of an entry of an open directory.
    virtual FileStatus StatusIn(const DirectoryHandle& directory, const std::string& name) const {
        return Status(directory.path + name);
    }
    virtual std::unique_ptr<ByteStream> OpenRegularFileIn(const DirectoryHandle& directory, const std::string& name,
                                                          std::string& error) const {
        return OpenRegularFile(directory.path + name, error);
    }
};

// Directory order: byte values after ASCII upper-casing, then the raw bytes,
// so zero-padded numbers come in sequence and 'a' sits beside 'A'.
bool NameOrderLess(std::string_view left, std::string_view right) noexcept;
// Sorts entries with NameOrderLess, upper-casing each name once.
void SortInNameOrder(std::vector<DirectoryEntry>& entries);

}  // namespace quillmere
