#include "runtime/path_parts.h"

namespace quillmere {

namespace {

std::size_t NameStart(std::string_view path) noexcept {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

std::string_view FileNameOf(std::string_view path) noexcept { return path.substr(NameStart(path)); }

std::string_view FolderPrefixOf(std::string_view path) noexcept { return path.substr(0, NameStart(path)); }

std::string FolderOf(std::string_view path) {
    const std::size_t start = NameStart(path);
    if (start == 0) return ".";
    if (start == 1) return "/";
    return std::string(path.substr(0, start - 1));
}

}  // namespace quillmere
