#include "disk/BadRangeMap.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "common/TextFormat.h"

namespace {
bool isUnreadable(RangeState state) { return state == RangeState::Bad || state == RangeState::Skipped; }
bool isSkipped(RangeState state) { return state == RangeState::Skipped; }
}  // namespace

std::string BadRangeMap::unreadableSummary() const {
    if (unreadableBytes_ == 0)
        return {};
    const std::size_t ranges = unreadable().size();
    return formatText("%lld bytes could not be read (%zu range%s); they were taken as zeros",
                      static_cast<long long>(unreadableBytes_), ranges, ranges == 1 ? "" : "s");
}

void BadRangeMap::clear() {
    ranges_.clear();
    unreadableBytes_ = 0;
}

void BadRangeMap::add(std::int64_t offset, std::int64_t end, RangeState state) {
    if (end <= offset)
        return;
    ranges_[offset] = Stored{end, state};
    if (isUnreadable(state))
        unreadableBytes_ += end - offset;
}

void BadRangeMap::mark(std::int64_t offset, std::int64_t length, RangeState state) {
    std::int64_t end = 0;
    if (length <= 0 || offset < 0 || __builtin_add_overflow(offset, length, &end) || state == RangeState::Unread)
        return;
    // Take out what overlaps, keeping the parts of cut ranges that lie outside.
    auto it = ranges_.lower_bound(offset);
    if (it != ranges_.begin() && std::prev(it)->second.end > offset)
        --it;
    while (it != ranges_.end() && it->first < end) {
        const std::int64_t from = it->first;
        const Stored old = it->second;
        if (isUnreadable(old.state))
            unreadableBytes_ -= old.end - from;
        it = ranges_.erase(it);
        add(from, std::min(old.end, offset), old.state);
        add(std::max(from, end), old.end, old.state);
    }
    // Join neighbours of the same state, so sequential reads stay one range.
    auto after = ranges_.find(end);
    if (after != ranges_.end() && after->second.state == state) {
        end = after->second.end;
        if (isUnreadable(state))
            unreadableBytes_ -= after->second.end - after->first;
        ranges_.erase(after);
    }
    auto before = ranges_.lower_bound(offset);
    if (before != ranges_.begin()) {
        --before;
        if (before->second.end == offset && before->second.state == state) {
            offset = before->first;
            if (isUnreadable(state))
                unreadableBytes_ -= before->second.end - before->first;
            ranges_.erase(before);
        }
    }
    add(offset, end, state);
}

std::optional<MediumRange> BadRangeMap::firstUnreadable(std::int64_t offset, std::int64_t length) const {
    if (unreadableBytes_ == 0 || length <= 0)
        return std::nullopt;
    const std::int64_t end = offset + length;
    auto it = ranges_.upper_bound(offset);
    if (it != ranges_.begin())
        --it;
    for (; it != ranges_.end() && it->first < end; ++it) {
        if (it->second.end > offset && isUnreadable(it->second.state))
            return MediumRange{it->first, it->second.end - it->first, it->second.state};
    }
    return std::nullopt;
}

std::int64_t BadRangeMap::unreadableWithin(std::int64_t offset, std::int64_t length) const {
    if (unreadableBytes_ == 0 || length <= 0)
        return 0;
    const std::int64_t end = offset + length;
    std::int64_t bytes = 0;
    auto it = ranges_.upper_bound(offset);
    if (it != ranges_.begin())
        --it;
    for (; it != ranges_.end() && it->first < end; ++it) {
        if (isUnreadable(it->second.state))
            bytes += std::max<std::int64_t>(0, std::min(end, it->second.end) - std::max(offset, it->first));
    }
    return bytes;
}

std::vector<MediumRange> BadRangeMap::statesOf(bool (*wanted)(RangeState)) const {
    std::vector<MediumRange> found;
    for (const auto& [from, stored] : ranges_) {
        if (!wanted(stored.state))
            continue;
        if (!found.empty() && found.back().end() == from)
            found.back().length += stored.end - from;
        else
            found.push_back({from, stored.end - from, stored.state});
    }
    return found;
}

std::vector<MediumRange> BadRangeMap::unreadable() const { return statesOf(isUnreadable); }
std::vector<MediumRange> BadRangeMap::skipped() const { return statesOf(isSkipped); }

std::vector<MediumRange> BadRangeMap::ranges() const {
    std::vector<MediumRange> all;
    all.reserve(ranges_.size());
    for (const auto& [from, stored] : ranges_)
        all.push_back({from, stored.end - from, stored.state});
    return all;
}

std::string BadRangeMap::mapfileText(std::int64_t mediumSize, const std::string& commandLine) const {
    std::string text;
    char line[128];
    const std::time_t now = std::time(nullptr);
    char stamp[32] = "";
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
    text += "# Mapfile. Created by pictorva\n";
    text += "# Command line: " + commandLine + "\n";
    text += std::string("# Current time: ") + stamp + "\n";
    text += "# Finished\n";
    text += "# current_pos  current_status  current_pass\n";
    std::snprintf(line, sizeof line, "0x%08" PRIX64 "     +               1\n", static_cast<std::uint64_t>(0));
    text += line;
    text += "#      pos        size  status\n";
    std::int64_t at = 0;
    auto block = [&](std::int64_t from, std::int64_t to, RangeState state) {
        if (to <= from)
            return;
        std::snprintf(line, sizeof line, "0x%08" PRIX64 "  0x%08" PRIX64 "  %c\n", static_cast<std::uint64_t>(from),
                      static_cast<std::uint64_t>(to - from), static_cast<char>(state));
        text += line;
    };
    for (const auto& [from, stored] : ranges_) {
        if (from >= mediumSize)
            break;
        block(at, from, RangeState::Unread);
        const std::int64_t to = std::min(stored.end, mediumSize);
        block(from, to, stored.state);
        at = to;
    }
    block(at, mediumSize, RangeState::Unread);
    return text;
}
