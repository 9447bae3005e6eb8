#include "browser/ListTextFormat.h"

#include "common/TextFormat.h"

std::string formatListTime(int month, int day, int year, int hour, int minute) {
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
