#include "workflow/acceptance_check.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <span>
#include <unordered_map>
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

std::uint64_t PageValue(std::string_view digits) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
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

// The most common of values counted in the order first seen (counts[i] for
// order[i]), ties going to the one seen first.
template <typename Value>
Value MostCommon(const std::vector<Value>& order, const std::vector<std::int64_t>& counts) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (counts[i] > counts[best]) best = i;
    }
    return order[best];
}

// Records grouped by a key, each group's members in entry order and the
// groups in the order their first member came; built by counting, with no
// container per group.
struct Grouped {
    std::vector<std::uint32_t> keys;     // each group's key
    std::vector<std::uint32_t> starts;   // group g's members are members[starts[g] .. starts[g + 1])
    std::vector<std::uint32_t> members;  // record indexes
    std::size_t size() const { return keys.size(); }
    std::span<const std::uint32_t> operator[](std::size_t group) const {
        return std::span(members).subspan(starts[group], starts[group + 1] - starts[group]);
    }
};

// keyOf(i) gives record i's key below keyCount, or nullopt to leave it out.
template <typename KeyOf>
Grouped GroupRecords(std::size_t records, std::size_t keyCount, KeyOf keyOf) {
    constexpr std::uint32_t kNone = UINT32_MAX;
    Grouped grouped;
    std::vector<std::uint32_t> groupOfKey(keyCount, kNone);
    std::vector<std::uint32_t> counts;
    std::vector<std::uint32_t> groupOfRecord(records, kNone);
    for (std::size_t i = 0; i < records; ++i) {
        const std::optional<std::uint32_t> key = keyOf(i);
        if (!key) continue;
        if (groupOfKey[*key] == kNone) {
            groupOfKey[*key] = static_cast<std::uint32_t>(grouped.keys.size());
            grouped.keys.push_back(*key);
            counts.push_back(0);
        }
        groupOfRecord[i] = groupOfKey[*key];
        ++counts[groupOfKey[*key]];
    }
    grouped.starts.assign(counts.size() + 1, 0);
    for (std::size_t g = 0; g < counts.size(); ++g) grouped.starts[g + 1] = grouped.starts[g] + counts[g];
    grouped.members.resize(grouped.starts.back());
    std::vector<std::uint32_t> next(grouped.starts.begin(), grouped.starts.end() - 1);
    for (std::size_t i = 0; i < records; ++i) {
        if (groupOfRecord[i] != kNone) grouped.members[next[groupOfRecord[i]]++] = static_cast<std::uint32_t>(i);
    }
    return grouped;
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

std::string_view AcceptanceCheck::Keep(std::string_view bytes) {
    if (bytes.empty()) return {};
    char* kept = static_cast<char*>(store_.allocate(bytes.size(), 1));
    std::copy(bytes.begin(), bytes.end(), kept);
    return {kept, bytes.size()};
}

std::string_view AcceptanceCheck::Keep(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (const std::string_view part : parts) size += part.size();
    if (size == 0) return {};
    char* kept = static_cast<char*>(store_.allocate(size, 1));
    char* at = kept;
    for (const std::string_view part : parts) at = std::copy(part.begin(), part.end(), at);
    return {kept, size};
}

std::string_view AcceptanceCheck::P(std::string_view utf8) {
    auto at = phrases_.find(utf8);
    if (at == phrases_.end()) at = phrases_.emplace(std::string(utf8), TextFromUtf8(std::string(utf8))).first;
    return at->second.bytes();
}

std::uint32_t AcceptanceCheck::ArchiveIndex(const Text& archiveNumber) {
    // A batch's files come archive by archive: most files repeat the last one's number.
    if (lastArchive_ != UINT32_MAX && archiveNumbers_[lastArchive_] == archiveNumber) return lastArchive_;
    auto at = archiveIndex_.find(archiveNumber.bytes());
    if (at == archiveIndex_.end()) {
        const auto index = static_cast<std::uint32_t>(archiveNumbers_.size());
        const auto [group, added] =
            groupIndex_.emplace(ArchiveKey(archiveNumber), static_cast<std::uint32_t>(groupIndex_.size()));
        archiveGroups_.push_back(group->second);
        archiveNumbers_.push_back(archiveNumber);
        at = archiveIndex_.emplace(archiveNumber.bytes(), index).first;
    }
    lastArchive_ = at->second;
    return lastArchive_;
}

std::uint32_t AcceptanceCheck::FormatIndex(const Text& format) {
    for (std::size_t i = 0; i < formats_.size(); ++i) {
        if (formats_[i].text == format) return static_cast<std::uint32_t>(i);
    }
    const bool allowed = rules_.formats && std::ranges::find(*rules_.formats, format) != rules_.formats->end();
    formats_.push_back({format, IsImageExtension(format), allowed});
    return static_cast<std::uint32_t>(formats_.size() - 1);
}

void AcceptanceCheck::Add(std::uint32_t file, CheckItem item, std::string_view requirement, std::string_view actual) {
    ++counts_[static_cast<std::size_t>(item)];
    findings_.push_back(
        {.file = file, .archive = 0, .item = item, .folder = {}, .requirement = requirement, .actual = actual});
}

void AcceptanceCheck::AddForArchive(std::uint32_t archive, std::string_view folder, CheckItem item,
                                    std::string_view requirement, std::string_view actual) {
    ++counts_[static_cast<std::size_t>(item)];
    findings_.push_back({.file = kAboutArchive,
                         .archive = archive,
                         .item = item,
                         .folder = folder,
                         .requirement = requirement,
                         .actual = actual});
}

Finding AcceptanceCheck::FindingAt(std::size_t index) const {
    const KeptFinding& kept = findings_[index];
    if (kept.file == kAboutArchive) {
        return {archiveNumbers_[kept.archive], Text(),           Text(kept.folder), kept.item,
                Text(kept.requirement),        Text(kept.actual)};
    }
    const CheckedRecord& record = records_[kept.file];
    return {ArchiveNumberOf(record), FileNameOf(record), RelativePathOf(record), kept.item,
            Text(kept.requirement),  Text(kept.actual)};
}

void AcceptanceCheck::Reserve(std::size_t files) {
    if (keepRecords_) records_.reserve(files);
    if (keepRecords_ && rules_.NeedsDigests()) digests_.reserve(files);
}

const FileDigests* AcceptanceCheck::DigestsOf(const CheckedRecord& record) const {
    return record.digestIndex < 0 ? nullptr : &digests_[static_cast<std::size_t>(record.digestIndex)];
}

Text AcceptanceCheck::ArchiveNumberOf(const CheckedRecord& record) const { return archiveNumbers_[record.archive]; }

Text AcceptanceCheck::FileNameOf(const CheckedRecord& record) {
    return Text(quillmere::FileNameOf(record.relativePath));
}

void AcceptanceCheck::AddFile(std::span<const Text> row, const Text& path, const CheckedFile& file) {
    const PageName name = PageNameOf(row[kStem], Text());
    const std::string_view relativePath = std::string_view(path.bytes()).starts_with(folderPrefix_)
                                              ? std::string_view(path.bytes()).substr(folderPrefix_.size())
                                              : std::string_view(path.bytes());
    CheckedRecord record;
    // Only a stem that is its page number alone needs its folder's name.
    record.archive = ArchiveIndex(name.archiveNumber.empty() ? FolderNameOf(path) : name.archiveNumber);
    record.format = FormatIndex(row[kFormat]);
    record.size = LeadingNumber(row[kSize]).value_or(-1);
    record.image = file.decoded || FormatOf(record).image;
    record.relativePath = relativePath;
    if (name.pageDigits) record.pageDigits = name.pageDigits->bytes();
    if (file.digest != nullptr && file.digest->digests && keepRecords_) {
        record.digestIndex = static_cast<std::int32_t>(digests_.size());
        digests_.push_back(*file.digest->digests);
    }
    const std::size_t findingsBefore = findings_.size();
    CheckFileRules(row, static_cast<std::uint32_t>(records_.size()), record, file);
    ++filesChecked_;
    if (keepRecords_ || findings_.size() != findingsBefore) {
        // Until now the digits were the row's.
        record.pageDigits = Keep(record.pageDigits);
        records_.push_back(record);
    }
}

void AcceptanceCheck::CheckFileRules(std::span<const Text> row, std::uint32_t index, const CheckedRecord& record,
                                     const CheckedFile& file) {
    const KnownFormat& known = FormatOf(record);
    const Text& format = known.text;
    // The image values of a file no decoder accepted are defaults, not the
    // file's: such a file is judged by the file rules alone.
    if (file.decoded && rules_.lowestResolution) {
        const auto resolution = LeadingNumber(row[kResolution]);
        if (!resolution || *resolution < *rules_.lowestResolution) {
            Add(index, CheckItem::Resolution, requirements_.resolution.bytes(),
                Keep({row[kResolution].bytes(), "DPI"}));
        }
    }
    if (file.decoded && rules_.colourModes &&
        std::ranges::find(*rules_.colourModes, row[kColour]) == rules_.colourModes->end()) {
        Add(index, CheckItem::ColourMode, requirements_.colourModes.bytes(), Keep(row[kColour].bytes()));
    }
    if (rules_.formats && !known.allowed) {
        Add(index, CheckItem::Format, requirements_.formats.bytes(),
            format.empty() ? P("（无扩展名）") : format.bytes());
    }
    if (file.decoded && rules_.lowestJpegQuality && file.format == ImageFormat::Jpg) {
        const auto quality = LeadingNumber(row[kQuality]);
        if (!quality || *quality < *rules_.lowestJpegQuality) {
            Add(index, CheckItem::JpegQuality, requirements_.jpegQuality.bytes(), Keep(row[kQuality].bytes()));
        }
    }
    if (rules_.checkFiles) {
        if (record.size == 0) {
            Add(index, CheckItem::EmptyFile, P("文件不为空"), P("0字节"));
        } else if (!file.decoded && known.image) {
            Add(index, CheckItem::Unrecognised, P("能识别为图像"),
                file.notReadReason.empty() ? P("无法解码") : Keep({P("无法解码："), file.notReadReason.bytes()}));
        } else if (!file.decoded) {
            Add(index, CheckItem::NotImage, P("只含图像文件"),
                format.empty() ? P("无扩展名的文件") : Keep({format.bytes(), P("文件")}));
        } else if (const FormatNames* names = NamesOf(file.format); names && !ExtensionNames(*names, format)) {
            Add(index, CheckItem::ExtensionContent, P("内容与扩展名相符"),
                Keep({P("扩展名为"), format.empty() ? P("空") : format.bytes(),
                      P(std::string("，内容为") + names->name + "图像")}));
        }
    }
    if (file.digest != nullptr && !file.digest->digests) {
        Add(index, CheckItem::Digest, P("能完整读取并计算摘要"), P(file.digest->failure));
    }
}

void AcceptanceCheck::Finish() {
    if (rules_.oneFormat) CheckOneFormat();
    if (rules_.pageSequence) CheckPageSequences();
    if (rules_.repeatedPages) CheckRepeatedPages();
    if (rules_.catalogue) CheckCatalogue();
}

void AcceptanceCheck::CheckOneFormat() {
    std::vector<std::uint32_t> order;  // formats in the order first seen
    std::vector<std::int64_t> counts;
    std::vector<std::uint32_t> slot(formats_.size(), UINT32_MAX);
    for (const CheckedRecord& record : records_) {
        if (!record.image) continue;
        if (slot[record.format] == UINT32_MAX) {
            slot[record.format] = static_cast<std::uint32_t>(order.size());
            order.push_back(record.format);
            counts.push_back(0);
        }
        ++counts[slot[record.format]];
    }
    if (order.size() < 2) return;
    const std::uint32_t batchFormat = MostCommon(order, counts);
    const std::string_view requirement = Keep({P("与本批主要格式"), formats_[batchFormat].text.bytes(), P("一致")});
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const CheckedRecord& record = records_[i];
        if (record.image && record.format != batchFormat) {
            const Text& format = FormatOf(record).text;
            Add(static_cast<std::uint32_t>(i), CheckItem::OneFormat, requirement,
                format.empty() ? P("（无扩展名）") : format.bytes());
        }
    }
}

