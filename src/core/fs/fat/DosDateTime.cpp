#include "fs/fat/DosDateTime.h"

#include <ctime>

DosStamp decodeDos(std::uint16_t date, std::uint16_t time) {
    return DosStamp{1980 + (date >> 9), (date >> 5) & 0x0F, date & 0x1F, time >> 11, (time >> 5) & 0x3F,
                    2 * (time & 0x1F)};
}

std::optional<std::time_t> dosDateTime(std::uint16_t date, std::uint16_t time) {
    const DosStamp s = decodeDos(date, time);
    if (s.month < 1 || s.month > 12 || s.day < 1 || s.hour > 23 || s.minute > 59 || s.second > 59)
        return std::nullopt;
    std::tm fields{};
    fields.tm_year = s.year - 1900;
    fields.tm_mon = s.month - 1;
    fields.tm_mday = s.day;
    fields.tm_hour = s.hour;
    fields.tm_min = s.minute;
    fields.tm_sec = s.second;
    return ::timegm(&fields);
}

EntryTime dosWallClock(std::uint16_t date, std::uint16_t time) {
    const auto seconds = dosDateTime(date, time);
    return seconds ? EntryTime::wallClock(*seconds) : EntryTime{};
}
