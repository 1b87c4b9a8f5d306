#include "workflow/scan_image_folder.h"

#include <optional>
#include <set>

#include "runtime/text_encoding.h"

namespace quillmere::workflow {

namespace {

// Only the last byte is tested: "/" is never the trail byte of a GB18030
// character, so a name cannot end in it by accident.
bool EndsInSeparator(const Text& text) { return TextRight(text, 1) == Text("/"); }

}  // namespace

void ScanImageFolder(const FileSystem& fs, Text& folder, TextArray& entries,
                     const std::function<void()>& processEvents) {
    const Text separator("/");
    if (!EndsInSeparator(folder)) folder += separator;

    TextArray pending{folder};
    std::set<DirectoryIdentity> listed;
    do {
        folder = std::move(pending.back());
        pending.pop_back();
        entries.push_back(folder);

        const std::string native = TextToNativeName(folder);
        // A directory without an identity is missing or unreadable: it has
        // its entry and nothing below it.
        const std::optional<DirectoryIdentity> identity = fs.IdentifyDirectory(native);
        if (identity && listed.insert(*identity).second) {
            if (const auto listing = fs.ListDirectory(native)) {
                // Every entry that is not a directory, whatever its type, then
                // the subdirectories onto the stack, so the last one comes first.
                for (const DirectoryEntry& entry : *listing) {
                    if (entry.type != EntryType::Directory) entries.push_back(folder + TextFromUtf8(entry.name));
                }
                for (const DirectoryEntry& entry : *listing) {
                    if (entry.type == EntryType::Directory) {
                        pending.push_back(folder + TextFromUtf8(entry.name) + separator);
                    }
                }
            }
        }
        if (processEvents) processEvents();
    } while (!pending.empty());
    if (processEvents) processEvents();
}

}  // namespace quillmere::workflow
