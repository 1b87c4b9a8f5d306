#pragma once
// A file system that passes every call to another one and counts the
// directory listings, to tell how often a directory was read.

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

    int listings() const { return listings_; }

private:
    const FileSystem& inner_;
    mutable int listings_ = 0;
};

}  // namespace quillmere::testing
