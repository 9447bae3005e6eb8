#pragma once
// DOS dates and times (FAT directory entries, exFAT timestamps) as calendar fields and as
// seconds since 1970.

#include <cstdint>
#include <ctime>
#include <optional>

#include "common/EntryTime.h"

/// A DOS date and time taken as they stand (no time-zone adjustment), as seconds since 1970;
/// nothing when the date is not a calendar date (month 0, day 0, hour 24 or more, ...).
std::optional<std::time_t> dosDateTime(std::uint16_t date, std::uint16_t time);
/// The same as an entry time of no known zone; unknown when it is not a calendar date.
EntryTime dosWallClock(std::uint16_t date, std::uint16_t time);
/// The calendar fields of a DOS date and time.
struct DosStamp {
    int year, month, day, hour, minute, second;
};
DosStamp decodeDos(std::uint16_t date, std::uint16_t time);
