#pragma once
// A failing medium in memory: chosen byte ranges fail every read that touches them (as a bad
// sector fails every time), the medium can shrink once a read reaches a chosen offset, and every
// request is logged, so tests see what was asked of the medium. Reads may come from several
// threads at once, as on a real medium.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "disk/PositionedSource.h"

class FaultySource final : public PositionedSource {
public:
    struct Request {
        std::int64_t position;
        std::uint32_t length;
        bool failed;
    };

    explicit FaultySource(std::vector<unsigned char> bytes)
        : bytes_(std::move(bytes)), size_(static_cast<std::int64_t>(bytes_.size())) {}

    bool open(const std::string&) override {
        resetMediumState();
        return true;
    }
    /// The size at open, as a file's size is taken once: a shrink shows only in reads.
    std::int64_t byteSize() const override { return size_; }

    /// Reads touching [offset, offset + length) fail with EIO: the first `times` reads that touch
    /// it (a slow, flaky region that a later try gets through), or every one (a bad sector).
    void failRange(std::int64_t offset, std::int64_t length, int times = -1) {
        const std::lock_guard lock(mutex_);
        failing_.push_back({offset, offset + length, times});
    }
    /// Reads no longer fail: a medium whose troubles passed (or a retry that got through).
    void heal() {
        const std::lock_guard lock(mutex_);
        failing_.clear();
    }
    /// Once a read reaches offset, the medium ends there.
    void shrinkAt(std::int64_t offset) {
        const std::lock_guard lock(mutex_);
        shrinkAt_ = offset;
    }

    std::vector<Request> requests() const {
        const std::lock_guard lock(mutex_);
        return requests_;
    }
    std::size_t failedRequestsWithin(std::int64_t offset, std::int64_t length) const {
        const std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count_if(requests_.begin(), requests_.end(), [&](const Request& r) {
            return r.failed && r.position < offset + length && offset < r.position + r.length;
        }));
    }
protected:
    long readBytes(void* buffer, std::uint32_t n, std::int64_t position) override {
        const std::lock_guard lock(mutex_);
        const std::int64_t end = position + n;
        if (shrinkAt_ >= 0 && end > shrinkAt_)
            bytes_.resize(std::min<std::size_t>(bytes_.size(), static_cast<std::size_t>(shrinkAt_)));
        for (Failing& range : failing_) {
            if (position < range.to && range.from < end && range.timesLeft != 0) {
                if (range.timesLeft > 0)
                    --range.timesLeft;
                requests_.push_back({position, n, true});
                return -EIO;
            }
        }
        requests_.push_back({position, n, false});
        if (position >= static_cast<std::int64_t>(bytes_.size()))
            return 0;
        const auto count = std::min<std::size_t>(n, bytes_.size() - static_cast<std::size_t>(position));
        std::memcpy(buffer, bytes_.data() + position, count);
        return static_cast<long>(count);
    }

private:
    std::vector<unsigned char> bytes_;
    std::int64_t size_;
    struct Failing {
        std::int64_t from, to;
        int timesLeft;  ///< failures still to come; negative: always
    };
    std::vector<Failing> failing_;
    std::int64_t shrinkAt_ = -1;
    std::vector<Request> requests_;
    mutable std::mutex mutex_;
};
