#pragma once
// A private folder for a library's temporary files, made beside a
// destination so that they take space on its file system (never in /tmp),
// and removed with whatever is in it when the object goes. Its path is
// registered for removal by a signal handler (temporary_file_registry.h)
// before the folder is created.

#include <string>

#include "sheet/temporary_file_registry.h"

namespace quillmere::sheet {

class TemporaryFolder {
public:
    TemporaryFolder() = default;
    ~TemporaryFolder() { Remove(); }
    TemporaryFolder(TemporaryFolder&& other) noexcept;
    TemporaryFolder& operator=(TemporaryFolder&& other) noexcept;
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    // ".<name>.<random>.parts" inside folder, readable by the owner only.
    // An empty object on failure, error set to the errno.
    static TemporaryFolder Create(const std::string& folder, const std::string& name, int& error);

    bool Exists() const noexcept { return !path_.empty(); }
    const std::string& Path() const noexcept { return path_; }

    // Removes the files in it and the folder.
    void Remove() noexcept;

private:
    std::string path_;
    TemporaryFileRegistration registration_;
};

}  // namespace quillmere::sheet
