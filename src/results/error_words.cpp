#include "error_words.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pc {

std::string errorWords(int e) {
    switch (e) {
        case ENOENT: return "文件或文件夹不存在";
        case EACCES:
        case EPERM: return "没有权限";
        case EROFS: return "只读的文件系统, 无法写入";
        case ENOSPC:
        case EDQUOT: return "磁盘空间不足";
        case EFBIG: return "文件超过了允许的大小";
        case EISDIR: return "这是一个文件夹, 不是文件";
        case ENOTDIR: return "路径中有一部分不是文件夹";
        case EIO: return "读写设备出错";
        case ENAMETOOLONG: return "文件名太长";
        case EMFILE:
        case ENFILE: return "打开的文件太多";
        case ENOMEM: return "内存不足";
        case EEXIST: return "文件已存在";
        case EBUSY:
        case ETXTBSY: return "文件正被占用";
        case EINVAL: return "不是可读取的文件";
        case 0: return "未知错误";
        default: return std::strerror(e);
    }
}

std::optional<std::string> fileProblem(const std::string& path) {
    // Without blocking: a pipe given as a database would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return "无法打开文件: " + errorWords(errno);
    struct stat st {};
    const bool statted = ::fstat(fd, &st) == 0;
    const int error = errno;
    ::close(fd);
    if (!statted) return "无法读取文件: " + errorWords(error);
    if (S_ISDIR(st.st_mode)) return "这是一个文件夹, 不是数据库文件";
    if (!S_ISREG(st.st_mode)) return "不是普通文件 (设备或管道), 无法作为数据库读取";
    return std::nullopt;
}

}  // namespace pc
