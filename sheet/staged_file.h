#pragma once
// A file written under a temporary name in its destination's folder and
// renamed onto the destination only when it is complete and synced.
//
// The temporary file lives on the destination's file system, so the final
// rename is atomic: a reader of the destination sees the earlier file or
// the whole new one, never a part. Until Commit, and after any failure, an
// earlier file of that name is untouched. The temporary path is registered
// for removal by a signal handler (temporary_file_registry.h) for as long
// as it exists; Discard and the destructor remove it.

#include <string>

#include "sheet/file_descriptor.h"
#include "sheet/temporary_file_registry.h"

namespace quillmere::sheet {

class StagedFile {
public:
    // An empty object, as left behind by a move.
    StagedFile() = default;
    ~StagedFile() { Discard(); }
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates an empty temporary file beside path (bytes as the file system
    // takes them), readable and writable. This also proves that the folder
    // exists and takes new files. A path that is a symbolic link stands for
    // the file it points at. An empty object on failure, error
    // set to the errno; a destination that exists but is not a regular file
    // fails with EISDIR, one that may not be written with EACCES, a link to
    // nowhere with ENOENT.
    static StagedFile Create(const std::string& path, int& error);

    bool IsOpen() const noexcept { return descriptor_.valid(); }
    const std::string& TemporaryPath() const noexcept { return temporaryPath_; }
    // Open for reading and writing at offset 0 until Commit or Discard.
    int Descriptor() const noexcept { return descriptor_.get(); }

    // Syncs the file's data to disk. 0 or the errno.
    int Sync() noexcept;
    // Renames the (synced) file onto the destination and syncs the folder.
    // 0 or the errno; on failure the temporary file is removed as by
    // Discard and the destination is untouched.
    int Commit() noexcept;
    // Removes the temporary file. Nothing happens after a Commit.
    void Discard() noexcept;

private:
    std::string destination_;
    std::string temporaryPath_;
    FileDescriptor descriptor_;
    TemporaryFileRegistration registration_;
};

// The folder part of path: "." for a bare name, "/" for a file in the root.
std::string FolderOf(const std::string& path);

}  // namespace quillmere::sheet
