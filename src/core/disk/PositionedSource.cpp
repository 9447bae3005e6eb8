#include "disk/PositionedSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

bool PositionedSource::read(void* buffer, std::uint32_t n) {
    lastReadCount_ = 0;
    if (n == 0)
        return true;
    auto* out = static_cast<unsigned char*>(buffer);
    std::uint32_t done = 0;
    const std::int64_t end = volumeEnd();
    while (done < n) {
        const std::int64_t at = position_ + done;
        const std::int64_t room = at >= end ? 0 : end - at;
        const auto wanted = static_cast<std::uint32_t>(std::min<std::int64_t>(n - done, room));
        const long got = wanted == 0 ? 0 : readBytes(out + done, wanted, at);
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
