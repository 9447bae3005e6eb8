#include "disk/PositionedSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace {
/// True when [at, at + n) lies inside one sector: nothing smaller is worth reading.
bool withinOneSector(std::int64_t at, std::uint32_t n) {
    return at / PositionedSource::kSectorBytes == (at + n - 1) / PositionedSource::kSectorBytes;
}

/// Where a failed piece is cut in two: near its middle, on a sector boundary.
std::uint32_t firstHalf(std::int64_t at, std::uint32_t n) {
    constexpr std::int64_t sector = PositionedSource::kSectorBytes;
    std::int64_t cut = (at + n / 2) / sector * sector;
    if (cut <= at)
        cut = (at / sector + 1) * sector;
    return static_cast<std::uint32_t>(cut - at);
}
}  // namespace

void PositionedSource::resetMediumState() {
    rangeMap_.clear();
    zeroFilledBytes_ = 0;
    mediumShrank_ = false;
    badSectorsInRow_ = 0;
    inFailingRegion_ = false;
    retrySpent_ = {};
}

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
        const long got = wanted == 0 ? 0 : readRecovering(out + done, wanted, at);
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

long PositionedSource::readRecovering(unsigned char* out, std::uint32_t n, std::int64_t at, bool forCaller) {
    if (n == 0)
        return 0;
    countZeros_ = forCaller;
    // Bad sectors are served as zeros without asking the medium again. A skipped piece is tried
    // again while there is retry time: it was skipped for the company it was in, and may hold
    // good bytes (a skip ends where the failed request ended, not where the failures did).
    if (const auto bad = rangeMap_.firstUnreadable(at, n)) {
        if (bad->offset > at) {
            n = static_cast<std::uint32_t>(bad->offset - at);  // the caller comes back for the rest
        } else {
            const auto count = static_cast<std::uint32_t>(std::min<std::int64_t>(n, bad->end() - at));
            if (bad->state == RangeState::Bad || retrySecondsSpent() >= retrySeconds_) {
                serveZeros(out, count, at, bad->state);
                return count;
            }
            n = count;
        }
    }
    const long got = readBytes(out, n, at);
    if (got > 0) {
        noteRead(at, got);
        return got;
    }
    if (got == 0) {
        noteEnd(at);
        return 0;
    }
    if (lastError_ == EBADF || lastError_ == EINVAL)
        return -1;  // not the medium failing: the source is not open, or the request is wrong
    busySince_ = Clock::now();
    recovering_ = true;
    const std::uint32_t served = recoverFailed(out, n, at);
    recovering_ = false;
    retrySpent_ += Clock::now() - busySince_;
    return served;
}

std::uint32_t PositionedSource::serve(unsigned char* out, std::uint32_t n, std::int64_t at) {
    std::uint32_t done = 0;
    while (done < n) {
        const long got = readBytes(out + done, n - done, at + done);
        if (got > 0) {
            noteRead(at + done, got);
            done += static_cast<std::uint32_t>(got);
            continue;
        }
        if (got == 0) {
            noteEnd(at + done);
            return done;
        }
        return done + recoverFailed(out + done, n - done, at + done);
    }
    return done;
}

std::uint32_t PositionedSource::recoverFailed(unsigned char* out, std::uint32_t n, std::int64_t at) {
    if (!inFailingRegion_) {
        inFailingRegion_ = true;
        regionStart_ = Clock::now();
    }
    if (withinOneSector(at, n)) {
        ++badSectorsInRow_;
        serveZeros(out, n, at, RangeState::Bad);
        return n;
    }
    if (skipping()) {
        serveZeros(out, n, at, RangeState::Skipped);
        return n;
    }
    const std::uint32_t first = firstHalf(at, n);
    const std::uint32_t head = serve(out, first, at);
    if (head < first)
        return head;  // the medium ended inside the piece
    return first + serve(out + first, n - first, at + first);
}

void PositionedSource::serveZeros(unsigned char* out, std::uint32_t n, std::int64_t at, RangeState state) {
    std::memset(out, 0, n);
    rangeMap_.mark(at, n, state);
    if (countZeros_)
        zeroFilledBytes_ += n;
}

bool PositionedSource::skipping() const {
    if (retrySecondsSpent() >= retrySeconds_)
        return true;
    if (retryingSkipped_ || !skipAhead_)
        return false;  // the end of the run, or a copy: every failed sector gets its own try
    return badSectorsInRow_ >= kBadSectorsBeforeSkip ||
           std::chrono::duration<double>(Clock::now() - regionStart_).count() >= regionSeconds_;
}

double PositionedSource::retrySecondsSpent() const {
    const Clock::duration spent = recovering_ ? retrySpent_ + (Clock::now() - busySince_) : retrySpent_;
    return std::chrono::duration<double>(spent).count();
}

void PositionedSource::noteRead(std::int64_t at, long count) {
    rangeMap_.mark(at, count, RangeState::Read);
    mediumBytesRead_ += count;
    badSectorsInRow_ = 0;
    inFailingRegion_ = false;
}

void PositionedSource::noteEnd(std::int64_t at) {
    // Nothing where the medium had bytes at open: it has shrunk underneath the run.
    if (at < byteSize())
        mediumShrank_ = true;
}

void PositionedSource::retrySkipped() {
    constexpr std::uint32_t kPiece = 64 * 1024;
    std::vector<unsigned char> scratch(kPiece);
    retryingSkipped_ = true;
    countZeros_ = false;
    recovering_ = true;
    busySince_ = Clock::now();
    for (const MediumRange& range : rangeMap_.skipped()) {
        for (std::int64_t at = range.offset; at < range.end() && !mediumShrank_ && retrySecondsSpent() < retrySeconds_;) {
            const auto piece = static_cast<std::uint32_t>(std::min<std::int64_t>(kPiece, range.end() - at));
            const std::uint32_t served = serve(scratch.data(), piece, at);
            if (served == 0)
                break;
            at += served;
        }
    }
    retrySpent_ += Clock::now() - busySince_;
    recovering_ = false;
    retryingSkipped_ = false;
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
