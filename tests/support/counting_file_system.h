#pragma once
// A file system that passes every call to another one and counts the
// directory listings and file opens, to tell how often each was done.

#include "runtime/file_system.h"

namespace quillmere::testing {

class CountingFileSystem final : public FileSystem {
public:
    explicit CountingFileSystem(const FileSystem& inner) : inner_(inner) {}

    std::optional<std::vector<DirectoryEntry>> ListDirectory(const std::string& path) const override {
        ++listings_;
        return inner_.ListDirectory(path);
    }
    std::optional<DirectoryIdentity> IdentifyDirectory(const std::string& path) const override {
        return inner_.IdentifyDirectory(path);
    }
    FileStatus Status(const std::string& path) const override { return inner_.Status(path); }
    std::unique_ptr<ByteStream> OpenRegularFile(const std::string& path, std::string& error) const override {
        ++opens_;
        return inner_.OpenRegularFile(path, error);
    }

    int listings() const { return listings_; }
    int opens() const { return opens_; }

private:
    const FileSystem& inner_;
    mutable int listings_ = 0;
    mutable int opens_ = 0;
};

}  // namespace quillmere::testing
