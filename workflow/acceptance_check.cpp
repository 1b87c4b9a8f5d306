#include "workflow/acceptance_check.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <map>
#include <utility>

#include "runtime/path_parts.h"
#include "runtime/text_encoding.h"
#include "workflow/page_name.h"

namespace quillmere::workflow {

namespace {

using image::ImageFormat;

// The row's columns the check reads.
enum Column : std::size_t {
    kStem = 0,
    kFormat = 7,
    kFileName = 8,
    kSize = 9,
    kResolution = 11,
    kColour = 12,
    kQuality = 13
};

// A run of more missing page numbers than this is one finding, so one
// mistyped page number cannot fill the report with thousands of rows.
constexpr std::uint64_t kLongestGapListed = 10;

struct FormatNames {
    ImageFormat format;
    const char* name;                          // as the report names the content
    std::vector<std::string_view> extensions;  // column H texts that name it
};

const std::vector<FormatNames>& KnownFormats() {
    static const std::vector<FormatNames> formats = {
        {ImageFormat::Jpg, "JPEG", {"JPG", "JPEG", "JPE", "JFIF"}},
        {ImageFormat::Tif, "TIFF", {"TIF", "TIFF"}},
        {ImageFormat::Png, "PNG", {"PNG"}},
        {ImageFormat::Bmp, "BMP", {"BMP", "DIB"}},
        {ImageFormat::Gif, "GIF", {"GIF"}},
        {ImageFormat::Ico, "ICO", {"ICO"}},
        {ImageFormat::Tga, "TGA", {"TGA"}},
        {ImageFormat::Pcx, "PCX", {"PCX"}},
        {ImageFormat::Wbmp, "WBMP", {"WBMP"}},
        {ImageFormat::Wmf, "WMF", {"WMF"}},
        {ImageFormat::Jp2, "JP2", {"JP2", "JPX"}},
        {ImageFormat::Jpc, "JPEG 2000码流", {"J2K", "JPC", "J2C"}},
        {ImageFormat::Pgx, "PGX", {"PGX"}},
        {ImageFormat::Pnm, "PNM", {"PNM", "PBM", "PGM", "PPM"}},
        {ImageFormat::Ras, "Sun Raster", {"RAS", "SUN"}},
    };
    return formats;
}

const FormatNames* NamesOf(ImageFormat format) {
    for (const FormatNames& names : KnownFormats()) {
        if (names.format == format) return &names;
    }
    return nullptr;
}

bool IsImageExtension(const Text& format) {
    for (const FormatNames& names : KnownFormats()) {
        if (std::ranges::find(names.extensions, format.bytes()) != names.extensions.end()) return true;
    }
    return false;
}

bool ExtensionNames(const FormatNames& names, const Text& format) {
    return std::ranges::find(names.extensions, format.bytes()) != names.extensions.end();
}

// A whole number at the start of a cell ("300", "75%"); nullopt when there is none.
std::optional<std::int64_t> LeadingNumber(const Text& cell) {
    const std::string& bytes = cell.bytes();
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), number);
    if (error != std::errc() || end == bytes.data()) return std::nullopt;
    return number;
}

std::uint64_t PageValue(const Text& digits) {
    std::uint64_t value = 0;
    const std::string& bytes = digits.bytes();
    const auto [end, error] = std::from_chars(bytes.data(), bytes.data() + bytes.size(), value);
    return error == std::errc() ? value : std::numeric_limits<std::uint64_t>::max();
}

// The page number written as wide as the archive's pages are.
std::string PageText(std::uint64_t value, std::size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
    return digits;
}

std::string JoinTexts(const std::vector<Text>& items) {
    std::string joined;
    for (const Text& item : items) {
        if (!joined.empty()) joined += "、";
        joined += TextToUtf8(item);
    }
    return joined;
}

Text U(const std::string& utf8) { return TextFromUtf8(utf8); }

// The key an archive number is compared by: its text without surrounding spaces.
std::string ArchiveKey(const Text& archiveNumber) { return std::string(TrimSpaces(TextToUtf8(archiveNumber))); }

// The folder part of a relative path, with its "/"; empty at the top.
Text FolderPart(const Text& relativePath) {
    return Text(std::string(FolderPrefixOf(relativePath.bytes())));
}

