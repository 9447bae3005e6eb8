#include "disk/PositionedSource.h"

#include <cerrno>
#include <cstring>
#include <limits>

bool PositionedSource::read(void* buffer, std::uint32_t n) {
    lastReadCount_ = 0;
    if (n == 0)
        return true;
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint32_t done = 0;
    while (done < n) {
        const long got = readBytes(out + done, n - done, position_ + done);
        if (got <= 0) {
            if (got == 0)
                lastError_ = kEndOfMedium;
            break;
        }
        done += static_cast<std::uint32_t>(got);
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

bool PositionedSource::seek(std::uint32_t low, std::int32_t high, int method) {
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
    if (__builtin_add_overflow(base, offset, &target) || __builtin_add_overflow(target, originOffset_, &target) ||
        target < 0) {
        lastError_ = EINVAL;
        return false;
    }
    position_ = target;
    return true;
}
