#pragma once
// How times and sizes are written for people and for machines. One implementation for both
// front ends, so that a file looks the same whichever file system or front end shows it. The
// readers hand over values; only the front ends call these.

#include <cstdint>
#include <ctime>
#include <string>

#include "common/EntryTime.h"

/// "MM/DD/YYYY  hh:mm AM" for hours 0 to 12 (printed as they are, so 00:10 and 12:30 are AM) and
/// "MM/DD/YYYY  hh:mm PM" with the hour less 12 for hours 13 to 23. month is 1..12, hour 0..23.
std::string formatListTime(int month, int day, int year, int hour, int minute);

/// The same text for a time as seconds since 1970 (UTC), shown in local time with the current
/// time-zone rules. Empty when the time cannot be represented as a calendar date.
std::string formatListTime(std::time_t time);

/// "MM/DD/YYYY" for dates that carry no time of day (the FAT access date).
std::string formatListDate(int month, int day, int year);

/// The file list's text of an entry time: an instant in local time, a wall-clock time or date as
/// stored; empty when unknown.
std::string formatListTime(const EntryTime& time);

/// "2019-06-02T12:03:00Z": the time in UTC with seconds; empty when unknown or out of range.
std::string isoUtcTime(const EntryTime& time);
std::string isoUtcTime(std::time_t time);

/// "%.2f GB" from 2^30 bytes up, else "%.2f MB" from 2^20, else "%.2f KB" from 2^10 (the value
/// divided by that power), else "%lld Bytes".
std::string formatListSize(std::uint64_t bytes);
