#pragma once
// What a reader knows of an entry beside its name and size, as values: its times and its
// attribute text. Front ends format the times: the file list as the product always showed them,
// machine output (jsonl, tsv, reports) as ISO 8601 UTC.

#include <cstdint>
#include <string>

struct EntryTime {
    /// How the file system keeps the time. Instant: a point in time (NTFS, ext, HFS+), shown in
    /// local time. WallClock: a calendar date and time of no known zone (FAT, exFAT); the value
    /// takes it as UTC, as a save sets file times, and the list shows it as stored. WallDate: the
    /// same without a time of day (the FAT access date).
    enum class Form : std::uint8_t { Unknown, Instant, WallClock, WallDate };

    std::int64_t seconds = 0;  ///< since 1970-01-01 00:00 UTC
    Form form = Form::Unknown;

    bool known() const { return form != Form::Unknown; }
    static EntryTime instant(std::int64_t seconds) { return {seconds, Form::Instant}; }
    static EntryTime wallClock(std::int64_t seconds) { return {seconds, Form::WallClock}; }
    static EntryTime wallDate(std::int64_t seconds) { return {seconds, Form::WallDate}; }
    bool operator==(const EntryTime&) const = default;
};

struct EntryDetails {
    EntryTime created;
    EntryTime accessed;
    EntryTime modified;
    std::string attributes;  ///< the reader's attribute or permission text ("-R-A", "-OR-GR", ...)
};
