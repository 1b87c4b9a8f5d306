#pragma once
// Small helpers shared by the row workbook tests: a header and rows of
// texts, the folder listing and the bytes of a file.

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "runtime/text.h"
#include "runtime/text_encoding.h"
#include "sheet/row_workbook.h"

namespace quillmere::sheet::fixtures {

inline std::vector<Text> Texts(const std::vector<std::string>& utf8) {
    std::vector<Text> texts;
    for (const std::string& text : utf8) texts.push_back(TextFromUtf8(text));
    return texts;
}

inline WorkbookLayout Layout(const std::vector<std::string>& header, std::int64_t rowsPerSheet = kSheetRowLimit) {
    return WorkbookLayout{Texts(header), rowsPerSheet};
}

// Three columns are enough to show what holds for fourteen.
inline const std::vector<std::string>& ThreeTitles() {
    static const std::vector<std::string> titles = {"档号", "文件名", "大小"};
    return titles;
}

// The row number in every cell, so that a lost or moved row shows.
inline std::vector<std::string> NumberedRow(int number) {
    const std::string n = std::to_string(number);
    return {"A" + n, "第" + n + "页.jpg", n};
}

inline std::set<std::string> FolderListing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

inline std::string FileBytes(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream stream(path, std::ios::binary | std::ios::trunc);
    stream << bytes;
}

// A cell's text as a spreadsheet application shows it: openpyxl leaves the
// .xlsx escapes "_xHHHH_" as they are, Excel turns them into U+HHHH (all
// that matter here are ASCII and the two non-characters).
inline std::string Shown(const std::string& stored) {
    std::string shown;
    const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    for (std::size_t at = 0; at < stored.size();) {
        if (at + 7 <= stored.size() && stored[at] == '_' && stored[at + 1] == 'x' && hex(stored[at + 2]) &&
            hex(stored[at + 3]) && hex(stored[at + 4]) && hex(stored[at + 5]) && stored[at + 6] == '_') {
            const unsigned long code = std::stoul(stored.substr(at + 2, 4), nullptr, 16);
            if (code < 0x80) shown += static_cast<char>(code);
            else if (code == 0xFFFE) shown += "\xEF\xBF\xBE";
            else if (code == 0xFFFF) shown += "\xEF\xBF\xBF";
            else shown += stored.substr(at, 7);
            at += 7;
        } else {
            shown += stored[at++];
        }
    }
    return shown;
}

// Whether every byte of text is ASCII: a reason meant for the user is not.
inline bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace quillmere::sheet::fixtures
