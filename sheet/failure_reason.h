#pragma once
// The reason a file operation failed, as the user reads it.
//
// The causes a user can act on are named in Chinese; any other error keeps
// the system's own text, so nothing is hidden behind a vague message.

#include <string>

#include <xlsxwriter.h>

namespace quillmere::sheet {

// 磁盘空间不足, 文件过大, 没有写入权限, 文件系统只读, 文件夹不存在,
// 同名的不是普通文件 (EISDIR), or strerror's text.
// UTF-8.
std::string FailureReason(int error);

// The reason for a libxlsxwriter failure: the errno it left behind where
// its code stands for a file operation that set one (savedErrno, read right
// after the call), else libxlsxwriter's own description.
std::string XlsxFailureReason(lxw_error error, int savedErrno);

}  // namespace quillmere::sheet
