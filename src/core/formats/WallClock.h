#pragma once
// A date and time as a file's metadata gives it. Cameras write their own clock's reading with no
// zone, so the time is kept as that reading: a name shows it as written, and a saved file's
// modification time is that reading in this machine's zone (so a file manager here shows the
// camera's clock). Movie headers count seconds in UTC; they are turned into this machine's clock.

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace formats {

struct WallClock {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;

    /// "2019-06-02 12.03.00": sorts by time, and holds no ':' (which some file systems refuse).
    std::string nameText() const;
    /// The reading as a moment in this machine's zone; nothing where the system cannot say.
    std::optional<std::time_t> localTime() const;
    friend bool operator==(const WallClock&, const WallClock&) = default;
};

/// "YYYY:MM:DD HH:MM:SS" as EXIF writes it (also with '-' between date parts); nothing for a
/// blank or zero date, or one no calendar holds.
std::optional<WallClock> parseExifTime(std::string_view text);
/// Seconds since 1904-01-01 00:00 UTC (ISO media and QuickTime headers) on this machine's clock;
/// nothing for 0 (not set) and for dates before 1970 or after 9999.
std::optional<WallClock> wallClockFromMacTime(std::uint64_t seconds);

}  // namespace formats
