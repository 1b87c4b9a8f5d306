#include "sheet/csv_row_workbook.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "runtime/text_encoding.h"
#include "sheet/companion_files.h"
#include "runtime/write_all.h"
#include "sheet/failure_reason.h"

namespace quillmere::sheet {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kBufferSize = 256 * 1024;

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
    std::unique_ptr<CsvRowWorkbook> workbook(new CsvRowWorkbook(path));
    if (auto failure = workbook->StartFile(path, layout.header)) return {nullptr, *failure};
    return {std::move(workbook), {}};
}

CsvRowWorkbook::CsvRowWorkbook(std::string path) : path_(std::move(path)) {}

CsvRowWorkbook::~CsvRowWorkbook() { Discard(); }

std::optional<WorkbookFailure> CsvRowWorkbook::StartFile(std::string path, std::span<const Text> header) {
    SheetFile file;
    int error = 0;
    file.staged = StagedFile::Create(path, error);
    if (!file.staged.IsOpen()) return Fail({path, FailureReason(error)});
    file.path = std::move(path);
    file.columns = header.size();
    file.buffer.reserve(kBufferSize + 4096);
    file.buffer += kByteOrderMark;
    for (std::size_t column = 0; column < header.size(); ++column) {
        if (column > 0) file.buffer += ',';
        AppendCsvField(file.buffer, TextToUtf8(header[column]));
    }
    file.buffer += "\r\n";
    files_.push_back(std::move(file));
    return std::nullopt;
}

std::optional<WorkbookFailure> CsvRowWorkbook::AppendRow(std::span<const Text> cells) {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    SheetFile& file = files_.back();
    if (cells.size() != file.columns) return WorkbookFailure{path_, "行的单元格数与表头的列数不同"};
    for (std::size_t column = 0; column < cells.size(); ++column) {
        if (column > 0) file.buffer += ',';
        AppendCsvField(file.buffer, utf8_.Convert(cells[column]));
    }
    file.buffer += "\r\n";
    return Drain(file, false);
}

std::optional<WorkbookFailure> CsvRowWorkbook::StartSheet(const std::string& name, std::span<const Text> header) {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    if (header.empty()) return WorkbookFailure{path_, "表头的列数无效"};
    if (name.empty() || name.find('/') != std::string::npos) return WorkbookFailure{path_, "工作表名“" + name + "”无效"};
    // What the open file holds goes out now; it takes no more rows.
    if (auto failure = Drain(files_.back(), true)) return failure;
    return StartFile(CompanionPath(path_, "-" + name + ".csv"), header);
}

std::optional<WorkbookFailure> CsvRowWorkbook::AddCompanionFile(std::string_view extension, std::string contents) {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    if (auto failure = companions_.Add(CompanionPath(path_, extension), contents)) return Fail(*failure);
    return std::nullopt;
}

std::optional<WorkbookFailure> CsvRowWorkbook::Drain(SheetFile& file, bool force) {
    if (file.buffer.empty() || (!force && file.buffer.size() < kBufferSize)) return std::nullopt;
    if (const int error = WriteAll(file.staged.Descriptor(), file.buffer); error != 0) {
        return Fail({file.path, FailureReason(error)});
    }
    file.written += file.buffer.size();
    file.buffer.clear();
    return std::nullopt;
}

std::optional<WorkbookFailure> CsvRowWorkbook::Verify() {
    for (SheetFile& file : files_) {
        if (auto failure = Drain(file, true)) return failure;
        if (const int error = file.staged.Sync(); error != 0) return Fail({file.path, FailureReason(error)});
        struct stat status {};
        if (::fstat(file.staged.Descriptor(), &status) != 0) return Fail({file.path, FailureReason(errno)});
        if (static_cast<std::uint64_t>(status.st_size) != file.written) {
            return Fail({file.path, "读回校验失败：文件长度为" + std::to_string(status.st_size) + "字节，应为" +
                                        std::to_string(file.written) + "字节"});
        }
    }
    if (auto failure = companions_.Verify()) return Fail(*failure);
    return std::nullopt;
}

std::optional<WorkbookFailure> CsvRowWorkbook::Commit() {
    if (failure_) return failure_;
    if (finished_) return WorkbookFailure{path_, "工作簿已经关闭"};
    const std::optional<WorkbookFailure> failure = Save();
    finished_ = true;
    return failure;
}

std::optional<WorkbookFailure> CsvRowWorkbook::Save() {
    if (auto failure = Verify()) return failure;
    // The rows' file last: once it stands under its name, so does everything beside it.
    for (std::size_t index = files_.size(); index-- > 1;) {
        if (const int error = files_[index].staged.Commit(); error != 0) {
            return Fail({files_[index].path, FailureReason(error)});
        }
    }
    if (auto failure = companions_.Commit()) return Fail(*failure);
    if (const int error = files_.front().staged.Commit(); error != 0) return Fail({path_, FailureReason(error)});
    return std::nullopt;
}

WorkbookFailure CsvRowWorkbook::Fail(WorkbookFailure failure) {
    failure_ = std::move(failure);
    Discard();
    return *failure_;
}

void CsvRowWorkbook::Discard() {
    for (SheetFile& file : files_) {
        file.staged.Discard();
        file.buffer.clear();
    }
    companions_.Discard();
    finished_ = true;
}

}  // namespace quillmere::sheet
