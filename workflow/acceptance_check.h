#pragma once
// The acceptance check: a batch judged against its rules from the values
// its rows already hold (columns A, H, I, J, L, M, N), what the probe
// found, and, when asked for, each file's digests. Files are added in
// entry order as their rows are written; Finish then applies the rules
// that need the whole batch (one format, page sequences, repeated pages,
// the catalogue).

#include <cstdint>
#include <deque>
#include <functional>
#include <memory_resource>
#include <optional>
#include <span>
#include <string>
#include <string_view>
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

// A finding as the report shows it.
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

// A file as the check keeps it for the batch rules, the findings and the
// digest sheet. Kept small, since a batch keeps one per file: its path is
// the caller's, its page digits in the check's own store (GB18030 bytes),
// its archive number and format indexes of the distinct ones.
struct CheckedRecord {
    std::string_view relativePath;  // into the path AddFile was given; its file name is the part after the last "/"
    std::string_view pageDigits;    // empty when the name does not end in a page number
    std::uint32_t archive = 0;      // the archive number as written
    std::uint32_t format = 0;       // column H
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
    // Records and findings point into the check's own store.
    AcceptanceCheck(const AcceptanceCheck&) = delete;
    AcceptanceCheck& operator=(const AcceptanceCheck&) = delete;

    // Room for the files the run will add.
    void Reserve(std::size_t files);
    // One file, its row as written (fourteen texts, A to N) and its path.
    // The path is kept by reference, not copied: it must outlive the check
    // (a run's file list does), since a batch's paths would double its size.
    void AddFile(std::span<const Text> row, const Text& path, const CheckedFile& file);
    // Applies the batch rules; call once, after the last file.
    void Finish();

    const AcceptanceRules& Rules() const { return rules_; }
    std::size_t FindingCount() const { return findings_.size(); }
    // The index-th finding, by file in entry order, then the batch rules' in rule order.
    Finding FindingAt(std::size_t index) const;
    // The files kept: every file when a batch rule or digests are on (the
    // digest sheet lists them); otherwise only those with findings, so a
    // check of per-file rules alone keeps little however large the batch.
    const std::vector<CheckedRecord>& Files() const { return records_; }
    std::int64_t FilesChecked() const { return filesChecked_; }
    // A kept file's digests, or nullptr when it has none.
    const FileDigests* DigestsOf(const CheckedRecord& record) const;
    // A kept file's archive number, name (column I) and path below the image folder.
    Text ArchiveNumberOf(const CheckedRecord& record) const;
    static Text FileNameOf(const CheckedRecord& record);
    static Text RelativePathOf(const CheckedRecord& record) { return Text(record.relativePath); }
    // Every rule that is on, with the findings it gave.
    std::vector<RuleSummary> Summary() const;

private:
    // A finding as kept: the file it is about, or an archive number and folder.
    struct KeptFinding {
        std::uint32_t file = kAboutArchive;  // into records_
        std::uint32_t archive = 0;           // for a finding about an archive number
        CheckItem item = CheckItem::Resolution;
        std::string_view folder;  // for a finding about an archive number
        std::string_view requirement;
        std::string_view actual;
    };
    static constexpr std::uint32_t kAboutArchive = UINT32_MAX;
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    template <typename Value>
    using StringMap = std::unordered_map<std::string, Value, StringHash, std::equal_to<>>;

    void Add(std::uint32_t file, CheckItem item, std::string_view requirement, std::string_view actual);
    void AddForArchive(std::uint32_t archive, std::string_view folder, CheckItem item, std::string_view requirement,
                       std::string_view actual);
    void CheckFileRules(std::span<const Text> row, std::uint32_t index, const CheckedRecord& record,
                        const CheckedFile& file);
    void CheckOneFormat();
    void CheckPageSequences();
    void CheckRepeatedPages();
    void CheckCatalogue();
    std::uint32_t ArchiveIndex(const Text& archiveNumber);
    std::uint32_t FormatIndex(const Text& format);
    // A column-H text as the check keeps it: what the per-file rules ask of it is worked out once per text.
    struct KnownFormat {
        Text text;
        bool image = false;    // names an image format
        bool allowed = false;  // among the allowed formats, when the rule is on
    };
    const KnownFormat& FormatOf(const CheckedRecord& record) const { return formats_[record.format]; }
    std::uint32_t GroupOf(const CheckedRecord& record) const { return archiveGroups_[record.archive]; }
    // The bytes, copied into the check's store; the parts joined.
    std::string_view Keep(std::string_view bytes);
    std::string_view Keep(std::initializer_list<std::string_view> parts);
    // The GB18030 bytes of a UTF-8 phrase, converted once: findings repeat the same few thousands of times.
    std::string_view P(std::string_view utf8);

    AcceptanceRules rules_;
    std::string folderPrefix_;
    bool keepRecords_ = false;
    std::int64_t filesChecked_ = 0;
    // Every kept text lives here until the check ends; nothing is freed one by one.
    std::pmr::monotonic_buffer_resource store_;
    std::vector<CheckedRecord> records_;
    std::vector<FileDigests> digests_;
    // Archive numbers as written, and the groups they fall in: those equal
    // but for surrounding spaces are one archive.
    std::vector<Text> archiveNumbers_;
    StringMap<std::uint32_t> archiveIndex_;
    std::vector<std::uint32_t> archiveGroups_;
    StringMap<std::uint32_t> groupIndex_;  // by the archive number without surrounding spaces, UTF-8
    std::uint32_t lastArchive_ = UINT32_MAX;
    std::deque<KnownFormat> formats_;  // a deque: findings view these texts, which must not move
    // A deque: a strict rule can find something in most files, and a vector
    // would move them all each time it grows.
    std::deque<KeptFinding> findings_;
    StringMap<Text> phrases_;
    struct {
        Text resolution, colourModes, formats, jpegQuality;
    } requirements_;  // of the rules judged on every file, made once
    std::vector<std::int64_t> counts_ = std::vector<std::int64_t>(kCheckItemCount, 0);
};

}  // namespace quillmere::workflow
