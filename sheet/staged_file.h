#pragma once
// A file written under a hidden name in its destination's folder and
// renamed onto the destination only when it is complete and synced.
//
// The hidden file lives on the destination's file system, so the final
// rename is atomic: a reader of the destination sees the earlier file or
// the whole new one, never a part. Until Commit, and after any failure, an
// earlier file of that name is untouched, and nothing at all stands under
// the destination's name.
//
// The folder is opened once and every later step goes through that
// descriptor, so a discard removes the hidden file even when the folder was
// renamed meanwhile; a commit into a folder that is no longer at its path
// fails instead of saving where nobody looks. The hidden file is
// registered for removal by a signal handler (temporary_file_registry.h)
// for as long as it exists, and held with flock(LOCK_EX) for its whole
// life: a run killed outright (SIGKILL, a power cut) leaves it unlocked,
// and the next run that stages a file in that folder removes it.

#include <string>
#include <string_view>

#include "runtime/file_descriptor.h"
#include "sheet/temporary_file_registry.h"

namespace quillmere::sheet {

// What Commit does when a file already stands under the destination's name.
enum class OnExistingFile {
    kReplace,       // replaced atomically (the extractor's -o)
    kTakeNextFree,  // "name-2.ext", "name-3.ext", … whichever is free at
                    // the moment of the rename (the window's fresh names)
};

class StagedFile {
public:
    // An empty object, as left behind by a move.
    StagedFile() = default;
    ~StagedFile() { Discard(); }
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Creates an empty hidden file beside path (bytes as the file system
    // takes them), readable and writable, and removes the hidden files that
    // killed runs left in that folder. This also proves that the folder
    // exists and takes new files. With kReplace a path that is a symbolic
    // link stands for the file it points at. An empty object on failure,
    // error set to the errno or a code of failure_reason.h: a destination
    // that exists but is not a regular file fails with EISDIR, one that may
    // not be written with EACCES, a link to nowhere with kDanglingLink, a
    // name longer than a file name may be with ENAMETOOLONG, a name the file
    // system refuses with EILSEQ.
    static StagedFile Create(const std::string& path, int& error, OnExistingFile onExisting = OnExistingFile::kReplace);

    bool IsOpen() const noexcept { return descriptor_.valid(); }
    // The path the file is saved under, as given to Create (a link is not
    // resolved here); after a Commit with kTakeNextFree the name taken.
    const std::string& Destination() const noexcept { return path_; }
    // Open for reading and writing at offset 0 until Commit or Discard.
    int Descriptor() const noexcept { return descriptor_.get(); }

    // Syncs the file's data to disk. 0 or the errno.
    int Sync() noexcept;
    // Renames the (synced) file onto the destination and syncs the folder.
    // 0 or the errno (ENOENT when the folder is no longer at its path); on
    // failure the hidden file is removed as by Discard and the destination
    // is untouched.
    int Commit() noexcept;
    // Commit onto path instead, a name in the same folder (a file saved
    // with a workbook whose name was settled by its save), replacing.
    int CommitAs(const std::string& path) noexcept;
    // Removes the hidden file. Nothing happens after a Commit.
    void Discard() noexcept;

    // Tried names per destination with kTakeNextFree before giving up; a
    // folder with that many runs in one second is not a real case.
    static constexpr int kMostCopies = 10000;

private:
    int Rename() noexcept;
    int RenameToNextFree() noexcept;

    std::string path_;
    std::string destination_;  // path_ with a link resolved
    std::string folderPath_;
    std::string hiddenName_;
    OnExistingFile onExisting_ = OnExistingFile::kReplace;
    FileDescriptor folder_;
    FileDescriptor descriptor_;
    TemporaryFileRegistration registration_;
};

// Longest file name the file systems we write to take, in bytes.
inline constexpr std::size_t kLongestFileName = 255;

// The hidden name a file staged for name gets: "." + name (cut at a
// character boundary so the whole fits kLongestFileName) + "." + random +
// ".quillmere". random is ten letters or digits.
std::string StagedFileName(std::string_view name, std::string_view random);
// Whether name has the form StagedFileName gives.
bool IsStagedFileName(std::string_view name);

}  // namespace quillmere::sheet
