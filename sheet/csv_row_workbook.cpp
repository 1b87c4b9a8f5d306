#include "sheet/csv_row_workbook.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "runtime/text_encoding.h"
#include "sheet/failure_reason.h"

namespace quillmere::sheet {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kBufferSize = 256 * 1024;

// 0 or the errno of the write that failed.
int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return errno;
        if (done == 0) return EIO;
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return 0;
}

}  // namespace

void AppendCsvField(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

CreatedWorkbook CsvRowWorkbook::Create(const std::string& path, const WorkbookLayout& layout) {
    if (layout.header.empty()) return {nullptr, {path, "表头的列数无效"}};
    std::unique_ptr<CsvRowWorkbook> workbook(new CsvRowWorkbook(path, layout.header.size()));
    int error = 0;
    workbook->staged_ = StagedFile::Create(path, error);
    if (!workbook->staged_.IsOpen()) return {nullptr, workbook->Fail(FailureReason(error))};
    workbook->buffer_ += kByteOrderMark;
    for (std::size_t column = 0; column < layout.header.size(); ++column) {
        if (column > 0) workbook->buffer_ += ',';
        workbook->AppendField(TextToUtf8(layout.header[column]));
    }
    workbook->buffer_ += "\r\n";
    return {std::move(workbook), {}};
}

CsvRowWorkbook::CsvRowWorkbook(std::string path, std::size_t columns) : path_(std::move(path)), columns_(columns) {
    buffer_.reserve(kBufferSize + 4096);
}

CsvRowWorkbook::~CsvRowWorkbook() { Discard(); }

void CsvRowWorkbook::AppendField(std::string_view utf8) { AppendCsvField(buffer_, utf8); }

std::optional<WorkbookFailure> CsvRowWorkbook::AppendRow(std::span<const Text> cells) {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    if (cells.size() != columns_) return WorkbookFailure{path_, "行的单元格数与表头的列数不同"};
    for (std::size_t column = 0; column < cells.size(); ++column) {
        if (column > 0) buffer_ += ',';
        AppendField(utf8_.Convert(cells[column]));
    }
    buffer_ += "\r\n";
    return Drain(false);
}

std::optional<WorkbookFailure> CsvRowWorkbook::Drain(bool force) {
    if (buffer_.empty() || (!force && buffer_.size() < kBufferSize)) return std::nullopt;
    if (const int error = WriteAll(staged_.Descriptor(), buffer_); error != 0) return Fail(FailureReason(error));
    written_ += buffer_.size();
    buffer_.clear();
    return std::nullopt;
}

std::optional<WorkbookFailure> CsvRowWorkbook::Commit() {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    if (auto failure = Drain(true)) return failure;
    if (const int error = staged_.Sync(); error != 0) return Fail(FailureReason(error));
    struct stat status {};
    if (::fstat(staged_.Descriptor(), &status) != 0) return Fail(FailureReason(errno));
    if (static_cast<std::uint64_t>(status.st_size) != written_) {
        return Fail("读回校验失败：文件长度为" + std::to_string(status.st_size) + "字节，应为" +
                    std::to_string(written_) + "字节");
    }
    if (const int error = staged_.Commit(); error != 0) return Fail(FailureReason(error));
    finished_ = true;
    return std::nullopt;
}

WorkbookFailure CsvRowWorkbook::Fail(std::string reason) {
    failure_ = WorkbookFailure{path_, std::move(reason)};
    Discard();
    return *failure_;
}

void CsvRowWorkbook::Discard() {
    staged_.Discard();
    buffer_.clear();
    finished_ = true;
}

}  // namespace quillmere::sheet
