#include "disk/ContainerSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "app/Notifier.h"

bool ContainerSource::open(const std::string& path) {
    const std::lock_guard lock(mutex_);
    image_.reset();
    size_ = 0;
    corrupt_.clear();
    resetMediumState();
    // The system's own reason comes first where there is one (no such file, no rights).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        openError_ = errno;
        openFailure_ = std::strerror(openError_);
    } else {
        ::close(fd);
        ContainerOpening opening = openContainerImage(kind_, path);
        image_ = std::move(opening.image);
        if (image_ == nullptr) {
            openError_ = EINVAL;
            openFailure_ = opening.failure;
        }
    }
    if (image_ == nullptr) {
        if (notifier_ != nullptr)
            notifier_->inform("Invalid handle ...");
        return false;
    }
    size_ = image_->mediaSize();
    return true;
}

long ContainerSource::beforeCorrupt(std::int64_t position, long n) const {
    for (const MediumRange& range : corrupt_) {
        if (range.end() <= position || range.offset >= position + n)
            continue;
        if (range.offset <= position)
            return -EIO;
        n = static_cast<long>(range.offset - position);
    }
    return n;
}

long ContainerSource::readBytes(void* buffer, std::uint32_t n, std::int64_t position) {
    const std::lock_guard lock(mutex_);
    if (image_ == nullptr)
        return -EBADF;
    if (position >= size_)
        return 0;
    long wanted = static_cast<long>(std::min<std::int64_t>(n, size_ - position));
    wanted = beforeCorrupt(position, wanted);
    if (wanted < 0)
        return wanted;
    const long got = image_->read(buffer, static_cast<std::size_t>(wanted), position);
    for (const MediumRange& range : image_->takeCorruptRanges())
        corrupt_.push_back(range);
    if (got < 0)
        return -EIO;
    // A chunk found corrupt by this very read came as zeros: the bytes before it stand.
    return got == 0 ? 0 : beforeCorrupt(position, got);
}
