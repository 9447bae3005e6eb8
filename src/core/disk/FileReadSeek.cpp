#include "disk/FileReadSeek.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Notifier.h"

FileReadSeek::~FileReadSeek() { close(); }

void FileReadSeek::close() {
    windowed_ = false;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

bool FileReadSeek::open(const std::string& path) {
    close();
    resetMediumState();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd >= 0 && ::fstat(fd, &info) != 0) {
        ::close(fd);
        fd = -1;
    }
    if (fd >= 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        fd = -1;
        errno = EISDIR;
    }
    if (fd < 0) {
        openError_ = errno;
        openFailure_ = std::strerror(openError_);
        if (notifier_ != nullptr)
            notifier_->inform("Invalid handle ...");
        return false;
    }
    fd_ = fd;
    if (S_ISBLK(info.st_mode)) {
        std::uint64_t bytes = 0;
        size_ = ::ioctl(fd_, BLKGETSIZE64, &bytes) == 0 ? static_cast<std::int64_t>(bytes) : 0;
    } else {
        size_ = info.st_size;
        windowed_ = S_ISREG(info.st_mode);
    }
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

long FileReadSeek::readBytes(void* buffer, std::uint32_t n, std::int64_t position) {
    if (fd_ < 0)
        return -EBADF;
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, n, position);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno != EINTR)
            return -errno;
    }
}