// The most common value, ties going to the one seen first; counts keyed by
// value, order the values in the order first seen.
template <typename Value>
Value MostCommon(const std::map<Value, std::int64_t>& counts, const std::vector<Value>& order) {
    Value best = order.front();
    for (const Value& value : order) {
        if (counts.at(value) > counts.at(best)) best = value;
    }
    return best;
}

}  // namespace

const char* CheckItemName(CheckItem item) {
    switch (item) {
        case CheckItem::Resolution: return "分辨率";
        case CheckItem::ColourMode: return "色彩模式";
        case CheckItem::Format: return "格式";
        case CheckItem::ExtensionContent: return "扩展名与内容";
        case CheckItem::JpegQuality: return "JPEG质量";
        case CheckItem::EmptyFile: return "空文件";
        case CheckItem::Unrecognised: return "无法识别";
        case CheckItem::NotImage: return "非图像文件";
        case CheckItem::OneFormat: return "格式一致";
        case CheckItem::Naming: return "命名";
        case CheckItem::MissingPage: return "缺页";
        case CheckItem::RepeatedPageNumber: return "页号重复";
        case CheckItem::PageNumberWidth: return "页号位数";
        case CheckItem::RepeatedPage: return "重复页面";
        case CheckItem::CataloguePages: return "目录页数";
        case CheckItem::CatalogueWithoutImages: return "目录无图像";
        case CheckItem::ImagesWithoutCatalogue: return "图像无目录";
        case CheckItem::Digest: return "摘要";
    }
    return "";
}

AcceptanceCheck::AcceptanceCheck(AcceptanceRules rules, const Text& folder) : rules_(std::move(rules)) {
    if (rules_.lowestResolution)
        requirements_.resolution = U("不低于" + std::to_string(*rules_.lowestResolution) + "DPI");
    if (rules_.colourModes) requirements_.colourModes = U(JoinTexts(*rules_.colourModes));
    if (rules_.formats) requirements_.formats = U(JoinTexts(*rules_.formats));
    if (rules_.lowestJpegQuality)
        requirements_.jpegQuality = U("不低于" + std::to_string(*rules_.lowestJpegQuality) + "%");
    keepRecords_ = rules_.oneFormat || rules_.pageSequence || rules_.repeatedPages || rules_.catalogue.has_value() ||
                   rules_.digests;
    folderPrefix_ = folder.bytes();
    if (folderPrefix_.empty() || folderPrefix_.back() != '/') folderPrefix_ += '/';
}

Text AcceptanceCheck::RelativePath(const Text& path) const {
    const std::string& bytes = path.bytes();
    if (bytes.starts_with(folderPrefix_)) return Text(bytes.substr(folderPrefix_.size()));
    return path;
}

const Text& AcceptanceCheck::P(const std::string& utf8) {
    auto at = phrases_.find(utf8);
    if (at == phrases_.end()) at = phrases_.emplace(utf8, TextFromUtf8(utf8)).first;
    return at->second;
}

void AcceptanceCheck::Add(const CheckedRecord& record, CheckItem item, Text requirement, Text actual) {
    ++counts_[static_cast<std::size_t>(item)];
    findings_.push_back(
        {record.archiveNumber, FileNameOf(record), record.relativePath, item, std::move(requirement), std::move(actual)});
}

void AcceptanceCheck::AddForArchive(const Text& archiveNumber, const Text& relativeFolder, CheckItem item,
                                    Text requirement, Text actual) {
    ++counts_[static_cast<std::size_t>(item)];
    findings_.push_back({archiveNumber, Text(), relativeFolder, item, std::move(requirement), std::move(actual)});
}

void AcceptanceCheck::Reserve(std::size_t files) {
    if (keepRecords_) records_.reserve(files);
    if (keepRecords_ && rules_.NeedsDigests()) digests_.reserve(files);
}

const FileDigests* AcceptanceCheck::DigestsOf(const CheckedRecord& record) const {
    return record.digestIndex < 0 ? nullptr : &digests_[static_cast<std::size_t>(record.digestIndex)];
}

Text AcceptanceCheck::FileNameOf(const CheckedRecord& record) {
    return Text(std::string(quillmere::FileNameOf(record.relativePath.bytes())));
}

