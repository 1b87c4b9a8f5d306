#include "runtime/memory_file_system.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace quillmere {

namespace {

constexpr int kMaxLinksPerLookup = 40;

// A stream over a file's bytes that keeps them alive.
class HeldBytesStream final : public ByteStream {
public:
    explicit HeldBytesStream(std::shared_ptr<const std::vector<unsigned char>> bytes)
        : bytes_(std::move(bytes)), stream_(*bytes_) {}

    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override {
        return stream_.Read(buffer, size, count);
    }
    bool Seek(std::int64_t offset, SeekOrigin origin) override { return stream_.Seek(offset, origin); }
    std::int64_t Tell() const override { return stream_.Tell(); }
    int GetC() override { return stream_.GetC(); }
    bool Eof() const override { return stream_.Eof(); }
    std::int64_t Size() const override { return stream_.Size(); }

private:
    std::shared_ptr<const std::vector<unsigned char>> bytes_;
    MemoryStream stream_;
};

// The content of a file added by size alone: that many zeros, never held in
// memory, so a test may add a file of any size.
class ZerosStream final : public ByteStream {
public:
    explicit ZerosStream(std::int64_t size) : size_(size) {}

    std::size_t Read(void* buffer, std::size_t size, std::size_t count) override {
        // As every stream: nothing for an empty or overflowing request.
        if (size == 0 || count == 0 || count > SIZE_MAX / size) return 0;
        const std::int64_t left = position_ < size_ ? size_ - position_ : 0;
        const std::size_t whole = static_cast<std::size_t>(left) / size;
        const std::size_t items = std::min(whole, count);
        const std::size_t taken = count > whole ? static_cast<std::size_t>(left) : items * size;
        std::memset(buffer, 0, taken);
        position_ += static_cast<std::int64_t>(taken);
        if (count > whole) eof_ = true;
        return items;
    }
    bool Seek(std::int64_t offset, SeekOrigin origin) override {
        const std::int64_t base = origin == SeekOrigin::Begin ? 0 : origin == SeekOrigin::Current ? position_ : size_;
        std::int64_t target = 0;
        if (__builtin_add_overflow(base, offset, &target) || target < 0) return false;
        position_ = target;
        eof_ = false;
        return true;
    }
    std::int64_t Tell() const override { return position_; }
    int GetC() override {
        if (position_ >= size_) {
            eof_ = true;
            return -1;
        }
        ++position_;
        return 0;
    }
    bool Eof() const override { return eof_; }
    std::int64_t Size() const override { return size_; }

private:
    std::int64_t size_;
    std::int64_t position_ = 0;
    bool eof_ = false;
};

// The components of a path, empty ones and "." dropped.
std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = path.find('/', at);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view part = path.substr(at, end - at);
        if (!part.empty() && part != ".") parts.push_back(part);
        at = end + 1;
    }
    return parts;
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() : nodes_(1) {}

std::size_t MemoryFileSystem::AddNode(const std::string& path, Node node) {
    const std::vector<std::string_view> parts = Components(path);
    std::size_t current = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string name(parts[i]);
        if (name == "..") {
            current = nodes_[current].parent;
            continue;
        }
        const bool last = i + 1 == parts.size();
        auto found = nodes_[current].children.find(name);
        if (found != nodes_[current].children.end() && !last) {
            int linksLeft = kMaxLinksPerLookup;
            const auto next = Resolve(current, name, true, linksLeft);
            if (next && nodes_[*next].kind == Kind::Directory) {
                current = *next;
                continue;
            }
        }
        if (found != nodes_[current].children.end() && last && node.kind == Kind::Directory &&
            nodes_[found->second].kind == Kind::Directory) {
            return found->second;
        }
        Node made = last ? node : Node{};
        made.parent = current;
        const std::size_t index = nodes_.size();
        nodes_.push_back(std::move(made));
        nodes_[current].children[name] = index;
        current = index;
    }
    return current;
}

void MemoryFileSystem::AddDirectory(const std::string& path) { AddNode(path, Node{}); }

void MemoryFileSystem::AddFile(const std::string& path, std::int64_t size, std::time_t lastWriteTime) {
    Node node;
    node.kind = Kind::RegularFile;
    node.size = size;
    node.lastWriteTime = lastWriteTime;
    AddNode(path, std::move(node));
}

void MemoryFileSystem::AddFileWithBytes(const std::string& path, std::vector<unsigned char> bytes,
                                        std::time_t lastWriteTime) {
    Node node;
    node.kind = Kind::RegularFile;
    node.size = static_cast<std::int64_t>(bytes.size());
    node.lastWriteTime = lastWriteTime;
    node.bytes = std::make_shared<const std::vector<unsigned char>>(std::move(bytes));
    AddNode(path, std::move(node));
}

