#include "disk/FileReadSeek.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Notifier.h"

FileReadSeek::~FileReadSeek() { close(); }

void FileReadSeek::unmap() {
    if (window_ != nullptr)
        ::munmap(const_cast<unsigned char*>(window_), windowLength_);
    window_ = nullptr;
    windowLength_ = 0;
}

void FileReadSeek::close() {
    unmap();
    mappable_ = false;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

bool FileReadSeek::open(const std::string& path) {
    close();
    position_ = 0;
    openFailure_.clear();
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
        lastError_ = errno;
        openFailure_ = std::strerror(lastError_);
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
        mappable_ = S_ISREG(info.st_mode);
    }
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

long FileReadSeek::readBytes(void* buffer, std::uint32_t n, std::int64_t position) {
    if (fd_ < 0) {
        lastError_ = EBADF;
        return -1;
    }
    for (;;) {
        const ssize_t got = ::pread(fd_, buffer, n, position);
        if (got >= 0)
            return static_cast<long>(got);
        if (errno == EINTR)
            continue;
        lastError_ = errno;
        return -1;
    }
}

ByteView FileReadSeek::mapRange(std::int64_t offset, std::uint32_t length) {
    constexpr std::int64_t kWindow = 16 * 1024 * 1024;
    std::int64_t start = 0;
    if (!mappable_ || __builtin_add_overflow(offset, originOffset_, &start) || start < 0 || start >= size_)
        return {};
    const std::int64_t end = std::min(size_, volumeEnd());
    if (start >= end)
        return {};
    const std::int64_t available = std::min<std::int64_t>(length, end - start);
    const bool inWindow = window_ != nullptr && start >= windowStart_ &&
                          start + available <= windowStart_ + static_cast<std::int64_t>(windowLength_);
    if (!inWindow) {
        unmap();
        windowStart_ = start & ~(kWindow - 1);
        const std::int64_t wanted = std::max<std::int64_t>(kWindow, start + available - windowStart_);
        windowLength_ = static_cast<std::size_t>(std::min<std::int64_t>(wanted, size_ - windowStart_));
        void* mapped = ::mmap(nullptr, windowLength_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_, windowStart_);
        if (mapped == MAP_FAILED) {
            window_ = nullptr;
            windowLength_ = 0;
            mappable_ = false;  // fall back to reading for good
            return {};
        }
        window_ = static_cast<const unsigned char*>(mapped);
    }
    return ByteView(window_ + (start - windowStart_), static_cast<std::size_t>(available));
}