void AcceptanceCheck::AddFile(std::span<const Text> row, const Text& path, const CheckedFile& file) {
    CheckedRecord record;
    PageName name = PageNameOf(row[kStem], Text());
    // Only a stem that is its page number alone needs its folder's name.
    record.archiveNumber = name.archiveNumber.empty() ? FolderNameOf(path) : std::move(name.archiveNumber);
    record.pageDigits = std::move(name.pageDigits);
    record.relativePath = RelativePath(path);
    record.format = row[kFormat];
    record.size = LeadingNumber(row[kSize]).value_or(-1);
    record.image = file.decoded || IsImageExtension(record.format);
    if (file.digest != nullptr && file.digest->digests && keepRecords_) {
        record.digestIndex = static_cast<std::int32_t>(digests_.size());
        digests_.push_back(*file.digest->digests);
    }
    CheckFileRules(row, record, file);
    ++filesChecked_;
    if (keepRecords_) records_.push_back(std::move(record));
}

void AcceptanceCheck::CheckFileRules(std::span<const Text> row, const CheckedRecord& record, const CheckedFile& file) {
    // The image values of a file no decoder accepted are defaults, not the
    // file's: such a file is judged by the file rules alone.
    if (file.decoded && rules_.lowestResolution) {
        const auto resolution = LeadingNumber(row[kResolution]);
        if (!resolution || *resolution < *rules_.lowestResolution) {
            Add(record, CheckItem::Resolution, requirements_.resolution, row[kResolution] + Text("DPI"));
        }
    }
    if (file.decoded && rules_.colourModes &&
        std::ranges::find(*rules_.colourModes, row[kColour]) == rules_.colourModes->end()) {
        Add(record, CheckItem::ColourMode, requirements_.colourModes, row[kColour]);
    }
    if (rules_.formats && std::ranges::find(*rules_.formats, record.format) == rules_.formats->end()) {
        Add(record, CheckItem::Format, requirements_.formats,
            record.format.empty() ? P("（无扩展名）") : record.format);
    }
    if (file.decoded && rules_.lowestJpegQuality && file.format == ImageFormat::Jpg) {
        const auto quality = LeadingNumber(row[kQuality]);
        if (!quality || *quality < *rules_.lowestJpegQuality) {
            Add(record, CheckItem::JpegQuality, requirements_.jpegQuality, row[kQuality]);
        }
    }
    if (rules_.checkFiles) {
        if (record.size == 0) {
            Add(record, CheckItem::EmptyFile, P("文件不为空"), P("0字节"));
        } else if (!file.decoded && IsImageExtension(record.format)) {
            Add(record, CheckItem::Unrecognised, P("能识别为图像"),
                file.notReadReason.empty() ? P("无法解码") : P("无法解码：") + file.notReadReason);
        } else if (!file.decoded) {
            Add(record, CheckItem::NotImage, P("只含图像文件"),
                record.format.empty() ? P("无扩展名的文件") : record.format + P("文件"));
        } else if (const FormatNames* names = NamesOf(file.format); names && !ExtensionNames(*names, record.format)) {
            Add(record, CheckItem::ExtensionContent, P("内容与扩展名相符"),
                P("扩展名为") + (record.format.empty() ? P("空") : record.format) +
                    P(std::string("，内容为") + names->name + "图像"));
        }
    }
    if (file.digest != nullptr && !file.digest->digests) {
        Add(record, CheckItem::Digest, P("能完整读取并计算摘要"), P(file.digest->failure));
    }
}

void AcceptanceCheck::Finish() {
    if (rules_.oneFormat) CheckOneFormat();
    if (rules_.pageSequence) CheckPageSequences();
    if (rules_.repeatedPages) CheckRepeatedPages();
    if (rules_.catalogue) CheckCatalogue();
}

void AcceptanceCheck::CheckOneFormat() {
    std::map<Text, std::int64_t> counts;
    std::vector<Text> order;
    for (const CheckedRecord& record : records_) {
        if (!record.image) continue;
        if (counts[record.format]++ == 0) order.push_back(record.format);
    }
    if (order.size() < 2) return;
    const Text batchFormat = MostCommon(counts, order);
    const Text requirement = P("与本批主要格式") + batchFormat + P("一致");
    for (const CheckedRecord& record : records_) {
        if (record.image && record.format != batchFormat) {
            Add(record, CheckItem::OneFormat, requirement, record.format.empty() ? P("（无扩展名）") : record.format);
        }
    }
}

