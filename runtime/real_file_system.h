#pragma once
// The file system of this machine through POSIX calls. Listing reads the
// entry type from readdir where the file system gives it and asks fstatat
// only for links and entries of unknown type, so a plain folder of images
// costs no stat per file.

#include "runtime/file_system.h"

namespace quillmere {

class RealFileSystem final : public FileSystem {
public:
    DirectoryListing ListDirectory(const std::string& path) const override;
    std::optional<DirectoryIdentity> IdentifyDirectory(const std::string& path) const override;
    FileStatus Status(const std::string& path) const override;
    std::unique_ptr<ByteStream> OpenRegularFile(const std::string& path, std::string& error) const override;
    DirectoryHandle OpenDirectory(const std::string& path) const override;
    FileStatus StatusIn(const DirectoryHandle& directory, const std::string& name) const override;
    std::unique_ptr<ByteStream> OpenRegularFileIn(const DirectoryHandle& directory, const std::string& name,
                                                  std::string& error) const override;
};

}  // namespace quillmere
