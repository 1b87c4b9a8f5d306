#pragma once
// A file system that passes every call to another one and counts the
// directory listings, status lookups, file opens and directories held open,
// to tell how often each was done.

#include "runtime/file_system.h"

namespace quillmere::testing {

class CountingFileSystem final : public FileSystem {
public:
    explicit CountingFileSystem(const FileSystem& inner) : inner_(inner) {}

    DirectoryListing ListDirectory(const std::string& path) const override {
        ++listings_;
        return inner_.ListDirectory(path);
    }
    std::optional<DirectoryIdentity> IdentifyDirectory(const std::string& path) const override {
        return inner_.IdentifyDirectory(path);
    }
    FileStatus Status(const std::string& path) const override {
        ++statuses_;
        return inner_.Status(path);
    }
    std::unique_ptr<ByteStream> OpenRegularFile(const std::string& path, std::string& error) const override {
        ++opens_;
        return inner_.OpenRegularFile(path, error);
    }
    DirectoryHandle OpenDirectory(const std::string& path) const override {
        ++directoryOpens_;
        return inner_.OpenDirectory(path);
    }
    FileStatus StatusIn(const DirectoryHandle& directory, const std::string& name) const override {
        ++statuses_;
        return inner_.StatusIn(directory, name);
    }
    std::unique_ptr<ByteStream> OpenRegularFileIn(const DirectoryHandle& directory, const std::string& name,
                                                  std::string& error) const override {
        ++opens_;
        return inner_.OpenRegularFileIn(directory, name, error);
    }

    int listings() const { return listings_; }
    int statuses() const { return statuses_; }
    int opens() const { return opens_; }
    int directoryOpens() const { return directoryOpens_; }

private:
    const FileSystem& inner_;
    mutable int listings_ = 0;
    mutable int statuses_ = 0;
    mutable int opens_ = 0;
    mutable int directoryOpens_ = 0;
};

}  // namespace quillmere::testing
