#include "workflow/scan_image_folder.h"

#include <optional>
#include <set>

#include "runtime/text_encoding.h"

namespace quillmere::workflow {

namespace {

// Only the last byte is tested: "/" is never the trail byte of a GB18030
// character, so a name cannot end in it by accident.
bool EndsInSeparator(const Text& text) { return TextRight(text, 1) == Text("/"); }

// folder + name (+ suffix) in a string of exactly that size: a batch keeps
// one such path per file for the whole run, and appending to a copy of the
// folder would leave each with room for about as much again.
Text JoinedPath(const Text& folder, const Text& name, std::string_view suffix = {}) {
    std::string bytes;
    bytes.reserve(folder.size() + name.size() + suffix.size());
    bytes += folder.bytes();
    bytes += name.bytes();
    bytes += suffix;
    return Text(std::move(bytes));
}

}  // namespace

FolderScan ScanImageFolder(const FileSystem& fs, const Text& folder, const std::function<void()>& processEvents) {
    const Text separator("/");
    FolderScan scan;
    TextArray pending{EndsInSeparator(folder) ? folder : folder + separator};
    std::set<DirectoryIdentity> listed;
    do {
        const Text directory = std::move(pending.back());
        pending.pop_back();
        scan.entries.push_back(directory);

        const std::string native = TextToNativeName(directory);
        // A directory without an identity has gone since it was listed: it
        // has its entry and nothing below it.
        const std::optional<DirectoryIdentity> identity = fs.IdentifyDirectory(native);
        if (identity && listed.insert(*identity).second) {
            const DirectoryListing listing = fs.ListDirectory(native);
            if (!listing.complete()) scan.unreadFolders.push_back({directory, TextFromUtf8(listing.failure)});
            // Every entry that is not a directory, whatever its type, then
            // the subdirectories onto the stack, so the last one comes first.
            for (const DirectoryEntry& entry : listing.entries) {
                if (entry.type != EntryType::Directory) scan.entries.push_back(JoinedPath(directory, TextFromUtf8(entry.name)));
            }
            for (const DirectoryEntry& entry : listing.entries) {
                if (entry.type == EntryType::Directory) {
                    pending.push_back(JoinedPath(directory, TextFromUtf8(entry.name), "/"));
                }
            }
        }
        if (processEvents) processEvents();
    } while (!pending.empty());
    if (processEvents) processEvents();
    return scan;
}

}  // namespace quillmere::workflow
