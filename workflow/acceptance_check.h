#pragma once
// The acceptance check: a batch judged against its rules from the values
// its rows already hold (columns A, H, I, J, L, M, N), what the probe
// found, and, when asked for, each file's digests. Files are added in
// entry order as their rows are written; Finish then applies the rules
// that need the whole batch (one format, page sequences, repeated pages,
// the catalogue).

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "image/image_format.h"
#include "runtime/file_digests.h"
#include "runtime/text.h"
#include "workflow/acceptance_rules.h"

namespace quillmere::workflow {

// The check items (检验项), in the order the summary lists them.
enum class CheckItem : int {
    Resolution,              // 分辨率
    ColourMode,              // 色彩模式
    Format,                  // 格式
    ExtensionContent,        // 扩展名与内容
    JpegQuality,             // JPEG质量
    EmptyFile,               // 空文件
    Unrecognised,            // 无法识别
    NotImage,                // 非图像文件
    OneFormat,               // 格式一致
    Naming,                  // 命名
    MissingPage,             // 缺页
    RepeatedPageNumber,      // 页号重复
    PageNumberWidth,         // 页号位数
    RepeatedPage,            // 重复页面
    CataloguePages,          // 目录页数
    CatalogueWithoutImages,  // 目录无图像
    ImagesWithoutCatalogue,  // 图像无目录
    Digest,                  // 摘要
};
inline constexpr int kCheckItemCount = static_cast<int>(CheckItem::Digest) + 1;

// The item's name as the report shows it, UTF-8.
const char* CheckItemName(CheckItem item);

struct Finding {
    Text archiveNumber;  // 档号
    Text fileName;       // 计算机文件名; empty for a finding about an archive number
    Text relativePath;   // 相对路径: the file's, or the folder of the archive's first file
    CheckItem item = CheckItem::Resolution;
    Text requirement;  // 要求
    Text actual;       // 实际
};

// What the check needs of a file beyond its row.
struct CheckedFile {
    bool decoded = false;                                     // a decoder accepted the file
    image::ImageFormat format = image::ImageFormat::Unknown;  // which one
    Text notReadReason = Text();                              // why none did
    const DigestResult* digest = nullptr;                     // set when the run computed digests
};

// A file as the check keeps it for the batch rules and the digest sheet;
// kept small, since a batch keeps one per file.
struct CheckedRecord {
    Text archiveNumber;
    std::optional<Text> pageDigits;
    Text relativePath;  // its file name is the part after the last "/"
    Text format;        // column H
    std::int64_t size = -1;
    std::int32_t digestIndex = -1;  // into the check's digests; -1 without
    bool image = false;             // decoded, or named as an image
};

struct RuleSummary {
    CheckItem item;
    Text requirement;
    std::int64_t findings = 0;
};

class AcceptanceCheck {
public:
    // folder: the image folder as the scan gave it; relative paths start below it.
    AcceptanceCheck(AcceptanceRules rules, const Text& folder);

    // Room for the files the run will add, so the kept files are never moved.
    void Reserve(std::size_t files);
    // One file, its row as written (fourteen texts, A to N) and its path.
    void AddFile(std::span<const Text> row, const Text& path, const CheckedFile& file);
    // Applies the batch rules; call once, after the last file.
    void Finish();

    const AcceptanceRules& Rules() const { return rules_; }
    const std::deque<Finding>& Findings() const { return findings_; }
    // The files kept for the batch rules and the digest sheet: every file
    // when one of those is on, none otherwise (a check of per-file rules
    // alone keeps nothing per file, however large the batch).
    const std::vector<CheckedRecord>& Files() const { return records_; }
    std::int64_t FilesChecked() const { return filesChecked_; }
    // A kept file's digests, or nullptr when it has none.
    const FileDigests* DigestsOf(const CheckedRecord& record) const;
    // A kept file's name (column I).
    static Text FileNameOf(const CheckedRecord& record);
    // Every rule that is on, with the findings it gave.
    std::vector<RuleSummary> Summary() const;

private:
    void Add(const CheckedRecord& record, CheckItem item, Text requirement, Text actual);
    void AddForArchive(const Text& archiveNumber, const Text& relativeFolder, CheckItem item, Text requirement,
                       Text actual);
    void CheckFileRules(std::span<const Text> row, const CheckedRecord& record, const CheckedFile& file);
    void CheckOneFormat();
    void CheckPageSequences();
    void CheckRepeatedPages();
    void CheckCatalogue();
    Text RelativePath(const Text& path) const;
    // The Text of a UTF-8 phrase, converted once: findings repeat the same few thousands of times.
    const Text& P(const std::string& utf8);

    AcceptanceRules rules_;
    std::string folderPrefix_;
    bool keepRecords_ = false;
    std::int64_t filesChecked_ = 0;
    std::vector<CheckedRecord> records_;
    std::vector<FileDigests> digests_;
    // A deque: a strict rule can find something in most files, and a vector
    // would move them all each time it grows.
    std::deque<Finding> findings_;
    std::unordered_map<std::string, Text> phrases_;
    struct {
        Text resolution, colourModes, formats, jpegQuality;
    } requirements_;  // of the rules judged on every file, made once
    std::vector<std::int64_t> counts_ = std::vector<std::int64_t>(kCheckItemCount, 0);
};

}  // namespace quillmere::workflow
