#include "workflow/acceptance_rules.h"

#include <ini.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <set>

#include "runtime/path_parts.h"
#include "runtime/text_encoding.h"

namespace quillmere::workflow {

namespace {

// Rules files are a few lines; anything much larger is not one.
constexpr std::int64_t kLargestRulesFile = 1 << 20;
constexpr std::int64_t kLargestCatalogue = 256 << 20;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

std::optional<bool> ParseSwitch(std::string_view value) {
    const std::string lower = Lower(value);
    if (lower == "是" || lower == "yes" || lower == "1" || lower == "true") return true;
    if (lower == "否" || lower == "no" || lower == "0" || lower == "false") return false;
    return std::nullopt;
}

std::optional<std::int64_t> ParseWhole(std::string_view value, std::int64_t lowest, std::int64_t highest) {
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size()) return std::nullopt;
    if (number < lowest || number > highest) return std::nullopt;
    return number;
}

// Items separated by ASCII or Chinese commas (，、), spaces around them dropped.
std::vector<std::string> SplitList(std::string_view value) {
    std::string text(value);
    for (const std::string_view wide : {std::string_view("，"), std::string_view("、")}) {
        for (std::size_t at = text.find(wide); at != std::string::npos; at = text.find(wide, at)) {
            text.replace(at, wide.size(), ",");
        }
    }
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const std::string_view item = TrimSpaces(std::string_view(text).substr(start, comma - start));
        if (!item.empty()) items.emplace_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

// 真彩色, or a colour count followed by 色, as column M shows it.
bool IsColourModeText(const std::string& mode) {
    if (mode == "真彩色") return true;
    constexpr std::string_view kSuffix = "色";
    if (!std::string_view(mode).ends_with(kSuffix)) return false;
    const std::string_view count = std::string_view(mode).substr(0, mode.size() - kSuffix.size());
    return ParseWhole(count, 1, 4294967295LL).has_value();
}

// What inih hands over, plus where the reading stands.
struct ParseState {
    std::string_view text;
    std::size_t position = 0;
    int line = 0;  // the line last handed to inih
    std::optional<RulesFailure> failure;
    std::set<std::string> seenKeys;
    AcceptanceRules rules;

    void Fail(Message reason) {
        if (!failure) failure = RulesFailure(line, std::move(reason));
    }
};

// inih's reader: one line at a time, so the handler knows the line it is
// called for. Leading blanks go, which keeps inih from reading an indented
// line as the continuation of the one before; a line too long for inih's
// buffer is refused rather than cut.
char* ReadLine(char* buffer, int capacity, void* stream) {
    auto& state = *static_cast<ParseState*>(stream);
    if (state.position >= state.text.size()) return nullptr;
    std::size_t end = state.text.find('\n', state.position);
    if (end == std::string::npos) end = state.text.size();
    std::string_view line = state.text.substr(state.position, end - state.position);
    state.position = end + 1;
    ++state.line;
    if (state.line == 1 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    const auto room = static_cast<std::size_t>(capacity) - 2;  // the line break and the terminator
    if (line.size() > room) {
        state.Fail(Message(MessagePattern("这一行太长"), {}));
        line.remove_suffix(line.size());
    }
    if (!line.empty()) std::memcpy(buffer, line.data(), line.size());
    buffer[line.size()] = '\n';
    buffer[line.size() + 1] = '\0';
    return buffer;
}

bool TakeValue(ParseState& state, const std::string& key, std::string_view value) {
    AcceptanceRules& rules = state.rules;
    // pattern: "“%s”的值“%s”无效，应为…", taking the key and the value.
    const auto badValue = [&state, &key, value](const char* pattern) {
        state.Fail(Message(pattern, {key, std::string(value)}));
        return false;
    };
    const auto setSwitch = [&](bool& rule) {
        const auto on = ParseSwitch(value);
        if (!on) return badValue(MessagePattern("“%s”的值“%s”无效，应为是或否"));
        rule = *on;
        return true;
    };

    if (key == "最低分辨率") {
        rules.lowestResolution = ParseWhole(value, 1, 1000000);
        return rules.lowestResolution ? true : badValue(MessagePattern("“%s”的值“%s”无效，应为正整数（DPI）"));
    }
    if (key == "最低JPEG质量") {
        const auto quality = ParseWhole(value, 1, 100);
        if (!quality) return badValue(MessagePattern("“%s”的值“%s”无效，应为1到100的整数"));
        rules.lowestJpegQuality = static_cast<int>(*quality);
        return true;
    }
    if (key == "起始页号") {
        const auto first = ParseWhole(value, 0, 1);
        if (!first) return badValue(MessagePattern("“%s”的值“%s”无效，应为0或1"));
        rules.firstPage = static_cast<int>(*first);
        return true;
    }
    if (key == "色彩模式") {
        std::vector<Text> modes;
        for (const std::string& mode : SplitList(value)) {
            if (!IsColourModeText(mode)) return badValue(MessagePattern("“%s”的值“%s”无效，应为真彩色或“数字+色”（如256色），以逗号分隔"));
            modes.push_back(TextFromUtf8(mode));
        }
        if (modes.empty()) return badValue(MessagePattern("“%s”的值“%s”无效，应为真彩色或“数字+色”（如256色），以逗号分隔"));
        rules.colourModes = std::move(modes);
        return true;
    }
    if (key == "格式") {
        std::vector<Text> formats;
        for (const std::string& format : SplitList(value)) formats.push_back(ToUpper(TextFromUtf8(format)));
        if (formats.empty()) return badValue(MessagePattern("“%s”的值“%s”无效，应为格式名（如JPG, TIF），以逗号分隔"));
        rules.formats = std::move(formats);
        return true;
    }
    if (key == "目录") {
        if (value.empty()) return badValue(MessagePattern("“%s”的值“%s”无效，应为目录文件的路径"));
        rules.cataloguePath = std::string(value);
        rules.catalogueLine = state.line;
        return true;
    }
    if (key == "目录档号列" || key == "目录页数列") {
        if (value.empty()) return badValue(MessagePattern("“%s”的值“%s”无效，应为列标题"));
        (key == "目录档号列" ? rules.catalogueArchiveColumn : rules.cataloguePagesColumn) = TextFromUtf8(value);
        return true;
    }
    if (key == "检查文件") return setSwitch(rules.checkFiles);
    if (key == "格式一致") return setSwitch(rules.oneFormat);
    if (key == "页号") return setSwitch(rules.pageSequence);
    if (key == "重复页面") return setSwitch(rules.repeatedPages);
    if (key == "摘要") return setSwitch(rules.digests);
    state.Fail(Message(MessagePattern("不认识的键“%s”"), {key}));
    return false;
}

int HandlePair(void* user, const char* section, const char* name, const char* value) {
    auto& state = *static_cast<ParseState*>(user);
    if (state.failure) return 0;
    if (std::string_view(section) != kRulesSection) {
        state.Fail(*section == '\0' ? Message(MessagePattern("键“%s”前缺少[验收要求]节"), {name})
                                    : Message(MessagePattern("不认识的节[%s]"), {section}));
        return 0;
    }
    const std::string key(name);
    if (!state.seenKeys.insert(key).second) {
        state.Fail(Message(MessagePattern("键“%s”出现了两次"), {key}));
        return 0;
    }
    return TakeValue(state, key, TrimSpaces(value)) ? 1 : 0;
}

// The whole of a small file through the file system, or why not.
std::optional<std::string> ReadWholeFile(const FileSystem& fs, const std::string& path, std::int64_t largest,
                                         Message& failure) {
    std::string openFailure;
    const auto stream = fs.OpenRegularFile(path, openFailure);
    if (!stream) {
        failure = Message("%s", {openFailure});  // the system's own text
        return std::nullopt;
    }
    if (stream->Size() > largest) {
        failure = Message(MessagePattern("文件太大"), {});
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(stream->Size()), '\0');
    if (stream->Read(bytes.data(), 1, bytes.size()) != bytes.size()) {
        failure = Message(MessagePattern("文件未能完整读取"), {});
        return std::nullopt;
    }
    return bytes;
}

std::string JoinList(const std::vector<Text>& items) {
    std::string joined;
    for (const Text& item : items) {
        if (!joined.empty()) joined += ", ";
        joined += TextToUtf8(item);
    }
    return joined;
}

}  // namespace

AcceptanceRules::AcceptanceRules()
    : catalogueArchiveColumn(TextFromUtf8("档号")), cataloguePagesColumn(TextFromUtf8("页数")) {}

RulesReading ParseAcceptanceRules(std::string_view text) {
    ParseState state;
    state.text = text;
    const int firstError = ini_parse_stream(ReadLine, &state, HandlePair, &state);
    RulesReading reading;
    if (state.failure) {
        reading.failure = *state.failure;
    } else if (firstError != 0) {
        // inih found a line that is neither a section, a key = value nor a comment.
        reading.failure = RulesFailure(firstError, Message(MessagePattern("无法识别这一行（应为“键 = 值”、[节] 或注释）"), {}));
    } else {
        reading.rules = std::move(state.rules);
    }
    return reading;
}

RulesReading LoadAcceptanceRules(const FileSystem& fs, const std::string& path) {
    Message failure;
    const std::optional<std::string> text = ReadWholeFile(fs, path, kLargestRulesFile, failure);
    if (!text) return RulesReading{std::nullopt, RulesFailure(0, Message(MessagePattern("无法读取检验要求文件："), {}).Then(failure))};
    return ReadAcceptanceRules(fs, *text, path);
}

RulesReading ReadAcceptanceRules(const FileSystem& fs, std::string_view text, const std::string& path) {
    Message failure;
    RulesReading reading = ParseAcceptanceRules(text);
    if (!reading.rules || reading.rules->cataloguePath.empty()) return reading;

    AcceptanceRules& rules = *reading.rules;
    const std::string cataloguePath =
        rules.cataloguePath.front() == '/' ? rules.cataloguePath : std::string(FolderPrefixOf(path)) + rules.cataloguePath;
    const auto fail = [&reading, &rules](Message reason) {
        reading.failure = RulesFailure(rules.catalogueLine, std::move(reason));
        reading.rules.reset();
        return reading;
    };
    const std::optional<std::string> bytes = ReadWholeFile(fs, cataloguePath, kLargestCatalogue, failure);
    if (!bytes) return fail(Message(MessagePattern("无法读取目录文件%s："), {cataloguePath}).Then(failure));
    CatalogueReading catalogue = ParseCatalogue(*bytes, rules.catalogueArchiveColumn, rules.cataloguePagesColumn);
    if (!catalogue.catalogue) {
        return fail(std::move(catalogue.failure.Then(MessagePattern("（%s）"), {cataloguePath})));
    }
    rules.catalogue = std::move(catalogue.catalogue);
    return reading;
}

RulesFailure::RulesFailure(int line, Message message)
    : line(line), reason(message.Filled()), message(std::move(message)) {}

std::string DescribeRulesFailure(const std::string& path, const RulesFailure& failure) {
    std::string text = "检验要求文件" + path;
    if (failure.line > 0) text += "第" + std::to_string(failure.line) + "行";
    return text + "：" + failure.reason;
}

std::string FormatAcceptanceRules(const AcceptanceRules& rules) {
    std::string text = "[" + std::string(kRulesSection) + "]\n";
    const auto line = [&text](const char* key, const std::string& value) {
        text += key;
        text += " = " + value + "\n";
    };
    if (rules.lowestResolution) line("最低分辨率", std::to_string(*rules.lowestResolution));
    if (rules.colourModes) line("色彩模式", JoinList(*rules.colourModes));
    if (rules.formats) line("格式", JoinList(*rules.formats));
    if (rules.lowestJpegQuality) line("最低JPEG质量", std::to_string(*rules.lowestJpegQuality));
    if (rules.checkFiles) line("检查文件", "是");
    if (rules.oneFormat) line("格式一致", "是");
    if (rules.pageSequence) line("页号", "是");
    if (rules.pageSequence && rules.firstPage != 1) line("起始页号", std::to_string(rules.firstPage));
    if (rules.repeatedPages) line("重复页面", "是");
    if (!rules.cataloguePath.empty()) {
        line("目录", rules.cataloguePath);
        line("目录档号列", TextToUtf8(rules.catalogueArchiveColumn));
        line("目录页数列", TextToUtf8(rules.cataloguePagesColumn));
    }
    if (rules.digests) line("摘要", "是");
    return text;
}

}  // namespace quillmere::workflow