void MemoryFileSystem::AddSpecialFile(const std::string& path, std::time_t lastWriteTime) {
    Node node;
    node.kind = Kind::Special;
    node.lastWriteTime = lastWriteTime;
    AddNode(path, std::move(node));
}

void MemoryFileSystem::AddSymbolicLink(const std::string& path, const std::string& target) {
    Node node;
    node.kind = Kind::SymbolicLink;
    node.linkTarget = target;
    AddNode(path, std::move(node));
}

void MemoryFileSystem::MakeUnreadable(const std::string& path) {
    if (auto node = Find(path)) nodes_[*node].readable = false;
}

void MemoryFileSystem::BreakListingAfter(const std::string& path, std::size_t readable, std::string reason) {
    if (auto node = Find(path)) {
        nodes_[*node].entriesBeforeFailure = readable;
        nodes_[*node].listingFailure = std::move(reason);
    }
}

std::optional<std::size_t> MemoryFileSystem::Resolve(std::size_t start, std::string_view path, bool followLast,
                                                     int& linksLeft) const {
    std::size_t current = (!path.empty() && path.front() == '/') ? 0 : start;
    const std::vector<std::string_view> parts = Components(path);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (nodes_[current].kind != Kind::Directory) return std::nullopt;
        if (parts[i] == "..") {
            current = nodes_[current].parent;
            continue;
        }
        const auto found = nodes_[current].children.find(std::string(parts[i]));
        if (found == nodes_[current].children.end()) return std::nullopt;
        const std::size_t child = found->second;
        const bool last = i + 1 == parts.size();
        if (nodes_[child].kind == Kind::SymbolicLink && (!last || followLast)) {
            if (--linksLeft < 0) return std::nullopt;
            const auto target = Resolve(current, nodes_[child].linkTarget, true, linksLeft);
            if (!target) return std::nullopt;
            current = *target;
        } else {
            current = child;
        }
    }
    return current;
}

std::optional<std::size_t> MemoryFileSystem::Find(const std::string& path) const {
    int linksLeft = kMaxLinksPerLookup;
    return Resolve(0, path, true, linksLeft);
}

EntryType MemoryFileSystem::TypeOf(std::size_t node) const {
    switch (nodes_[node].kind) {
        case Kind::Directory: return EntryType::Directory;
        case Kind::RegularFile: return EntryType::RegularFile;
        default: return EntryType::Other;
    }
}

DirectoryListing MemoryFileSystem::ListDirectory(const std::string& path) const {
    DirectoryListing listing;
    const auto directory = Find(path);
    if (!directory || nodes_[*directory].kind != Kind::Directory) {
        listing.failure = directory ? "Not a directory" : "No such file or directory";
        return listing;
    }
    const Node& found = nodes_[*directory];
    if (!found.readable) {
        listing.failure = "Permission denied";
        return listing;
    }
    listing.opened = true;
    listing.entries.reserve(found.children.size());
    for (const auto& [name, child] : found.children) {
        if (!found.listingFailure.empty() && listing.entries.size() == found.entriesBeforeFailure) {
            listing.failure = found.listingFailure;
            break;
        }
        int linksLeft = kMaxLinksPerLookup;
        const auto target = Resolve(*directory, name, true, linksLeft);
        listing.entries.push_back(DirectoryEntry{name, target ? TypeOf(*target) : EntryType::Other});
    }
    if (!found.listingFailure.empty() && listing.entries.size() == found.entriesBeforeFailure) {
        listing.failure = found.listingFailure;
    }
    return listing;
}

std::optional<DirectoryIdentity> MemoryFileSystem::IdentifyDirectory(const std::string& path) const {
    const auto directory = Find(path);
    if (!directory || nodes_[*directory].kind != Kind::Directory) return std::nullopt;
    return DirectoryIdentity{1, static_cast<std::uint64_t>(*directory)};
}

FileStatus MemoryFileSystem::Status(const std::string& path) const {
    const auto node = Find(path);
    if (!node) return FileStatus{};
    const Node& found = nodes_[*node];
    FileStatus status;
    status.exists = true;
    status.type = TypeOf(*node);
    status.size = found.kind == Kind::RegularFile ? found.size : 0;
    status.lastWriteTime = found.lastWriteTime;
    return status;
}

std::unique_ptr<ByteStream> MemoryFileSystem::OpenRegularFile(const std::string& path, std::string& error) const {
    const auto node = Find(path);
    if (!node) {
        error = "No such file or directory";
        return nullptr;
    }
    const Node& found = nodes_[*node];
    if (found.kind != Kind::RegularFile) {
        error = found.kind == Kind::Directory ? "Is a directory" : "not a regular file";
        return nullptr;
    }
    if (found.bytes) return std::make_unique<HeldBytesStream>(found.bytes);
    return std::make_unique<ZerosStream>(found.size);
}

}  // namespace quillmere