void AcceptanceCheck::CheckPageSequences() {
    struct Archive {
        Text number;
        std::vector<const CheckedRecord*> pages;
    };
    std::vector<Archive> archives;
    std::map<std::string, std::size_t> indexOf;
    const std::string first = std::to_string(rules_.firstPage);
    for (const CheckedRecord& record : records_) {
        if (!record.image) continue;
        if (!record.pageDigits) {
            Add(record, CheckItem::Naming, P("档号加页号（页号为数字，从" + first + "起）"), P("文件名不以页号结尾"));
            continue;
        }
        const auto [at, added] = indexOf.emplace(ArchiveKey(record.archiveNumber), archives.size());
        if (added) archives.push_back({record.archiveNumber, {}});
        archives[at->second].pages.push_back(&record);
    }

    for (const Archive& archive : archives) {
        std::map<std::size_t, std::int64_t> widthCounts;
        std::vector<std::size_t> widthOrder;
        for (const CheckedRecord* page : archive.pages) {
            if (widthCounts[page->pageDigits->size()]++ == 0) widthOrder.push_back(page->pageDigits->size());
        }
        const std::size_t width = MostCommon(widthCounts, widthOrder);
        const std::string widthText = std::to_string(width);

        std::map<std::uint64_t, const CheckedRecord*> byValue;
        for (const CheckedRecord* page : archive.pages) {
            const std::string digits = page->pageDigits->bytes();
            if (digits.size() != width) {
                Add(*page, CheckItem::PageNumberWidth, P("页号" + widthText + "位"),
                    Text(std::to_string(digits.size())) + P("位（") + Text(digits) + P("）"));
            }
            const std::uint64_t value = PageValue(*page->pageDigits);
            if (value < static_cast<std::uint64_t>(rules_.firstPage)) {
                Add(*page, CheckItem::Naming, P("页号从" + first + "起"), P("页号") + Text(digits));
                continue;
            }
            const auto [at, added] = byValue.emplace(value, page);
            if (!added) {
                Add(*page, CheckItem::RepeatedPageNumber, P("页号只出现一次"),
                    P("页号") + Text(digits) + P("与") + at->second->relativePath + P("相同"));
            }
        }
        if (byValue.empty()) continue;

        // Every number from the first page to the highest present, each run of absent ones told once when long.
        const Text folder = FolderPart(archive.pages.front()->relativePath);
        const std::uint64_t last = byValue.rbegin()->first;
        const Text requirement = P("页号") + Text(PageText(static_cast<std::uint64_t>(rules_.firstPage), width)) +
                                 P("至") + Text(PageText(last, width)) + P("连续");
        std::uint64_t expected = static_cast<std::uint64_t>(rules_.firstPage);
        for (const auto& [value, page] : byValue) {
            if (value > expected) {
                const std::uint64_t gap = value - expected;
                if (gap > kLongestGapListed) {
                    AddForArchive(archive.number, folder, CheckItem::MissingPage, requirement,
                                  P("缺第") + Text(PageText(expected, width)) + P("至") +
                                      Text(PageText(value - 1, width)) + P("页（共") + Text(std::to_string(gap)) +
                                      P("页）"));
                } else {
                    for (std::uint64_t missing = expected; missing < value; ++missing) {
                        AddForArchive(archive.number, folder, CheckItem::MissingPage, requirement,
                                      P("缺第") + Text(PageText(missing, width)) + P("页"));
                    }
                }
            }
            if (value == std::numeric_limits<std::uint64_t>::max()) break;
            expected = value + 1;
        }
    }
}

void AcceptanceCheck::CheckRepeatedPages() {
    struct Seen {
        const CheckedRecord* first = nullptr;                    // the group's first file
        std::map<std::string, const CheckedRecord*> perArchive;  // its first file in each archive number
    };
    std::map<std::pair<std::int64_t, std::array<std::uint8_t, 32>>, Seen> groups;
    for (const CheckedRecord& record : records_) {
        // Empty files are all alike; they are told as empty files.
        const FileDigests* digests = DigestsOf(record);
        if (digests == nullptr || record.size <= 0) continue;
        Seen& seen = groups[{record.size, digests->sha256}];
        const std::string archive = ArchiveKey(record.archiveNumber);
        if (seen.first == nullptr) {
            seen.first = &record;
            seen.perArchive.emplace(archive, &record);
            continue;
        }
        const auto [at, added] = seen.perArchive.emplace(archive, &record);
        if (!added) {
            Add(record, CheckItem::RepeatedPage, P("同一档号内无重复页面"),
                P("与") + at->second->relativePath + P("内容相同"));
        } else {
            Add(record, CheckItem::RepeatedPage, P("不同档号间无重复页面"),
                P("与") + seen.first->relativePath + P("内容相同（档号") + seen.first->archiveNumber + P("）"));
        }
    }
}

