#include "runtime/find_file.h"

#include <utility>

#include "runtime/text_encoding.h"

namespace quillmere {

namespace {

constexpr int kReadOnly = 1;
constexpr int kHidden = 2;
constexpr int kDirectory = 16;
constexpr int kArchive = 32;
constexpr int kFilterMask = 0x37;

// Length of the UTF-8 character at the start of name, 1 for a byte that
// does not start a well-formed one; '?' stands for one such unit.
std::size_t CharacterLength(std::string_view name) {
    const auto lead = static_cast<unsigned char>(name[0]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    if (length > name.size()) return 1;
    for (std::size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80) return 1;
    }
    return length;
}

// '*' matches any run of bytes, '?' one character, anything else itself.
bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::string_view::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharacterLength(name.substr(n));
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

bool MatchesEverything(std::string_view pattern) { return pattern == "*"; }

bool HasWildcard(std::string_view pattern) { return pattern.find_first_of("*?") != std::string_view::npos; }

int TypeBits(EntryType type) {
    switch (type) {
        case EntryType::Directory: return kDirectory;
        case EntryType::RegularFile: return kArchive;
        default: return 0;
    }
}

// The read-only bit costs a stat, so it is looked up only for filters that can see it.
bool FilterNeedsReadOnly(std::optional<int> attributes) {
    if (!attributes) return false;
    const int filter = *attributes & kFilterMask;
    return filter == 0 || (filter & kReadOnly) != 0;
}

bool Passes(std::optional<int> attributes, int entryAttributes) {
    if (!attributes) return (entryAttributes & kDirectory) == 0;
    const int filter = *attributes & kFilterMask;
    if (filter == 0) return entryAttributes == 0;
    return (entryAttributes & filter) != 0;
}

int AttributesOf(const FileSystem& fs, const std::string& directory, std::string_view name, EntryType type,
                 bool withReadOnly) {
    int bits = TypeBits(type);
    if (!name.empty() && name.front() == '.') bits |= kHidden;
    if (withReadOnly) {
        std::string path = directory;
        path += name;
        if (fs.Status(path).readOnly) bits |= kReadOnly;
    }
    return bits;
}

using find_detail::Enumeration;
using find_detail::Listing;

// Opens the enumeration a non-empty pattern asks for, taking the kept listing
// when it is of the same, unchanged directory; nullopt when nothing can match.
std::optional<Enumeration> StartEnumeration(const FileSystem& fs, std::string pattern, std::optional<Listing>& kept) {
    Enumeration started;
    const std::size_t slash = pattern.rfind('/');
    if (slash != std::string::npos) {
        started.listing.directory = pattern.substr(0, slash + 1);
        started.namePattern = pattern.substr(slash + 1);
    } else {
        started.namePattern = std::move(pattern);
    }
    const std::string& directory = started.listing.directory;

    if (!HasWildcard(started.namePattern)) {
        // A plain name needs no listing: it names at most one entry.
        if (started.namePattern.empty()) return std::nullopt;
        const FileStatus status = fs.Status(directory + started.namePattern);
        if (!status.exists) return std::nullopt;
        started.listing.entries.push_back(DirectoryEntry{started.namePattern, status.type});
        return started;
    }

    // The status comes before the listing, so a change while listing moves the stamp.
    const std::string listed = directory.empty() ? std::string(".") : directory;
    const FileStatus status = fs.Status(listed);
    if (status.type != EntryType::Directory) return std::nullopt;
    const bool reusable = kept && status.changeStamp != 0 && kept->directory == directory &&
                          kept->identity == status.identity && kept->changeStamp == status.changeStamp;
    if (reusable) {
        started.listing.entries = std::move(kept->entries);
        kept.reset();
    } else {
        kept.reset();  // stale: not worth its memory
        auto entries = fs.ListDirectory(listed);
        if (!entries) return std::nullopt;
        started.listing.entries = std::move(*entries);
    }
    started.listing.identity = status.identity;
    started.listing.changeStamp = status.changeStamp;
    started.listing.whole = true;
    started.dotEntriesLeft = 2;
    return started;
}

// The next name of the enumeration that passes the filter, or "" at its end.
Text NextPassing(const FileSystem& fs, std::optional<int> attributes, Enumeration& enumeration) {
    const std::string& directory = enumeration.listing.directory;
    const bool withReadOnly = FilterNeedsReadOnly(attributes);
    const bool everyName = MatchesEverything(enumeration.namePattern);
    while (enumeration.dotEntriesLeft > 0) {
        const std::string_view name = enumeration.dotEntriesLeft == 2 ? "." : "..";
        --enumeration.dotEntriesLeft;
        if (!everyName && !MatchesWildcard(enumeration.namePattern, name)) continue;
        const std::string listed = directory.empty() ? std::string("./") : directory;
        if (Passes(attributes, AttributesOf(fs, listed, name, EntryType::Directory, withReadOnly))) {
            return Text(name);
        }
    }
    const std::vector<DirectoryEntry>& entries = enumeration.listing.entries;
    while (enumeration.next < entries.size()) {
        const DirectoryEntry& entry = entries[enumeration.next++];
        if (!everyName && !MatchesWildcard(enumeration.namePattern, entry.name)) continue;
        if (Passes(attributes, AttributesOf(fs, directory, entry.name, entry.type, withReadOnly))) {
            return TextFromUtf8(entry.name);
        }
    }
    return Text();
}

}  // namespace

FindHandle::FindHandle(FindHandle&& other) noexcept
    : enumeration_(std::move(other.enumeration_)), lastListing_(std::move(other.lastListing_)) {
    other.enumeration_.reset();
    other.lastListing_.reset();
}

FindHandle& FindHandle::operator=(FindHandle&& other) noexcept {
    if (this != &other) {
        enumeration_ = std::move(other.enumeration_);
        lastListing_ = std::move(other.lastListing_);
        other.enumeration_.reset();
        other.lastListing_.reset();
    }
    return *this;
}

void FindHandle::Close() noexcept {
    if (!enumeration_) return;
    if (enumeration_->listing.whole) lastListing_ = std::move(enumeration_->listing);
    enumeration_.reset();
}

Text FindFile(const FileSystem& fs, const Text& pattern, std::optional<int> attributes, FindHandle& handle) {
    if (!pattern.empty()) {
        handle.Close();
        handle.enumeration_ = StartEnumeration(fs, TextToNativeName(pattern), handle.lastListing_);
    }
    if (!handle.enumeration_) return Text();
    Text name = NextPassing(fs, attributes, *handle.enumeration_);
    if (name.empty()) handle.Close();
    return name;
}

void CloseFind(FindHandle& handle) {
    handle.enumeration_.reset();
    handle.lastListing_.reset();
}

}  // namespace quillmere
