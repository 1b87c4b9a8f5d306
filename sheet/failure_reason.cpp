#include "sheet/failure_reason.h"

#include <cerrno>
#include <cstring>

namespace quillmere::sheet {

std::string FailureReason(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return "磁盘空间不足";
        case EFBIG:  // past the largest file this file system or process may write
            return "文件过大";
        case EACCES:
        case EPERM:
            return "没有写入权限";
        case EROFS:
            return "文件系统只读";
        case ENOENT:
        case ENOTDIR:
            return "文件夹不存在";
        case EISDIR:
            return "同名的不是普通文件";
        case ENAMETOOLONG:
            return "文件名过长";
        case EILSEQ:  // a name this file system cannot store (exFAT, for one)
            return "文件系统不接受文件名中的字符";
        case kDanglingLink:
            return "链接指向的文件不存在";
        default:
            break;
    }
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which need not be in buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

}  // namespace quillmere::sheet
