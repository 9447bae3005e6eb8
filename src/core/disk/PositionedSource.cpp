#include "disk/PositionedSource.h"

#include <algorithm>
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

/// The most one request asks of the medium; readAt asks again for the rest.
constexpr std::size_t kLargestPiece = std::size_t{1} << 30;
}  // namespace

void PositionedSource::resetMediumState() {
    const std::lock_guard lock(mutex_);
    rangeMap_.clear();
    zeroFilledBytes_ = 0;
    mediumShrank_ = false;
    badSectorsInRow_ = 0;
    inFailingRegion_ = false;
    retrySpent_ = {};
    openError_ = 0;
    openFailure_.clear();
}

SourceRead PositionedSource::readAt(std::int64_t offset, std::span<unsigned char> out, Serving serving) {
    SourceRead result;
    if (offset < 0) {
        result.error = EINVAL;
        return result;
    }
    while (result.count < out.size()) {
        const std::int64_t at = offset + static_cast<std::int64_t>(result.count);
        const auto n = static_cast<std::uint32_t>(std::min(out.size() - result.count, kLargestPiece));
        const long got = readPiece(out.data() + result.count, n, at, serving, result.zeros);
        if (got <= 0) {
            result.error = got == 0 ? kEndOfMedium : static_cast<int>(-got);
            break;
        }
        result.count += static_cast<std::size_t>(got);
    }
    return result;
}