void AcceptanceCheck::CheckCatalogue() {
    struct Images {
        Text number;
        Text folder;
        std::int64_t count = 0;
    };
    std::vector<Images> archives;
    std::map<std::string, std::size_t> indexOf;
    for (const CheckedRecord& record : records_) {
        if (!record.image) continue;
        const auto [at, added] = indexOf.emplace(ArchiveKey(record.archiveNumber), archives.size());
        if (added) archives.push_back({record.archiveNumber, FolderPart(record.relativePath), 0});
        ++archives[at->second].count;
    }

    std::map<std::string, bool> catalogued;
    for (const CatalogueEntry& entry : rules_.catalogue->entries) {
        const std::string key = ArchiveKey(entry.archiveNumber);
        catalogued[key] = true;
        const std::string requirement =
            "页数" + std::to_string(entry.pages) + "（目录第" + std::to_string(entry.line) + "行）";
        const auto at = indexOf.find(key);
        if (at == indexOf.end()) {
            AddForArchive(entry.archiveNumber, Text(), CheckItem::CatalogueWithoutImages, U(requirement),
                          U("没有图像文件"));
            continue;
        }
        const Images& images = archives[at->second];
        if (images.count != entry.pages) {
            AddForArchive(entry.archiveNumber, images.folder, CheckItem::CataloguePages, U(requirement),
                          U(std::to_string(images.count) + "个图像文件"));
        }
    }
    for (const Images& images : archives) {
        if (catalogued.contains(ArchiveKey(images.number))) continue;
        AddForArchive(images.number, images.folder, CheckItem::ImagesWithoutCatalogue, U("档号列在目录中"),
                      U(std::to_string(images.count) + "个图像文件，目录中没有此档号"));
    }
}

std::vector<RuleSummary> AcceptanceCheck::Summary() const {
    std::vector<RuleSummary> summary;
    const auto add = [this, &summary](CheckItem item, std::string requirement) {
        summary.push_back({item, U(requirement), counts_[static_cast<std::size_t>(item)]});
    };
    if (rules_.lowestResolution)
        add(CheckItem::Resolution, "不低于" + std::to_string(*rules_.lowestResolution) + "DPI");
    if (rules_.colourModes) add(CheckItem::ColourMode, JoinTexts(*rules_.colourModes));
    if (rules_.formats) add(CheckItem::Format, JoinTexts(*rules_.formats));
    if (rules_.lowestJpegQuality) {
        add(CheckItem::JpegQuality, "JPEG文件不低于" + std::to_string(*rules_.lowestJpegQuality) + "%");
    }
    if (rules_.checkFiles) {
        add(CheckItem::EmptyFile, "文件不为空");
        add(CheckItem::Unrecognised, "图像文件能被识别");
        add(CheckItem::NotImage, "只含图像文件");
        add(CheckItem::ExtensionContent, "内容与扩展名相符");
    }
    if (rules_.oneFormat) add(CheckItem::OneFormat, "全批一种格式");
    if (rules_.pageSequence) {
        const std::string first = std::to_string(rules_.firstPage);
        add(CheckItem::Naming, "档号加页号，页号从" + first + "起");
        add(CheckItem::MissingPage, "每个档号页号从" + first + "起连续");
        add(CheckItem::RepeatedPageNumber, "每个页号只出现一次");
        add(CheckItem::PageNumberWidth, "同一档号页号位数相同");
    }
    if (rules_.repeatedPages) add(CheckItem::RepeatedPage, "没有内容相同的文件（SHA-256）");
    if (rules_.catalogue) {
        add(CheckItem::CataloguePages, "图像数等于目录页数");
        add(CheckItem::CatalogueWithoutImages, "目录中的档号都有图像");
        add(CheckItem::ImagesWithoutCatalogue, "图像的档号都在目录中");
    }
    if (rules_.NeedsDigests()) add(CheckItem::Digest, "每个文件能完整读取并计算SM3和SHA-256摘要");
    return summary;
}

}  // namespace quillmere::workflow
