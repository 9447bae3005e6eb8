#include "formats/WallClock.h"

#include <cstdio>

namespace formats {
namespace {
bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysIn(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

bool plausible(const WallClock& c) {
    return c.year >= 1900 && c.year <= 9999 && c.month >= 1 && c.month <= 12 && c.day >= 1 &&
           c.day <= daysIn(c.year, c.month) && c.hour >= 0 && c.hour <= 23 && c.minute >= 0 && c.minute <= 59 &&
           c.second >= 0 && c.second <= 60;
}

/// The digits at text[at, at + n) as a number, or -1 when any is no digit.
int digits(std::string_view text, std::size_t at, std::size_t n) {
    if (at + n > text.size())
        return -1;
    int v = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        v = v * 10 + (text[i] - '0');
    }
    return v;
}
}  // namespace

std::string WallClock::nameText() const {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d.%02d.%02d", year, month, day, hour, minute, second);
    return text;
}

std::optional<std::time_t> WallClock::localTime() const {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;  // the zone's own rule for that date
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && !(year == 1969 && month == 12 && day == 31))
        return std::nullopt;
    return t;
}

std::optional<WallClock> parseExifTime(std::string_view text) {
    if (text.size() < 19)
        return std::nullopt;
    const auto separator = [&](std::size_t at, std::string_view allowed) {
        return allowed.find(text[at]) != std::string_view::npos;
    };
    if (!separator(4, ":-") || !separator(7, ":-") || !separator(10, " T") || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const WallClock c{digits(text, 0, 4),  digits(text, 5, 2),  digits(text, 8, 2),
                      digits(text, 11, 2), digits(text, 14, 2), digits(text, 17, 2)};
    if (!plausible(c))
        return std::nullopt;
    return c;
}

std::optional<WallClock> wallClockFromMacTime(std::uint64_t seconds) {
    constexpr std::uint64_t kMacToUnix = 2082844800;  // 1904-01-01 to 1970-01-01
    constexpr std::uint64_t kLatest = 253402300799;   // 9999-12-31 23:59:59 UTC
    if (seconds <= kMacToUnix || seconds - kMacToUnix > kLatest)
        return std::nullopt;
    const auto t = static_cast<std::time_t>(seconds - kMacToUnix);
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr)
        return std::nullopt;
    const WallClock c{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
    if (!plausible(c))
        return std::nullopt;
    return c;
}

}  // namespace formats
