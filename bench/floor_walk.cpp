// The floor for a whole extraction: the least any tool must do per file.
// Walks the tree, stats every file and reads its first 64 KiB, on one
// thread, with no output beyond a count.
//
//   floor_walk DIR      prints: files=N bytes_read=B

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    static unsigned char buffer[64 * 1024];
    long long files = 0;
    long long bytesRead = 0;
    std::vector<std::string> pending{argv[1]};
    while (!pending.empty()) {
        const std::string directory = std::move(pending.back());
        pending.pop_back();
        DIR* dir = opendir(directory.c_str());
        if (dir == nullptr) continue;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            const std::string path = directory + "/" + name;
            struct stat info {};
            if (stat(path.c_str(), &info) != 0) continue;
            if (S_ISDIR(info.st_mode)) {
                pending.push_back(path);
                continue;
            }
            ++files;
            if (!S_ISREG(info.st_mode)) continue;
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) bytesRead += n;
            close(fd);
        }
        closedir(dir);
    }
    std::printf("files=%lld bytes_read=%lld\n", files, bytesRead);
    return 0;
}
