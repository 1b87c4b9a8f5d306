// The floor for a whole extraction: the least any tool must do per file.
// Lists the tree, then stats every file and reads its first 64 KiB on one
// thread per core (as many as the extractor prepares files on), with no
// output beyond a count.
//
//   floor_walk DIR [THREADS]   prints: files=N bytes_read=B threads=T

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every entry below root that is not a folder; folders by d_type, or by
// lstat where the file system does not say.
std::vector<std::string> ListTree(const std::string& root) {
    std::vector<std::string> files;
    std::vector<std::string> pending{root};
    while (!pending.empty()) {
        const std::string directory = std::move(pending.back());
        pending.pop_back();
        DIR* dir = opendir(directory.c_str());
        if (dir == nullptr) continue;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..") continue;
            std::string path = directory + "/" + name;
            bool isDirectory = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info {};
                isDirectory = lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            }
            if (isDirectory) pending.push_back(std::move(path));
            else files.push_back(std::move(path));
        }
        closedir(dir);
    }
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s DIR [THREADS]\n", argv[0]);
        return 2;
    }
    unsigned threads = argc == 3 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10))
                                 : std::thread::hardware_concurrency();
    if (threads == 0) threads = 1;
    const std::vector<std::string> files = ListTree(argv[1]);

    std::atomic<std::size_t> next{0};
    std::atomic<long long> bytesRead{0};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            std::vector<unsigned char> buffer(64 * 1024);
            long long read = 0;
            for (std::size_t i = next++; i < files.size(); i = next++) {
                struct stat info {};
                if (stat(files[i].c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
                const int fd = open(files[i].c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0) continue;
                const ssize_t n = ::read(fd, buffer.data(), buffer.size());
                if (n > 0) read += n;
                close(fd);
            }
            bytesRead += read;
        });
    }
    for (std::thread& worker : workers) worker.join();
    std::printf("files=%zu bytes_read=%lld threads=%u\n", files.size(), bytesRead.load(), threads);
    return 0;
}
