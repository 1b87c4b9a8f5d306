#pragma once
// A file system held in memory, for tests of the listing, the scan, the
// probe and the run without touching the disk. Paths are native byte strings; a relative
// path starts at the root. Names are kept in directory order, links are
// followed as the real file system follows them (relative targets from the
// link's own directory, at most 40 links per lookup).

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/file_system.h"

namespace quillmere {

class MemoryFileSystem final : public FileSystem {
public:
    MemoryFileSystem();

    // Each Add creates the missing directories on the way and replaces an
    // entry of the same name (adding an existing directory keeps its contents).
    void AddDirectory(const std::string& path);
    // A file of size bytes whose content reads as zeros.
    void AddFile(const std::string& path, std::int64_t size = 0, std::time_t lastWriteTime = 0);
    // A file holding these bytes; its size is theirs.
    void AddFileWithBytes(const std::string& path, std::vector<unsigned char> bytes, std::time_t lastWriteTime = 0);
    // Neither a directory nor a regular file: a FIFO, socket or device.
    void AddSpecialFile(const std::string& path, std::time_t lastWriteTime = 0);
    void AddSymbolicLink(const std::string& path, const std::string& target);
    // The directory still exists but cannot be listed, as without read permission.
    void MakeUnreadable(const std::string& path);
    // Listing the directory breaks off with this reason after its first
    // readable entries (in name order), as on a failing disk or share.
    void BreakListingAfter(const std::string& path, std::size_t readable, std::string reason);

    DirectoryListing ListDirectory(const std::string& path) const override;
    std::optional<DirectoryIdentity> IdentifyDirectory(const std::string& path) const override;
    FileStatus Status(const std::string& path) const override;
    std::unique_ptr<ByteStream> OpenRegularFile(const std::string& path, std::string& error) const override;

private:
    enum class Kind : std::uint8_t { Directory, RegularFile, Special, SymbolicLink };
    struct NameOrder {
        bool operator()(const std::string& a, const std::string& b) const noexcept { return NameOrderLess(a, b); }
    };
    struct Node {
        Kind kind = Kind::Directory;
        std::size_t parent = 0;
        std::map<std::string, std::size_t, NameOrder> children;
        std::string linkTarget;
        std::int64_t size = 0;
        // Shared with the streams opened on it, which may outlive a replaced node.
        std::shared_ptr<const std::vector<unsigned char>> bytes;
        std::time_t lastWriteTime = 0;
        bool readable = true;
        // Listing breaks off after this many entries with listingFailure.
        std::size_t entriesBeforeFailure = 0;
        std::string listingFailure;
    };

    std::size_t AddNode(const std::string& path, Node node);
    std::optional<std::size_t> Resolve(std::size_t start, std::string_view path, bool followLast, int& linksLeft) const;
    std::optional<std::size_t> Find(const std::string& path) const;
    EntryType TypeOf(std::size_t node) const;

    std::vector<Node> nodes_;  // index 0 is the root
};

}  // namespace quillmere