void AcceptanceCheck::CheckPageSequences() {
    const std::string first = std::to_string(rules_.firstPage);
    const Grouped archives =
        GroupRecords(records_.size(), groupIndex_.size(), [&](std::size_t i) -> std::optional<std::uint32_t> {
            const CheckedRecord& record = records_[i];
            if (!record.image) return std::nullopt;
            if (record.pageDigits.empty()) {
                Add(static_cast<std::uint32_t>(i), CheckItem::Naming, P("档号加页号（页号为数字，从" + first + "起）"),
                    P("文件名不以页号结尾"));
                return std::nullopt;
            }
            return GroupOf(record);
        });

    const auto firstPage = static_cast<std::uint64_t>(rules_.firstPage);
    std::vector<std::pair<std::uint64_t, std::uint32_t>> byValue;  // (page number, record), reused
    for (std::size_t a = 0; a < archives.size(); ++a) {
        const std::span<const std::uint32_t> pages = archives[a];
        std::vector<std::size_t> widthOrder;
        std::vector<std::int64_t> widthCounts;
        for (const std::uint32_t page : pages) {
            const std::size_t width = records_[page].pageDigits.size();
            const auto at = std::ranges::find(widthOrder, width);
            if (at == widthOrder.end()) {
                widthOrder.push_back(width);
                widthCounts.push_back(1);
            } else {
                ++widthCounts[static_cast<std::size_t>(at - widthOrder.begin())];
            }
        }
        const std::size_t width = MostCommon(widthOrder, widthCounts);
        const std::string_view widthRequirement = Keep({P("页号"), std::to_string(width), P("位")});

        // A page number's first file in entry order; any later one repeats it.
        byValue.clear();
        for (const std::uint32_t page : pages) {
            const std::uint64_t value = PageValue(records_[page].pageDigits);
            if (value >= firstPage) byValue.emplace_back(value, page);
        }
        std::ranges::sort(byValue);
        for (const std::uint32_t page : pages) {
            const CheckedRecord& record = records_[page];
            const std::string_view digits = record.pageDigits;
            if (digits.size() != width) {
                Add(page, CheckItem::PageNumberWidth, widthRequirement,
                    Keep({std::to_string(digits.size()), P("位（"), digits, P("）")}));
            }
            const std::uint64_t value = PageValue(digits);
            if (value < firstPage) {
                Add(page, CheckItem::Naming, P("页号从" + first + "起"), Keep({P("页号"), digits}));
                continue;
            }
            const auto firstWithValue =
                std::ranges::lower_bound(byValue, std::pair<std::uint64_t, std::uint32_t>(value, 0));
            if (firstWithValue->second != page) {
                Add(page, CheckItem::RepeatedPageNumber, P("页号只出现一次"),
                    Keep({P("页号"), digits, P("与"), records_[firstWithValue->second].relativePath, P("相同")}));
            }
        }
        if (byValue.empty()) continue;

        // Every number from the first page to the highest present, each run of absent ones told once when long.
        const CheckedRecord& front = records_[pages.front()];
        const std::uint32_t archive = front.archive;
        const std::string_view folder = FolderPrefixOf(front.relativePath);
        const std::uint64_t last = byValue.back().first;
        const std::string_view requirement =
            Keep({P("页号"), PageText(firstPage, width), P("至"), PageText(last, width), P("连续")});
        std::uint64_t expected = firstPage;
        for (const auto& [value, page] : byValue) {
            if (value > expected) {
                const std::uint64_t gap = value - expected;
                if (gap > kLongestGapListed) {
                    AddForArchive(archive, folder, CheckItem::MissingPage, requirement,
                                  Keep({P("缺第"), PageText(expected, width), P("至"), PageText(value - 1, width),
                                        P("页（共"), std::to_string(gap), P("页）")}));
                } else {
                    for (std::uint64_t missing = expected; missing < value; ++missing) {
                        AddForArchive(archive, folder, CheckItem::MissingPage, requirement,
                                      Keep({P("缺第"), PageText(missing, width), P("页")}));
                    }
                }
            }
            if (value == std::numeric_limits<std::uint64_t>::max()) break;
            expected = std::max(expected, value + 1);
        }
    }
}

