#pragma once
// The reason a file operation failed, as the user reads it.
//
// The causes a user can act on are named in Chinese; any other error keeps
// the system's own text, so nothing is hidden behind a vague message.

#include <string>

namespace quillmere::sheet {

// Not an errno: a symbolic link named as the destination points at a file
// that does not exist (its folder may well exist).
inline constexpr int kDanglingLink = 0x10001;

// 磁盘空间不足, 文件过大, 没有写入权限, 文件系统只读, 文件夹不存在,
// 同名的不是普通文件 (EISDIR), 文件名过长, 文件系统不接受文件名中的字符
// (EILSEQ), 链接指向的文件不存在 (kDanglingLink), or strerror's text.
// UTF-8.
std::string FailureReason(int error);

}  // namespace quillmere::sheet
