#include "disk/FileReadSeek.h"

#include <algorithm>
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
    window_ = PageBuffer();
    windowLength_ = 0;
    windowed_ = false;
    failedStart_ = failedEnd_ = -1;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

bool FileReadSeek::open(const std::string& path) {
    close();
    position_ = 0;
    resetMediumState();
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
        windowed_ = S_ISREG(info.st_mode);
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

void FileReadSeek::fillWindow(std::int64_t start, std::int64_t end) {
    const auto wanted = static_cast<std::size_t>(end - start);
    // Always read whole into the page-aligned buffer: keeping the overlap of sequential views
    // would put the read a few bytes off a cache line, where the kernel copies it far slower.
    window_.reserve(wanted);
    windowStart_ = start;
    windowLength_ = 0;
    while (windowLength_ < wanted) {
        // Failing sectors come back as zeros, mapped, as any read serves them.
        const long got = readRecovering(window_.data() + windowLength_, static_cast<std::uint32_t>(wanted - windowLength_),
                                        start + static_cast<std::int64_t>(windowLength_), false);
        if (got <= 0) {
            // The file is shorter than when it was opened (or not open).
            if (got == 0)
                lastError_ = kEndOfMedium;
            failedStart_ = start + static_cast<std::int64_t>(windowLength_);
            failedEnd_ = end;
            return;
        }
        windowLength_ += static_cast<std::size_t>(got);
    }
}

ByteView FileReadSeek::mapRange(std::int64_t offset, std::uint32_t length) {
    constexpr std::int64_t kWindow = 16 * 1024 * 1024;
    constexpr std::int64_t kLargestView = 4 * kWindow;  // larger pieces are read by the caller
    std::int64_t start = 0;
    if (!windowed_ || __builtin_add_overflow(offset, originOffset_, &start) || start < 0 || start >= size_)
        return {};
    const std::int64_t end = std::min(size_, volumeEnd());
    if (start >= end)
        return {};
    const std::int64_t available = std::min<std::int64_t>(length, end - start);
    if (available > kLargestView)
        return {};
    const auto held = [&] {
        return start >= windowStart_ && start + available <= windowStart_ + static_cast<std::int64_t>(windowLength_);
    };
    if (!held()) {
        if (start < failedEnd_ && start + available > failedStart_)
            return {};
        fillWindow(start, std::min(size_, start + std::max(kWindow, available)));
        if (!held())
            return {};
    }
    servedFromBuffer(start, available);
    return ByteView(window_.data() + (start - windowStart_), static_cast<std::size_t>(available));
}
