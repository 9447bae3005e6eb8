#include "disk/readWriteInterface.h"

#include <algorithm>
#include <cstring>

void readWriteInterface::setVolume(const SourceVolume& volume) {
    volume_ = volume;
    position_ = volume.firstByte;
    windowLength_ = 0;
    failedStart_ = failedEnd_ = -1;
}

bool readWriteInterface::read(void* buffer, std::uint32_t n) {
    lastReadCount_ = 0;
    if (n == 0)
        return true;
    if (volume_.source == nullptr) {
        lastError_ = EBADF;
        return false;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    const std::int64_t end = volume_.end();
    const std::int64_t room = position_ >= end ? 0 : end - position_;
    const auto wanted = static_cast<std::uint32_t>(std::min<std::int64_t>(n, room));
    std::uint32_t done = 0;
    if (wanted == 0) {
        lastError_ = kEndOfMedium;
    } else {
        const SourceRead got = volume_.source->readAt(position_, {out, wanted});
        done = static_cast<std::uint32_t>(got.count);
        zeroFilledBytes_ += got.zeros;
        if (done < wanted)
            lastError_ = got.error;
        else if (done < n)
            lastError_ = kEndOfMedium;  // the volume ends inside the read
    }
    lastReadCount_ = done;
    if (done == 0)
        return false;
    position_ += done;
    if (done < n) {
        std::memset(out + done, 0, n - done);
        return false;
    }
    return true;
}

bool readWriteInterface::seek(std::uint32_t low, std::int32_t high, int method) {
    const std::int64_t offset =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) | low);
    std::int64_t base = 0;
    switch (method) {
    case SeekFromStart: base = 0; break;
    case SeekFromCurrent: base = position_; break;
    case SeekFromEnd: base = byteSize(); break;
    default: lastError_ = EINVAL; return false;
    }
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || __builtin_add_overflow(target, volume_.firstByte, &target) ||
        target < 0) {
        lastError_ = EINVAL;
        return false;
    }
    position_ = target;
    return true;
}

void readWriteInterface::fillWindow(std::int64_t start, std::int64_t end) {
    const auto wanted = static_cast<std::size_t>(end - start);
    // Always read whole into the page-aligned buffer: keeping the overlap of sequential views
    // would put the read a few bytes off a cache line, where the kernel copies it far slower.
    window_.reserve(wanted);
    windowStart_ = start;
    // Failing sectors come back as zeros, mapped, as any read serves them; they are counted as
    // served when a view shows them.
    const SourceRead got = volume_.source->readAt(start, {window_.data(), wanted}, PositionedSource::Serving::Ahead);
    windowLength_ = got.count;
    if (got.count < wanted) {
        // The file is shorter than when it was opened (or not open).
        lastError_ = got.error;
        failedStart_ = start + static_cast<std::int64_t>(got.count);
        failedEnd_ = end;
    }
}

ByteView readWriteInterface::mapRange(std::int64_t offset, std::uint32_t length) {
    constexpr std::int64_t kWindow = 16 * 1024 * 1024;
    constexpr std::int64_t kLargestView = 4 * kWindow;  // larger pieces are read by the caller
    std::int64_t start = 0;
    if (volume_.source == nullptr || !volume_.source->readsAhead() ||
        __builtin_add_overflow(offset, volume_.firstByte, &start) || start < 0)
        return {};
    const std::int64_t size = volume_.source->byteSize();
    const std::int64_t end = std::min(size, volume_.end());
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
        fillWindow(start, std::min(size, start + std::max(kWindow, available)));
        if (!held())
            return {};
    }
    zeroFilledBytes_ += volume_.source->noteServed(start, available);
    return ByteView(window_.data() + (start - windowStart_), static_cast<std::size_t>(available));
}