void AcceptanceCheck::CheckRepeatedPages() {
    struct Seen {
        std::uint32_t first = UINT32_MAX;                             // the group's first file
        std::unordered_map<std::uint32_t, std::uint32_t> perArchive;  // its first file in each archive
    };
    struct ContentHash {
        std::size_t operator()(const std::pair<std::int64_t, std::array<std::uint8_t, 32>>& key) const {
            std::size_t hash = 0;
            std::copy_n(key.second.begin(), sizeof hash, reinterpret_cast<std::uint8_t*>(&hash));
            return hash ^ static_cast<std::size_t>(key.first);
        }
    };
    std::unordered_map<std::pair<std::int64_t, std::array<std::uint8_t, 32>>, Seen, ContentHash> groups;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const CheckedRecord& record = records_[i];
        const auto index = static_cast<std::uint32_t>(i);
        // Empty files are all alike; they are told as empty files.
        const FileDigests* digests = DigestsOf(record);
        if (digests == nullptr || record.size <= 0) continue;
        Seen& seen = groups[{record.size, digests->sha256}];
        if (seen.first == UINT32_MAX) {
            seen.first = index;
            seen.perArchive.emplace(GroupOf(record), index);
            continue;
        }
        const auto [at, added] = seen.perArchive.emplace(GroupOf(record), index);
        if (!added) {
            Add(index, CheckItem::RepeatedPage, P("同一档号内无重复页面"),
                Keep({P("与"), records_[at->second].relativePath, P("内容相同")}));
        } else {
            const CheckedRecord& first = records_[seen.first];
            Add(index, CheckItem::RepeatedPage, P("不同档号间无重复页面"),
                Keep({P("与"), first.relativePath, P("内容相同（档号"), archiveNumbers_[first.archive].bytes(),
                      P("）")}));
        }
    }
}

