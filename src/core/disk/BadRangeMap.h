#pragma once
// What a run has learnt of the medium, byte range by byte range: read, unreadable, or skipped
// over without retrying. Positions are absolute on the medium (the origin offset is not taken
// off), so one map serves every volume of a disk. Written out in the rescue mapfile format that
// imaging tools read and write, so a user can go on from it with such a tool.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

/// The status characters of the mapfile format.
enum class RangeState : char {
    Unread = '?',    ///< never asked for (not stored: what the map does not hold)
    Read = '+',      ///< read as it is on the medium
    Skipped = '*',   ///< failed and skipped without retrying sector by sector; zeros were served
    Bad = '-',       ///< failed sector by sector; zeros were served
};

struct MediumRange {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    RangeState state = RangeState::Read;
    std::int64_t end() const { return offset + length; }
    bool operator==(const MediumRange&) const = default;
};

class BadRangeMap {
public:
    /// Marks [offset, offset + length) as state, over whatever was known of it, merging it with
    /// neighbours of the same state. Nothing for a length of 0 or less.
    void mark(std::int64_t offset, std::int64_t length, RangeState state);
    /// The first unreadable (Bad or Skipped) range that overlaps [offset, offset + length), or
    /// nothing.
    std::optional<MediumRange> firstUnreadable(std::int64_t offset, std::int64_t length) const;
    /// Bytes of [offset, offset + length) in unreadable (Bad or Skipped) ranges.
    std::int64_t unreadableWithin(std::int64_t offset, std::int64_t length) const;
    /// The unreadable ranges (Bad and Skipped), in order; neighbours of either state are joined.
    std::vector<MediumRange> unreadable() const;
    /// The Skipped ranges, in order.
    std::vector<MediumRange> skipped() const;
    /// Every range the map holds, in order, each with its own state (what lies between them is
    /// Unread).
    std::vector<MediumRange> ranges() const;
    /// Bytes in Bad and Skipped ranges.
    std::int64_t unreadableBytes() const { return unreadableBytes_; }
    /// "<n> bytes could not be read (<k> ranges); they were taken as zeros", or nothing when
    /// every byte asked for was read.
    std::string unreadableSummary() const;
    void clear();

    /// The mapfile text for a medium of mediumSize bytes: comment lines, the current position
    /// line, then one line per block from 0 to mediumSize ('?' where the run read nothing).
    std::string mapfileText(std::int64_t mediumSize, const std::string& commandLine) const;

private:
    struct Stored {
        std::int64_t end;
        RangeState state;
    };
    void add(std::int64_t offset, std::int64_t end, RangeState state);
    std::map<std::int64_t, Stored> ranges_;  ///< by first byte; never overlapping
    std::int64_t unreadableBytes_ = 0;
    std::vector<MediumRange> statesOf(bool (*wanted)(RangeState)) const;
};
