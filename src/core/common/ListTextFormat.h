#pragma once
// The list texts every reader shows in the file list's time and size columns. One implementation,
// so that a file looks the same whichever file system it came from.

#include <cstdint>
#include <ctime>
#include <string>

/// "MM/DD/YYYY  hh:mm AM" for hours 0 to 12 (printed as they are, so 00:10 and 12:30 are AM) and
/// "MM/DD/YYYY  hh:mm PM" with the hour less 12 for hours 13 to 23. month is 1..12, hour 0..23.
std::string formatListTime(int month, int day, int year, int hour, int minute);

/// The same text for a time as seconds since 1970 (UTC), shown in local time with the current
/// time-zone rules. Empty when the time cannot be represented as a calendar date.
std::string formatListTime(std::time_t time);

/// "MM/DD/YYYY" for dates that carry no time of day (the FAT access date).
std::string formatListDate(int month, int day, int year);

/// "%.2f GB" from 2^30 bytes up, else "%.2f MB" from 2^20, else "%.2f KB" from 2^10 (the value
/// divided by that power), else "%lld Bytes".
std::string formatListSize(std::uint64_t bytes);
