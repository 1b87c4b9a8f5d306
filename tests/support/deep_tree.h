#pragma once
// Trees deeper than one path can name: a chain of folders whose full path
// passes PATH_MAX (4096 bytes) a few levels down. They are made and removed
// with openat and unlinkat, a folder at a time, because no single call can
// take their whole path.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace quillmere::testing {

// The name of the folder at one level: 200 bytes, unique per level.
inline std::string DeepFolderName(int level) { return std::to_string(100 + level) + std::string(197, 'd'); }

// Makes `levels` nested folders below base, each holding "f<level>.jpg" with
// the given bytes. Returns the paths of the files relative to base.
inline std::vector<std::string> MakeDeepTree(const std::string& base, int levels, const std::string& bytes) {
    std::vector<std::string> files;
    int directory = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string relative;
    for (int level = 0; level < levels && directory >= 0; ++level) {
        const std::string name = DeepFolderName(level);
        mkdirat(directory, name.c_str(), 0755);
        const int next = openat(directory, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(directory);
        directory = next;
        relative += name + "/";
        const std::string file = "f" + std::to_string(level) + ".jpg";
        const int fd = openat(directory, file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            if (write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size())) {
                files.push_back(relative + file);
            }
            close(fd);
        }
    }
    if (directory >= 0) close(directory);
    return files;
}

// Removes the folder `name` inside the open folder `parent`, with everything in it.
inline void RemoveTreeAt(int parent, const char* name) {
    const int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        unlinkat(parent, name, 0);
        return;
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
        close(fd);
        return;
    }
    std::vector<std::string> children;
    while (const dirent* entry = readdir(dir)) {
        const std::string child = entry->d_name;
        if (child != "." && child != "..") children.push_back(child);
    }
    for (const std::string& child : children) RemoveTreeAt(dirfd(dir), child.c_str());
    closedir(dir);
    unlinkat(parent, name, AT_REMOVEDIR);
}

// Removes the first deep folder below base (and so the whole deep tree).
inline void RemoveDeepTree(const std::string& base) {
    const int fd = open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    RemoveTreeAt(fd, DeepFolderName(0).c_str());
    close(fd);
}

// Removes the deep tree below base when the test ends, however it ends.
class DeepTreeCleanup {
public:
    explicit DeepTreeCleanup(std::string base) : base_(std::move(base)) {}
    ~DeepTreeCleanup() { RemoveDeepTree(base_); }
    DeepTreeCleanup(const DeepTreeCleanup&) = delete;
    DeepTreeCleanup& operator=(const DeepTreeCleanup&) = delete;

private:
    std::string base_;
};

}  // namespace quillmere::testing
