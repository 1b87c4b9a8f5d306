#include "workflow/scan_image_folder.h"

#include <optional>
#include <set>

#include "runtime/find_file.h"
#include "runtime/text_encoding.h"

namespace quillmere::workflow {

namespace {

constexpr int kDirectoryAttribute = 16;

// Only the last byte is tested: "/" is never the trail byte of a GB18030
// character, so a name cannot end in it by accident.
bool EndsInSeparator(const Text& text) { return TextRight(text, 1) == Text("/"); }

}  // namespace

void ScanImageFolder(const FileSystem& fs, Text& folder, TextArray& entries,
                     const std::function<void()>& processEvents) {
    const Text separator("/");
    const Text everything("*");
    if (!EndsInSeparator(folder)) folder += separator;

    TextArray pending{folder};
    std::set<DirectoryIdentity> listed;
    FindHandle handle;
    Text name;
    do {
        folder = std::move(pending.back());
        pending.pop_back();
        entries.push_back(folder);

        // A directory without an identity is missing or unreadable and lists as empty anyway.
        const std::optional<DirectoryIdentity> identity = fs.IdentifyDirectory(TextToNativeName(folder));
        if (!identity || listed.insert(*identity).second) {
            const Text pattern = folder + everything;
            for (name = FindFile(fs, pattern, std::nullopt, handle); !name.empty();
                 name = FindFile(fs, Text(), std::nullopt, handle)) {
                entries.push_back(folder + name);
            }
            for (name = FindFile(fs, pattern, kDirectoryAttribute, handle); !name.empty();
                 name = FindFile(fs, Text(), kDirectoryAttribute, handle)) {
                if (name == Text(".") || name == Text("..")) continue;
                if (!EndsInSeparator(name)) name += separator;
                pending.push_back(folder + name);
            }
        }
        if (processEvents) processEvents();
    } while (!pending.empty());
    if (processEvents) processEvents();
    CloseFind(handle);
}

}  // namespace quillmere::workflow
