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

std::string isoUtcTime(std::time_t time) {
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
