#pragma once
// The rules a delivery is judged against, read from a small INI file that
// the window's dialog and the extractor's --rules share:
//
//     [验收要求]
//     最低分辨率 = 300
//     色彩模式 = 真彩色, 256色
//     格式 = JPG, TIF
//     ...
//
// Every rule is off unless its key is given. A file that cannot be read, a
// line that is not understood, a bad value or a catalogue that cannot be
// read is refused with its line number, so nothing runs on rules the
// operator did not mean.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/file_system.h"
#include "runtime/message.h"
#include "runtime/text.h"
#include "workflow/catalogue.h"

namespace quillmere::workflow {

inline constexpr std::string_view kRulesSection = "验收要求";

struct AcceptanceRules {
    std::optional<std::int64_t> lowestResolution;  // 最低分辨率: column L
    std::optional<std::vector<Text>> colourModes;  // 色彩模式: allowed column-M texts
    std::optional<std::vector<Text>> formats;      // 格式: allowed column-H texts, upper case
    std::optional<int> lowestJpegQuality;          // 最低JPEG质量: column N of JPEG files
    bool checkFiles = false;                       // 检查文件
    bool oneFormat = false;                        // 格式一致
    bool pageSequence = false;                     // 页号
    int firstPage = 1;                             // 起始页号: 0 or 1
    bool repeatedPages = false;                    // 重复页面
    std::string cataloguePath;                     // 目录, as written (UTF-8); empty for none
    int catalogueLine = 0;                         // the line that names it
    Text catalogueArchiveColumn;                   // 目录档号列
    Text cataloguePagesColumn;                     // 目录页数列
    std::optional<Catalogue> catalogue;            // read by LoadAcceptanceRules
    bool digests = false;                          // 摘要

    AcceptanceRules();
    // Repeated pages are found by content, so they need the digests too.
    bool NeedsDigests() const { return digests || repeatedPages; }
};

struct RulesFailure {
    RulesFailure() = default;
    RulesFailure(int line, Message message);

    int line = 0;        // 1-based; 0 when the file as a whole is at fault
    std::string reason;  // UTF-8, Chinese: message filled in
    Message message;     // for a program that speaks another language
};

struct RulesReading {
    std::optional<AcceptanceRules> rules;
    RulesFailure failure;
};

// The rules a text states; the catalogue is named, not read.
RulesReading ParseAcceptanceRules(std::string_view text);
// Reads the rules file and the catalogue it names (relative to the rules
// file's folder). path: native bytes.
RulesReading LoadAcceptanceRules(const FileSystem& fs, const std::string& path);
// The same for rules not yet saved: text as if it stood in the file at path.
RulesReading ReadAcceptanceRules(const FileSystem& fs, std::string_view text, const std::string& path);

// "第3行：…" or the reason alone; for messages.
std::string DescribeRulesFailure(const std::string& path, const RulesFailure& failure);

// The rules written back in the file's form, each rule that is on on its own line.
std::string FormatAcceptanceRules(const AcceptanceRules& rules);

}  // namespace quillmere::workflow
