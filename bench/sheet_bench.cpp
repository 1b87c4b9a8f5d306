// Writes ROWS rows of fourteen short Chinese and ASCII texts into an .xlsx
// file, through the row workbook the run writes into (rows, or csv for its
// CSV form: header, whole rows, the verified atomic save), or by a minimal
// direct libxlsxwriter loop, and prints the seconds each phase took.
//
//   sheet_bench rows|csv|direct ROWS OUT
//
// rows and csv also print the peak space taken on OUT's file system while
// writing and saving (free space sampled every millisecond: run it on a
// file system nothing else writes to), and rows the seconds a second
// read-back of the saved file takes (the verification's own cost, warm).

#include <charconv>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include <xlsxwriter.h>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <span>
#include <thread>
#include <vector>

#include "runtime/path_parts.h"
#include "runtime/text.h"
#include "runtime/text_encoding.h"
#include "sheet/staged_file.h"
#include "sheet/workbook_makers.h"
#include "sheet/xlsx_read_back.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kColumns = 14;
constexpr char kLetters[kColumns + 1] = "ABCDEFGHIJKLMN";

// The header and one typical row; the archive number columns (A and I) get
// the row number so that no two rows are alike.
const char* const kHeader[kColumns] = {
    "档号", "扫描人", "设备制造商", "设备型号", "数字化时间（扫描时间）", "图像处理人", "数字化软件描述",
    "格式信息", "计算机文件名", "计算机文件大小（字节）", "数字化对象形态", "扫描分辨率（DPI）",
    "扫描色彩模式", "图像压缩方案",
};
const char* const kRow[kColumns] = {
    "文书-", "张三", "佳能", "DR-G1100", "2024-01-02 10:11:12", "李四", "Quillmere 1.0 扫描",
    "JPG", "文书-", "1234567", "2480*3508", "300", "真彩色", "90%",
};
constexpr const char* kStemSuffix = "";
constexpr const char* kFileSuffix = ".jpg";

// Appends number as seven zero-padded digits.
void AppendSerial(std::string& out, long number) {
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, number);
    static_cast<void>(ec);
    const auto length = static_cast<std::size_t>(end - digits);
    if (length < 7) out.append(7 - length, '0');
    out.append(digits, length);
}

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Processor seconds of this process so far (the machine may be shared).
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void Report(const char* mode, long rows, Clock::time_point start, Clock::time_point written, Clock::time_point saved,
            double cpuStart, double cpuWritten, double cpuSaved) {
    std::printf("%s rows=%ld cells=%ld write=%.2fs (cpu %.2fs) save=%.2fs (cpu %.2fs) total=%.2fs (cpu %.2fs)\n", mode,
                rows, (rows + 1) * kColumns, Seconds(start, written), cpuWritten - cpuStart, Seconds(written, saved),
                cpuSaved - cpuWritten, Seconds(start, saved), cpuSaved - cpuStart);
}

