#include "common/ListTextFormat.h"

#include "common/TextFormat.h"

namespace {
void appendTwoDigits(std::string& text, int value) {
    text += static_cast<char>('0' + value / 10);
    text += static_cast<char>('0' + value % 10);
}
}  // namespace

std::string formatListTime(int month, int day, int year, int hour, int minute) {
    // Listing a large volume formats three times per entry: the usual ranges are written digit
    // by digit, anything else goes through the general formatter below.
    const int shownHour = hour <= 12 ? hour : hour - 12;
    const auto inTwoDigits = [](int value) { return value >= 0 && value <= 99; };
    if (inTwoDigits(month) && inTwoDigits(day) && inTwoDigits(shownHour) && inTwoDigits(minute) && year >= 1000 &&
        year <= 9999) {
        std::string text;
        text.reserve(20);
        appendTwoDigits(text, month);
        text += '/';
        appendTwoDigits(text, day);
        text += '/';
        appendTwoDigits(text, year / 100);
        appendTwoDigits(text, year % 100);
        text += "  ";
        appendTwoDigits(text, shownHour);
        text += ':';
        appendTwoDigits(text, minute);
        text += hour <= 12 ? " AM" : " PM";
        return text;
    }
    if (hour <= 12)
        return formatText("%02d/%02d/%d  %02d:%02d AM", month, day, year, hour, minute);
    return formatText("%02d/%02d/%d  %02d:%02d PM", month, day, year, hour - 12, minute);
}

std::string formatListTime(std::time_t time) {
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr)
        return {};
    return formatListTime(local.tm_mon + 1, local.tm_mday, local.tm_year + 1900, local.tm_hour, local.tm_min);
}

std::string formatListDate(int month, int day, int year) {
    return formatText("%02d/%02d/%d", month, day, year);
}

std::string formatListTime(const EntryTime& time) {
    const auto seconds = static_cast<std::time_t>(time.seconds);
    std::tm fields{};
    switch (time.form) {
    case EntryTime::Form::Unknown: return {};
    case EntryTime::Form::Instant: return formatListTime(seconds);
    case EntryTime::Form::WallClock:
        if (gmtime_r(&seconds, &fields) == nullptr)
            return {};
        return formatListTime(fields.tm_mon + 1, fields.tm_mday, fields.tm_year + 1900, fields.tm_hour, fields.tm_min);
    case EntryTime::Form::WallDate:
        if (gmtime_r(&seconds, &fields) == nullptr)
            return {};
        return formatListDate(fields.tm_mon + 1, fields.tm_mday, fields.tm_year + 1900);
    }
    return {};
}

namespace {
/// The proleptic Gregorian date of a day counted from 1970-01-01 (negative before it).
struct CivilDate {
    std::int64_t year;
    unsigned month, day;
};
CivilDate civilFromDays(std::int64_t days) {
    days += 719468;  // from 0000-03-01, so that a leap day ends its year
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    return {static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

void putDigits(char* at, unsigned value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10)
        at[i] = static_cast<char>('0' + value % 10);
}
}  // namespace

std::string isoUtcTime(std::time_t time) {
    // A listing prints three times per entry: the fields are worked out here rather than through
    // gmtime_r and printf, which made up half the time of listing a large volume.
    constexpr std::int64_t kDaySeconds = 86400;
    const std::int64_t seconds = time;
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - (kDaySeconds - 1)) / kDaySeconds;
    const auto ofDay = static_cast<unsigned>(seconds - days * kDaySeconds);
    const CivilDate date = civilFromDays(days);
    if (date.year >= 0 && date.year <= 9999) {
        char text[] = "0000-00-00T00:00:00Z";
        putDigits(text, static_cast<unsigned>(date.year), 4);
        putDigits(text + 5, date.month, 2);
        putDigits(text + 8, date.day, 2);
        putDigits(text + 11, ofDay / 3600, 2);
        putDigits(text + 14, ofDay / 60 % 60, 2);
        putDigits(text + 17, ofDay % 60, 2);
        return std::string(text, sizeof text - 1);
    }
    std::tm fields{};
    if (gmtime_r(&time, &fields) == nullptr)
        return {};
    return formatText("%04d-%02d-%02dT%02d:%02d:%02dZ", fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                      fields.tm_hour, fields.tm_min, fields.tm_sec);
}

std::string isoUtcTime(const EntryTime& time) {
    return time.known() ? isoUtcTime(static_cast<std::time_t>(time.seconds)) : std::string();
}

std::string formatListSize(std::uint64_t bytes) {
    constexpr std::uint64_t kKiB = 1ULL << 10, kMiB = 1ULL << 20, kGiB = 1ULL << 30;
    const double value = static_cast<double>(bytes);
    if (bytes >= kGiB)
        return formatText("%.2f GB", value / static_cast<double>(kGiB));
    if (bytes >= kMiB)
        return formatText("%.2f MB", value / static_cast<double>(kMiB));
    if (bytes >= kKiB)
        return formatText("%.2f KB", value / static_cast<double>(kKiB));
    return formatText("%lld Bytes", static_cast<long long>(bytes));
}