void AcceptanceCheck::CheckCatalogue() {
    // Image files by archive, each archive shown as its first image file names it.
    const Grouped archives =
        GroupRecords(records_.size(), groupIndex_.size(), [&](std::size_t i) -> std::optional<std::uint32_t> {
            if (!records_[i].image) return std::nullopt;
            return GroupOf(records_[i]);
        });
    std::vector<std::uint32_t> imagesOf(groupIndex_.size(), UINT32_MAX);  // archive group -> its slot in archives
    for (std::size_t a = 0; a < archives.size(); ++a) imagesOf[archives.keys[a]] = static_cast<std::uint32_t>(a);

    std::vector<bool> catalogued(archives.size(), false);
    for (const CatalogueEntry& entry : rules_.catalogue->entries) {
        const std::string_view requirement =
            Keep(U("页数" + std::to_string(entry.pages) + "（目录第" + std::to_string(entry.line) + "行）").bytes());
        const auto group = groupIndex_.find(ArchiveKey(entry.archiveNumber));
        // A number the files never had is given an index of its own below, past imagesOf's end.
        const std::uint32_t slot =
            group == groupIndex_.end() || group->second >= imagesOf.size() ? UINT32_MAX : imagesOf[group->second];
        const std::uint32_t archive = ArchiveIndex(entry.archiveNumber);
        if (slot == UINT32_MAX) {
            AddForArchive(archive, {}, CheckItem::CatalogueWithoutImages, requirement, P("没有图像文件"));
            continue;
        }
        catalogued[slot] = true;
        const std::span<const std::uint32_t> images = archives[slot];
        if (static_cast<std::int64_t>(images.size()) != entry.pages) {
            AddForArchive(archive, FolderPrefixOf(records_[images.front()].relativePath), CheckItem::CataloguePages,
                          requirement, Keep(U(std::to_string(images.size()) + "个图像文件").bytes()));
        }
    }
    for (std::size_t a = 0; a < archives.size(); ++a) {
        if (catalogued[a]) continue;
        const std::span<const std::uint32_t> images = archives[a];
        const CheckedRecord& front = records_[images.front()];
        AddForArchive(front.archive, FolderPrefixOf(front.relativePath), CheckItem::ImagesWithoutCatalogue,
                      P("档号列在目录中"),
                      Keep(U(std::to_string(images.size()) + "个图像文件，目录中没有此档号").bytes()));
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
