#include "workflow/catalogue.h"

#include <charconv>
#include <map>

#include "runtime/text_encoding.h"

namespace quillmere::workflow {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        if (b0 < 0x80)
            length = 1;
        else if (b0 >= 0xC2 && b0 <= 0xDF)
            length = 2;
        else if (b0 >= 0xE0 && b0 <= 0xEF)
            length = 3;
        else if (b0 >= 0xF0 && b0 <= 0xF4)
            length = 4;
        else
            return false;
        if (i + length > bytes.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

// The file's text as UTF-8: a byte-order mark or valid UTF-8 throughout
// says UTF-8; anything else is read as GB18030, which WPS and Excel write
// on Chinese systems.
std::optional<std::string> CatalogueUtf8(std::string_view bytes, Message& failure) {
    if (bytes.starts_with(kUtf8Bom)) {
        bytes.remove_prefix(kUtf8Bom.size());
        if (!IsValidUtf8(bytes)) {
            failure = Message(MessagePattern("目录文件以UTF-8标记开头，但内容不是有效的UTF-8"), {});
            return std::nullopt;
        }
        return std::string(bytes);
    }
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        failure = Message(MessagePattern("目录文件是UTF-16编码，请另存为“CSV（逗号分隔）”或“CSV UTF-8”"), {});
        return std::nullopt;
    }
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return TextToUtf8(Text(std::string(bytes)));
}

// One CSV record per call: fields split at commas, quoted fields may hold
// commas, doubled quotes and line breaks. Lines end in LF or CRLF.
class CsvReader {
public:
    explicit CsvReader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return position_ >= text_.size(); }
    int line() const { return line_; }

    // The next record; recordLine is the line it starts on.
    std::vector<std::string> Next(int& recordLine) {
        recordLine = line_;
        std::vector<std::string> fields(1);
        bool quoted = false;
        while (position_ < text_.size()) {
            const char c = text_[position_++];
            if (quoted) {
                if (c == '"') {
                    if (position_ < text_.size() && text_[position_] == '"') {
                        fields.back() += '"';
                        ++position_;
                    } else {
                        quoted = false;
                    }
                } else {
                    if (c == '\n') ++line_;
                    fields.back() += c;
                }
                continue;
            }
            if (c == '"') {
                quoted = true;
            } else if (c == ',') {
                fields.emplace_back();
            } else if (c == '\n') {
                ++line_;
                break;
            } else if (c == '\r' && position_ < text_.size() && text_[position_] == '\n') {
                continue;
            } else {
                fields.back() += c;
            }
        }
        return fields;
    }

private:
    std::string_view text_;
    std::size_t position_ = 0;
    int line_ = 1;
};

std::optional<std::size_t> ColumnIndex(const std::vector<std::string>& titles, const std::string& wanted) {
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (TrimSpaces(titles[i]) == wanted) return i;
    }
    return std::nullopt;
}


}  // namespace

std::string_view TrimSpaces(std::string_view text) {
    for (;;) {
        if (!text.empty() &&
            (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n')) {
            text.remove_prefix(1);
        } else if (text.starts_with(kIdeographicSpace)) {
            text.remove_prefix(kIdeographicSpace.size());
        } else {
            break;
        }
    }
    for (;;) {
        if (!text.empty() &&
            (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
            text.remove_suffix(1);
        } else if (text.ends_with(kIdeographicSpace)) {
            text.remove_suffix(kIdeographicSpace.size());
        } else {
            break;
        }
    }
    return text;
}

CatalogueReading ParseCatalogue(std::string_view bytes, const Text& archiveColumn, const Text& pagesColumn) {
    CatalogueReading reading;
    const std::optional<std::string> text = CatalogueUtf8(bytes, reading.failure);
    if (!text) return reading;

    CsvReader reader(*text);
    int line = 0;
    const std::vector<std::string> titles = reader.Next(line);
    const std::string archiveTitle = TextToUtf8(archiveColumn);
    const std::string pagesTitle = TextToUtf8(pagesColumn);
    const auto archiveIndex = ColumnIndex(titles, archiveTitle);
    const auto pagesIndex = ColumnIndex(titles, pagesTitle);
    if (!archiveIndex || !pagesIndex) {
        reading.failure = Message(MessagePattern("目录文件第1行没有“%s”列"), {archiveIndex ? pagesTitle : archiveTitle});
        return reading;
    }

    Catalogue catalogue;
    std::map<std::string, int> lineOf;  // archive number to its line
    while (!reader.AtEnd()) {
        const std::vector<std::string> fields = reader.Next(line);
        const std::string_view archive =
            *archiveIndex < fields.size() ? TrimSpaces(fields[*archiveIndex]) : std::string_view();
        if (archive.empty()) continue;
        const std::string_view pages =
            *pagesIndex < fields.size() ? TrimSpaces(fields[*pagesIndex]) : std::string_view();
        std::int64_t count = -1;
        const auto [end, error] = std::from_chars(pages.data(), pages.data() + pages.size(), count);
        if (pages.empty() || error != std::errc() || end != pages.data() + pages.size() || count < 0) {
            reading.failure = Message(MessagePattern("目录文件第%s行：“%s”不是页数：“%s”"),
                                      {std::to_string(line), pagesTitle, std::string(pages)});
            return reading;
        }
        const auto [at, added] = lineOf.emplace(std::string(archive), line);
        if (!added) {
            reading.failure = Message(MessagePattern("目录文件第%s行：档号“%s”重复（第%s行已有）"),
                                      {std::to_string(line), std::string(archive), std::to_string(at->second)});
            return reading;
        }
        catalogue.entries.push_back({TextFromUtf8(archive), count, line});
    }
    reading.catalogue = std::move(catalogue);
    return reading;
}

}  // namespace quillmere::workflow
