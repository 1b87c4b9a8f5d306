#include "runtime/file_system.h"

#include <algorithm>

namespace quillmere {

namespace {

constexpr unsigned char UpperAscii(unsigned char c) noexcept {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 0x20) : c;
}

}  // namespace

bool NameOrderLess(std::string_view left, std::string_view right) noexcept {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char a = UpperAscii(static_cast<unsigned char>(left[i]));
        const unsigned char b = UpperAscii(static_cast<unsigned char>(right[i]));
        if (a != b) return a < b;
    }
    if (left.size() != right.size()) return left.size() < right.size();
    return left < right;
}

void SortInNameOrder(std::vector<DirectoryEntry>& entries) {
    // Comparing upper-cased copies with memcmp is several times quicker than
    // folding bytes inside every comparison; the keys share one buffer.
    struct Key {
        std::size_t offset;
        std::size_t length;
        std::size_t index;
    };
    std::string folded;
    std::vector<Key> keys;
    keys.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string& name = entries[i].name;
        keys.push_back(Key{folded.size(), name.size(), i});
        for (const char c : name) folded += static_cast<char>(UpperAscii(static_cast<unsigned char>(c)));
    }
    const std::string_view all(folded);
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        const int order = all.substr(a.offset, a.length).compare(all.substr(b.offset, b.length));
        if (order != 0) return order < 0;
        return entries[a.index].name < entries[b.index].name;
    });
    std::vector<DirectoryEntry> sorted;
    sorted.reserve(entries.size());
    for (const Key& key : keys) sorted.push_back(std::move(entries[key.index]));
    entries = std::move(sorted);
}

}  // namespace quillmere
