// The least time any extractor that writes its workbook with libxlsxwriter
// can take on this machine: the tree walked and sorted as the scan does,
// then worker threads that only open, fstat, read the first 8 KiB of and
// close each file (no decoder, no conversion, nothing checked) while the
// main thread writes each file's fourteen texts with bare
// worksheet_write_string calls, in order, and closes the workbook. No
// staging, sync or read-back either. Whatever a real extractor adds on top
// of this is its own cost; this is the part no extractor can avoid.
//
//   ideal_pipeline DIR OUT.xlsx [WORKERS]     (WORKERS default 2)

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <xlsxwriter.h>

namespace {

struct Facts {
    long long size = -1;
    long long mtime = 0;
    long long firstBytes = 0;
};

struct Slot {
    Facts facts;
    std::atomic<bool> ready{false};
};

// Depth first in byte order, the order the extractor's rows come in.
void Walk(const std::string& directory, std::vector<std::string>& files) {
    DIR* dir = opendir(directory.c_str());
    if (dir == nullptr) return;
    std::vector<std::pair<std::string, bool>> entries;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            isDirectory = stat((directory + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        entries.emplace_back(name, isDirectory);
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end());
    for (const auto& [name, isDirectory] : entries) {
        if (isDirectory) {
            Walk(directory + "/" + name, files);
        } else {
            files.push_back(directory + "/" + name);
        }
    }
}

Facts Touch(const std::string& path) {
    static thread_local char buffer[8192];
    Facts facts;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return facts;
    struct stat info {};
    if (fstat(fd, &info) == 0) {
        facts.size = info.st_size;
        facts.mtime = info.st_mtime;
        facts.firstBytes = pread(fd, buffer, sizeof buffer, 0);
    }
    close(fd);
    return facts;
}

void AppendNumber(std::string& out, long long value) {
    char digits[24];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    static_cast<void>(ec);
    out.append(digits, end);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: %s DIR OUT.xlsx [WORKERS]\n", argv[0]);
        return 2;
    }
    const int workerCount = argc == 4 ? std::max(1, std::atoi(argv[3])) : 2;
    std::vector<std::string> files;
    Walk(argv[1], files);

    const std::size_t ringSize = 64;
    const auto ring = std::make_unique<Slot[]>(ringSize);
    std::atomic<std::size_t> nextToClaim{0};
    std::atomic<std::size_t> taken{0};
    std::vector<std::jthread> workers;
    for (int i = 0; i < workerCount; ++i) {
        workers.emplace_back([&] {
            for (;;) {
                const std::size_t index = nextToClaim.fetch_add(1);
                if (index >= files.size()) return;
                for (std::size_t seen = taken.load(); index >= seen + ringSize; seen = taken.load()) {
                    taken.wait(seen);
                }
                Slot& slot = ring[index % ringSize];
                slot.facts = Touch(files[index]);
                slot.ready.store(true, std::memory_order_release);
                slot.ready.notify_one();
            }
        });
    }

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(argv[2], &options);
    lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook, nullptr) : nullptr;
    if (sheet == nullptr) {
        std::fprintf(stderr, "cannot start the workbook\n");
        return 1;
    }
    const char* const header[14] = {"档号", "扫描人", "设备制造商", "设备型号", "数字化时间（扫描时间）",
                                    "图像处理人", "数字化软件描述", "格式信息", "计算机文件名",
                                    "计算机文件大小（字节）", "数字化对象形态", "扫描分辨率（DPI）",
                                    "扫描色彩模式", "图像压缩方案"};
    for (lxw_col_t column = 0; column < 14; ++column) worksheet_write_string(sheet, 0, column, header[column], nullptr);
    std::string name, size, time;
    for (std::size_t index = 0; index < files.size(); ++index) {
        Slot& slot = ring[index % ringSize];
        slot.ready.wait(false, std::memory_order_acquire);
        const Facts facts = slot.facts;
        slot.ready.store(false, std::memory_order_relaxed);
        taken.store(index + 1, std::memory_order_release);
        if ((index + 1) % (ringSize / 2) == 0) taken.notify_all();

        const std::string& path = files[index];
        name.assign(path, path.rfind('/') + 1);
        const std::string stem = name.substr(0, name.rfind('.'));
        size.clear();
        AppendNumber(size, facts.size);
        time.clear();
        AppendNumber(time, facts.mtime);  // stands for the formatted date
        const auto row = static_cast<lxw_row_t>(index + 1);
        const char* const cells[14] = {stem.c_str(), "张三",        "Fujitsu",   "fi-7160",     time.c_str(),
                                       "李四",       "PaperStream", "JPG",       name.c_str(),  size.c_str(),
                                       "2480*3508",  "300",         "真彩色",    "90%"};
        for (lxw_col_t column = 0; column < 14; ++column) worksheet_write_string(sheet, row, column, cells[column], nullptr);
    }
    workers.clear();
    if (workbook_close(workbook) != LXW_NO_ERROR) {
        std::fprintf(stderr, "save failed\n");
        return 1;
    }
    std::printf("files=%zu workers=%d\n", files.size(), workerCount);
    return 0;
}
