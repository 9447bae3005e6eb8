#include "disk/DriveImager.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <span>

#include "app/ProgressSink.h"
#include "app/StopFlag.h"
#include "common/ListTextFormat.h"
#include "disk/PositionedSource.h"

namespace {
/// Bytes of one read when failed areas are split: the source halves a failed read down to sectors.
constexpr std::int64_t kSplitBytes = 64 * 1024;
/// The splitting's time without a limit: the whole run.
constexpr double kNoLimit = 1e12;

std::int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

/// The stretches of [0, size) the map holds in state (Unread: holds nothing for), in order.
std::vector<MediumRange> stretches(const BadRangeMap& map, std::int64_t size, RangeState state) {
    std::vector<MediumRange> found;
    std::int64_t at = 0;
    for (const MediumRange& range : map.ranges()) {
        if (range.offset >= size)
            break;
        if (state == RangeState::Unread && range.offset > at)
            found.push_back({at, range.offset - at, state});
        if (range.state == state)
            found.push_back({range.offset, std::min(range.end(), size) - range.offset, state});
        at = std::max(at, range.end());
    }
    if (state == RangeState::Unread && at < size)
        found.push_back({at, size - at, state});
    return found;
}

/// Marks in map the parts of ranges inside [at, end) as state.
void markWithin(BadRangeMap& map, const std::vector<MediumRange>& ranges, std::int64_t at, std::int64_t end,
                RangeState state) {
    for (const MediumRange& range : ranges) {
        const std::int64_t from = std::max(range.offset, at), to = std::min(range.end(), end);
        if (from < to)
            map.mark(from, to - from, state);
    }
}
} // namespace

DriveImager::DriveImager(PositionedSource& source, BadRangeMap known, std::string commandLine)
    : source_(source), map_(std::move(known)), commandLine_(std::move(commandLine)), size_(source.byteSize()),
      buffer_(kBlockBytes) {}

bool DriveImager::copy(std::int64_t at, std::int64_t n, ImagingTarget& target, bool& failed) {
    const SourceRead read = source_.readAt(at, std::span(buffer_.data(), static_cast<std::size_t>(n)));
    failed = read.zeros > 0;
    if (read.count == 0)
        return true;
    // The bytes go into the image before the map may say they are there.
    if (!target.writeAt(buffer_.data(), read.count, at))
        return false;
    const std::int64_t end = at + static_cast<std::int64_t>(read.count);
    map_.mark(at, end - at, RangeState::Read);
    if (failed) {
        const BadRangeMap learnt = source_.rangeMap();
        markWithin(map_, learnt.unreadable(), at, end, RangeState::Bad);
        markWithin(map_, learnt.skipped(), at, end, RangeState::Skipped);
    }
    return true;
}

bool DriveImager::saveMap(ImagingTarget& target, bool now) {
    const std::int64_t ms = nowMs();
    if (!now && ms - lastSave_ < static_cast<std::int64_t>(mapInterval_ * 1000))
        return true;
    lastSave_ = ms;
    return target.saveMap(map_.mapfileText(size_, commandLine_));
}

ImagingResult DriveImager::result(ImagingResult::End end) const {
    ImagingResult counts;
    counts.end = end;
    for (const MediumRange& range : map_.ranges()) {
        const std::int64_t length = std::min(range.end(), size_) - range.offset;
        if (length <= 0)
            continue;
        if (range.state == RangeState::Read)
            counts.rescued += length;
        if (range.state == RangeState::Bad) {
            counts.bad += length;
            ++counts.badRanges;
        }
    }
    counts.untried = size_ - counts.rescued - counts.bad;
    return counts;
}

void DriveImager::report(ProgressSink& progress, const char* step) const {
    const ImagingResult counts = result(ImagingResult::End::Done);
    progress.setPosition(counts.rescued + counts.bad);
    progress.setStatus(std::string(step) + ": " + formatListSize(static_cast<std::uint64_t>(counts.rescued)) +
                       " rescued, " + formatListSize(static_cast<std::uint64_t>(counts.bad)) + " bad");
}

ImagingResult DriveImager::run(ImagingTarget& target, ProgressSink& progress, const StopFlag* stop) {
    using End = ImagingResult::End;
    progress.setRange(0, size_);
    // A map from the start: an image is never without one, however the run ends.
    if (!saveMap(target, true))
        return result(End::WriteFailed);
    auto finish = [&](End end) {
        // The map is written whatever the end: it is how a later run goes on.
        if (!saveMap(target, true) && end != End::MediumShrank)
            end = End::WriteFailed;
        report(progress, end == End::Done ? "Finished" : "Stopped");
        return result(end);
    };
    auto check = [&]() -> std::optional<End> {
        if (source_.mediumShrank())
            return End::MediumShrank;
        if (stop != nullptr && stop->isSet())
            return End::Stopped;
        if (!saveMap(target, false))
            return End::WriteFailed;
        return std::nullopt;
    };

    // Copying: a failed read is skipped whole, and the next reads jump ahead, further after each
    // failure in a row, so that the good areas past a failing one are copied before the drive
    // gets worse. The second pass reads what was jumped over, without jumping.
    source_.setRetryTime(0);
    source_.setSkipAhead(true);
    for (const bool jump : {true, false}) {
        const char* step = jump ? "Copying" : "Reading the areas skipped";
        for (const MediumRange& gap : stretches(map_, size_, RangeState::Unread)) {
            std::int64_t skip = 0;
            for (std::int64_t at = gap.offset; at < gap.end();) {
                // Reads end on block boundaries, so that a resumed run meets the same blocks.
                const std::int64_t n = std::min<std::int64_t>(kBlockBytes - at % kBlockBytes, gap.end() - at);
                bool failed = false;
                if (!copy(at, n, target, failed))
                    return finish(End::WriteFailed);
                at += n;
                if (failed && jump) {
                    skip = skip == 0 ? kBlockBytes : std::min(skip * 2, kMostSkip);
                    at = std::min(at + skip, gap.end());
                } else if (!failed) {
                    skip = 0;
                }
                report(progress, step);
                if (const auto end = check())
                    return finish(*end);
            }
        }
    }

    // Splitting: each failed area read again in small pieces; the source halves a failing piece
    // down to single sectors, so only the sectors that really fail stay bad.
    source_.setRetryTime(retrySeconds_ > 0 ? retrySeconds_ : kNoLimit);
    source_.setSkipAhead(false);
    for (const MediumRange& failed : stretches(map_, size_, RangeState::Skipped)) {
        for (std::int64_t at = failed.offset; at < failed.end();) {
            const std::int64_t n = std::min(kSplitBytes - at % kSplitBytes, failed.end() - at);
            bool unreadable = false;
            if (!copy(at, n, target, unreadable))
                return finish(End::WriteFailed);
            at += n;
            report(progress, "Splitting failed areas");
            if (const auto end = check())
                return finish(*end);
        }
    }
    return finish(End::Done);
}
