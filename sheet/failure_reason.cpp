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
        default:
            break;
    }
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which need not be in buffer.
    return ::strerror_r(error, buffer, sizeof buffer);
}

std::string XlsxFailureReason(lxw_error error, int savedErrno) {
    switch (error) {
        case LXW_ERROR_CREATING_XLSX_FILE:
        case LXW_ERROR_CREATING_TMPFILE:
        case LXW_ERROR_READING_TMPFILE:
        case LXW_ERROR_ZIP_FILE_OPERATION:
        case LXW_ERROR_ZIP_FILE_ADD:
        case LXW_ERROR_ZIP_CLOSE:
            if (savedErrno != 0) return FailureReason(savedErrno);
            break;
        case LXW_ERROR_MEMORY_MALLOC_FAILED:
            return FailureReason(ENOMEM);
        default:
            break;
    }
    return lxw_strerror(error);
}

}  // namespace quillmere::sheet
