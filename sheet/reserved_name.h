#pragma once
// A file name taken for a workbook before the workbook is written, so that
// two runs started in the same second never pick the same one.
//
// Reserve creates "<stem><extension>" with O_CREAT|O_EXCL, else
// "<stem>-2<extension>", "<stem>-3<extension>", …: whichever run creates a
// name first owns it. The reserved file stays empty until the workbook is
// renamed onto it; a reservation given up (failure, discard, destruction)
// removes the empty file again, provided it is still the one created here.
// The path is registered for removal by a signal handler meanwhile.

#include <sys/types.h>

#include <string>

#include "sheet/temporary_file_registry.h"

namespace quillmere::sheet {

class ReservedName {
public:
    ReservedName() = default;
    ~ReservedName() { Release(); }
    ReservedName(ReservedName&& other) noexcept;
    ReservedName& operator=(ReservedName&& other) noexcept;
    ReservedName(const ReservedName&) = delete;
    ReservedName& operator=(const ReservedName&) = delete;

    // stem is the path without its extension (bytes as the file system takes
    // them). An empty object on failure, error set to the errno of the
    // first name that failed for another reason than being taken.
    static ReservedName Reserve(const std::string& stem, const std::string& extension, int& error);

    bool Holds() const noexcept { return !path_.empty(); }
    const std::string& Path() const noexcept { return path_; }

    // Leaves the name to the caller's own signal cleanup: called just before
    // the workbook is renamed onto it, so that a signal arriving right after
    // the rename cannot remove the saved workbook.
    void StopSignalCleanup() noexcept { registration_.Release(); }
    // The workbook now stands under the name: nothing is removed any more.
    void Fulfil() noexcept;
    // Removes the empty reserved file, if it is still ours.
    void Release() noexcept;

    // Tried names per stem before giving up; a folder with that many runs
    // in one second is not a real case.
    static constexpr int kMostCopies = 10000;

private:
    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    TemporaryFileRegistration registration_;
};

}  // namespace quillmere::sheet