long PositionedSource::readPiece(unsigned char* out, std::uint32_t n, std::int64_t at, Serving serving,
                                 std::int64_t& zeros) {
    // Bad sectors are served as zeros without asking the medium again. A skipped piece is tried
    // again while there is retry time: it was skipped for the company it was in, and may hold
    // good bytes (a skip ends where the failed request ended, not where the failures did).
    {
        std::unique_lock lock(mutex_);
        if (const auto bad = rangeMap_.firstUnreadable(at, n)) {
            if (bad->offset > at) {
                n = static_cast<std::uint32_t>(bad->offset - at);  // the caller comes back for the rest
            } else {
                const auto count = static_cast<std::uint32_t>(std::min<std::int64_t>(n, bad->end() - at));
                if (bad->state == RangeState::Bad || retrySecondsSpent() >= retrySeconds_) {
                    lock.unlock();
                    serveZeros(out, count, at, bad->state, serving, zeros);
                    return count;
                }
                n = count;
            }
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
    if (got == -EBADF || got == -EINVAL)
        return got;  // not the medium failing: the source is not open, or the request is wrong
    std::unique_lock recovery(recoveryMutex_);
    {
        std::unique_lock lock(mutex_);
        // Another walk may have narrowed this piece down while this one waited: what it found
        // bad is served from the map, not asked of the medium again.
        if (const auto bad = rangeMap_.firstUnreadable(at, n);
            bad && (bad->offset > at || bad->state == RangeState::Bad || retrySecondsSpent() >= retrySeconds_)) {
            lock.unlock();
            recovery.unlock();
            return readPiece(out, n, at, serving, zeros);
        }
        busySince_ = Clock::now();
        recovering_ = true;
    }
    const std::uint32_t served = recoverFailed(out, n, at, serving, zeros);
    const std::lock_guard lock(mutex_);
    recovering_ = false;
    retrySpent_ += Clock::now() - busySince_;
    return served;
}

std::uint32_t PositionedSource::serve(unsigned char* out, std::uint32_t n, std::int64_t at, Serving serving,
                                      std::int64_t& zeros) {
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
        return done + recoverFailed(out + done, n - done, at + done, serving, zeros);
    }
    return done;
}

std::uint32_t PositionedSource::recoverFailed(unsigned char* out, std::uint32_t n, std::int64_t at, Serving serving,
                                              std::int64_t& zeros) {
    const bool oneSector = withinOneSector(at, n);
    bool skip = false;
    {
        const std::lock_guard lock(mutex_);
        if (!inFailingRegion_) {
            inFailingRegion_ = true;
            regionStart_ = Clock::now();
        }
        if (oneSector)
            ++badSectorsInRow_;
        else
            skip = skipping();
    }
    if (oneSector || skip) {
        serveZeros(out, n, at, oneSector ? RangeState::Bad : RangeState::Skipped, serving, zeros);
        return n;
    }
    const std::uint32_t first = firstHalf(at, n);
    const std::uint32_t head = serve(out, first, at, serving, zeros);
    if (head < first)
        return head;  // the medium ended inside the piece
    return first + serve(out + first, n - first, at + first, serving, zeros);
}

void PositionedSource::serveZeros(unsigned char* out, std::uint32_t n, std::int64_t at, RangeState state,
                                  Serving serving, std::int64_t& zeros) {
    std::memset(out, 0, n);
    {
        const std::lock_guard lock(mutex_);
        rangeMap_.mark(at, n, state);
    }
    if (serving == Serving::Caller) {
        zeroFilledBytes_ += n;
        zeros += n;
    }
}

std::int64_t PositionedSource::noteServed(std::int64_t offset, std::int64_t n) {
    std::int64_t unreadable = 0;
    {
        const std::lock_guard lock(mutex_);
        unreadable = rangeMap_.unreadableWithin(offset, n);
    }
    zeroFilledBytes_ += unreadable;
    return unreadable;
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
    mediumBytesRead_ += count;
    const std::lock_guard lock(mutex_);
    rangeMap_.mark(at, count, RangeState::Read);
    badSectorsInRow_ = 0;
    inFailingRegion_ = false;
}

void PositionedSource::noteEnd(std::int64_t at) {
    // Nothing where the medium had bytes at open: it has shrunk underneath the run.
    if (at < byteSize())
        mediumShrank_ = true;
}

BadRangeMap PositionedSource::rangeMap() const {
    const std::lock_guard lock(mutex_);
    return rangeMap_;
}

std::int64_t PositionedSource::unreadableWithin(std::int64_t offset, std::int64_t length) const {
    const std::lock_guard lock(mutex_);
    return rangeMap_.unreadableWithin(offset, length);
}

std::int64_t PositionedSource::unreadableBytes() const {
    const std::lock_guard lock(mutex_);
    return rangeMap_.unreadableBytes();
}

void PositionedSource::setRetryTime(double seconds) {
    const std::lock_guard lock(mutex_);
    retrySeconds_ = seconds > 0 ? seconds : 0;
}

double PositionedSource::retryTime() const {
    const std::lock_guard lock(mutex_);
    return retrySeconds_;
}

void PositionedSource::setRegionTime(double seconds) {
    const std::lock_guard lock(mutex_);
    regionSeconds_ = seconds > 0 ? seconds : 0;
}

void PositionedSource::setSkipAhead(bool allowed) {
    const std::lock_guard lock(mutex_);
    skipAhead_ = allowed;
}

void PositionedSource::retrySkipped() {
    constexpr std::uint32_t kPiece = 64 * 1024;
    std::vector<unsigned char> scratch(kPiece);
    const std::lock_guard recovery(recoveryMutex_);
    std::vector<MediumRange> skipped;
    {
        const std::lock_guard lock(mutex_);
        retryingSkipped_ = true;
        recovering_ = true;
        busySince_ = Clock::now();
        skipped = rangeMap_.skipped();
    }
    const auto timeLeft = [this] {
        const std::lock_guard lock(mutex_);
        return retrySecondsSpent() < retrySeconds_;
    };
    std::int64_t zeros = 0;  // served to nobody
    for (const MediumRange& range : skipped) {
        for (std::int64_t at = range.offset; at < range.end() && !mediumShrank() && timeLeft();) {
            const auto piece = static_cast<std::uint32_t>(std::min<std::int64_t>(kPiece, range.end() - at));
            const std::uint32_t served = serve(scratch.data(), piece, at, Serving::Ahead, zeros);
            if (served == 0)
                break;
            at += served;
        }
    }
    const std::lock_guard lock(mutex_);
    retrySpent_ += Clock::now() - busySince_;
    recovering_ = false;
    retryingSkipped_ = false;
}
