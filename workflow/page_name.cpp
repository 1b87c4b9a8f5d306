#include "workflow/page_name.h"

#include <string>
#include <string_view>

#include "runtime/text_encoding.h"

namespace quillmere::workflow {

namespace {

bool IsAsciiDigit(unsigned char byte) { return byte >= '0' && byte <= '9'; }

// Byte offset where the trailing run of one-byte digit characters begins.
std::size_t TrailingDigitsStart(const std::string& bytes) {
    std::size_t runStart = 0;
    bool inRun = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (IsLeadByte(byte)) {
            inRun = false;
            i += 2;
            continue;
        }
        if (IsAsciiDigit(byte)) {
            if (!inRun) runStart = i;
            inRun = true;
        } else {
            inRun = false;
        }
        ++i;
    }
    return inRun ? runStart : bytes.size();
}

// Whether text ends in separator, which starts at a character boundary.
bool EndsWithCharacter(const std::string& text, const std::string& separator) {
    if (text.size() < separator.size() ||
        text.compare(text.size() - separator.size(), separator.size(), separator) != 0) {
        return false;
    }
    // The separator must begin a character: walk the characters up to it.
    const std::size_t at = text.size() - separator.size();
    std::size_t i = 0;
    while (i < at) i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    return i == at;
}

}  // namespace

PageName PageNameOf(const Text& stem, const Text& folderName) {
    static const std::string kSeparators[] = {"-", "_", ".", " ", TextFromUtf8("·").bytes()};
    const std::string& bytes = stem.bytes();
    const std::size_t digitsStart = TrailingDigitsStart(bytes);

    PageName name;
    std::string archive = bytes.substr(0, digitsStart);
    if (digitsStart < bytes.size()) {
        name.pageDigits = Text(bytes.substr(digitsStart));
        for (const std::string& separator : kSeparators) {
            if (EndsWithCharacter(archive, separator)) {
                archive.resize(archive.size() - separator.size());
                break;
            }
        }
    }
    name.archiveNumber = archive.empty() ? folderName : Text(std::move(archive));
    return name;
}

Text FolderNameOf(const Text& path) {
    const std::string& bytes = path.bytes();
    // A "/" byte never belongs to a two-byte character in a path that came from the file system.
    const std::size_t fileStart = bytes.rfind('/');
    if (fileStart == std::string::npos || fileStart == 0) return Text();
    const std::size_t folderStart = bytes.rfind('/', fileStart - 1);
    const std::size_t begin = folderStart == std::string::npos ? 0 : folderStart + 1;
    return Text(bytes.substr(begin, fileStart - begin));
}

}  // namespace quillmere::workflow
