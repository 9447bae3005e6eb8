#pragma once
// The words of a long run's progress, the same on the terminal and in the window:
// " 42.0%  85.3 MB/s  1:20 left  37 files found".

#include <cstdint>
#include <string>

/// fraction of the work done, seconds since it began, bytes per second and files found
/// (negative: not shown). The time left is a guess from the pace so far: none in the first
/// second, none once done.
std::string progressLineText(double fraction, double seconds, double bytesPerSecond, std::int64_t found);

/// "m:ss", or "h:mm:ss" from an hour on.
std::string durationText(double seconds);