// The lowest free space seen on a file system while it runs.
class FreeSpaceWatch {
public:
    explicit FreeSpaceWatch(std::string folder) : folder_(std::move(folder)), start_(Free()), lowest_(start_) {
        thread_ = std::thread([this] {
            while (!stop_.load()) {
                const unsigned long long free = Free();
                if (free < lowest_.load()) lowest_.store(free);
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    ~FreeSpaceWatch() { Stop(); }
    void Stop() {
        stop_.store(true);
        if (thread_.joinable()) thread_.join();
    }
    double PeakMegabytes() const { return static_cast<double>(start_ - lowest_.load()) / 1048576.0; }

private:
    unsigned long long Free() const {
        struct statvfs status {};
        if (::statvfs(folder_.c_str(), &status) != 0) return 0;
        return static_cast<unsigned long long>(status.f_bfree) * status.f_frsize;
    }

    std::string folder_;
    unsigned long long start_;
    std::atomic<unsigned long long> lowest_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

int RunRows(const char* mode, long rows, const std::string& path) {
    using namespace quillmere;
    std::vector<Text> header(kColumns);
    std::vector<Text> row(kColumns);
    for (int c = 0; c < kColumns; ++c) {
        header[c] = TextFromUtf8(kHeader[c]);
        row[c] = TextFromUtf8(kRow[c]);
    }
    const std::string stemPrefix = row[0].bytes();
    const std::string filePrefix = row[8].bytes();
    FreeSpaceWatch watch(FolderOf(path));

    const double cpuStart = CpuSeconds();
    const auto start = Clock::now();
    sheet::CreatedWorkbook created = sheet::CreateRowWorkbook(path, sheet::WorkbookLayout{header});
    if (!created.workbook) {
        std::fprintf(stderr, "cannot create %s: %s\n", created.failure.path.c_str(), created.failure.reason.c_str());
        return 1;
    }
    std::string serial;
    for (long r = 1; r <= rows; ++r) {
        serial.assign(stemPrefix);
        AppendSerial(serial, r);
        serial += kStemSuffix;
        row[0] = Text(serial);
        serial.assign(filePrefix);
        AppendSerial(serial, r);
        serial += kFileSuffix;
        row[8] = Text(serial);
        if (auto failure = created.workbook->AppendRow(row)) {
            std::fprintf(stderr, "row %ld: %s\n", r, failure->reason.c_str());
            return 1;
        }
    }
    const auto written = Clock::now();
    const double cpuWritten = CpuSeconds();
    const auto failure = created.workbook->Commit();
    const auto saved = Clock::now();
    const double cpuSaved = CpuSeconds();
    watch.Stop();
    if (failure) {
        std::fprintf(stderr, "save failed: %s: %s\n", failure->path.c_str(), failure->reason.c_str());
        return 1;
    }
    Report(mode, rows, start, written, saved, cpuStart, cpuWritten, cpuSaved);
    std::printf("%s peak space on the destination file system: %.1f MB\n", mode, watch.PeakMegabytes());
    if (std::string_view(mode) == "rows") {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const auto from = Clock::now();
        const double cpuFrom = CpuSeconds();
        const std::int64_t lastRows[] = {rows + 1};
        const auto damage = sheet::ReadBackXlsx(fd, lastRows, sheet::RowXmlBound(1024, kColumns));
        std::printf("rows read-back alone: %.2fs (cpu %.2fs)%s\n", Seconds(from, Clock::now()), CpuSeconds() - cpuFrom,
                    damage ? " FAILED" : "");
        ::close(fd);
    }
    return 0;
}

int RunDirect(long rows, const std::string& path) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* worksheet = workbook ? workbook_add_worksheet(workbook, nullptr) : nullptr;
    if (!worksheet) {
        std::fprintf(stderr, "cannot start the workbook\n");
        return 1;
    }
    const double cpuStart = CpuSeconds();
    const auto start = Clock::now();
    for (int c = 0; c < kColumns; ++c) worksheet_write_string(worksheet, 0, static_cast<lxw_col_t>(c), kHeader[c], nullptr);
    std::string stem;
    std::string file;
    for (long r = 1; r <= rows; ++r) {
        stem.assign(kRow[0]);
        AppendSerial(stem, r);
        stem += kStemSuffix;
        file.assign(kRow[8]);
        AppendSerial(file, r);
        file += kFileSuffix;
        const auto sheetRow = static_cast<lxw_row_t>(r);
        for (int c = 0; c < kColumns; ++c) {
            const char* value = c == 0 ? stem.c_str() : c == 8 ? file.c_str() : kRow[c];
            worksheet_write_string(worksheet, sheetRow, static_cast<lxw_col_t>(c), value, nullptr);
        }
    }
    const auto written = Clock::now();
    const double cpuWritten = CpuSeconds();
    const lxw_error error = workbook_close(workbook);
    const auto saved = Clock::now();
    const double cpuSaved = CpuSeconds();
    if (error != LXW_NO_ERROR) {
        std::fprintf(stderr, "save failed: %s\n", lxw_strerror(error));
        return 1;
    }
    Report("direct", rows, start, written, saved, cpuStart, cpuWritten, cpuSaved);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s rows|csv|direct ROWS OUT\n", argv[0]);
        return 2;
    }
    const std::string_view mode = argv[1];
    const long rows = std::strtol(argv[2], nullptr, 10);
    if (rows < 1 || rows >= 1048576) {
        std::fprintf(stderr, "ROWS must be from 1 to 1048575\n");
        return 2;
    }
    if (mode == "direct") return RunDirect(rows, argv[3]);
    if (mode == "rows" || mode == "csv") return RunRows(argv[1], rows, argv[3]);
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
