#pragma once
// A path's file name and folder, split at its last '/'. Bytes as the file
// system takes them; nothing is looked up on disk.

#include <string>
#include <string_view>

namespace quillmere {

// What follows the last '/': the whole path when there is none, empty when
// the path ends in '/'.
std::string_view FileNameOf(std::string_view path) noexcept;
// What comes before the file name, its '/' included: empty for a bare name.
std::string_view FolderPrefixOf(std::string_view path) noexcept;
// The folder as a path to open: "." for a bare name, "/" for a name in the
// root.
std::string FolderOf(std::string_view path);

}  // namespace quillmere
