#include "sheet/companion_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "runtime/path_parts.h"
#include "runtime/write_all.h"
#include "sheet/failure_reason.h"

namespace quillmere::sheet {

std::string CompanionPath(const std::string& workbookPath, std::string_view suffix) {
    const std::size_t nameStart = FolderPrefixOf(workbookPath).size();
    const std::size_t dot = workbookPath.rfind('.');
    // A leading dot is part of a hidden file's name, not an extension.
    const std::size_t stemEnd = dot != std::string::npos && dot > nameStart ? dot : workbookPath.size();
    return workbookPath.substr(0, stemEnd) + std::string(suffix);
}

std::optional<WorkbookFailure> CompanionFiles::Add(const std::string& path, std::string_view contents) {
    int error = 0;
    StagedFile staged = StagedFile::Create(path, error);
    if (!staged.IsOpen()) return WorkbookFailure{path, FailureReason(error)};
    if (const int written = WriteAll(staged.Descriptor(), contents); written != 0) {
        return WorkbookFailure{path, FailureReason(written)};
    }
    files_.push_back(Companion{path, std::move(staged), contents.size()});
    return std::nullopt;
}

std::optional<WorkbookFailure> CompanionFiles::Verify() {
    for (Companion& file : files_) {
        if (const int error = file.staged.Sync(); error != 0) return WorkbookFailure{file.path, FailureReason(error)};
        struct stat status {};
        if (::fstat(file.staged.Descriptor(), &status) != 0) return WorkbookFailure{file.path, FailureReason(errno)};
        if (static_cast<std::uint64_t>(status.st_size) != file.size) {
            return WorkbookFailure{file.path, "读回校验失败：文件长度为" + std::to_string(status.st_size) +
                                                  "字节，应为" + std::to_string(file.size) + "字节"};
        }
    }
    return std::nullopt;
}

std::optional<WorkbookFailure> CompanionFiles::Commit() {
    for (Companion& file : files_) {
        if (const int error = file.staged.Commit(); error != 0) return WorkbookFailure{file.path, FailureReason(error)};
    }
    files_.clear();
    return std::nullopt;
}

std::optional<WorkbookFailure> CompanionFiles::Commit(const std::string& askedWorkbook,
                                                      const std::string& savedWorkbook) {
    const std::size_t askedStem = CompanionPath(askedWorkbook, "").size();
    for (Companion& file : files_) {
        file.path = CompanionPath(savedWorkbook, std::string_view(file.path).substr(askedStem));
        if (const int error = file.staged.CommitAs(file.path); error != 0) {
            return WorkbookFailure{file.path, FailureReason(error)};
        }
    }
    files_.clear();
    return std::nullopt;
}

void CompanionFiles::Discard() noexcept {
    for (Companion& file : files_) file.staged.Discard();
    files_.clear();
}

}  // namespace quillmere::sheet
