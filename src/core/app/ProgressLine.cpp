#include "app/ProgressLine.h"

#include <algorithm>
#include <cstdio>

namespace {
std::string printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
}  // namespace

std::string durationText(double seconds) {
    const auto s = static_cast<long long>(std::max(seconds, 0.0) + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

std::string progressLineText(double fraction, double seconds, double bytesPerSecond, std::int64_t found) {
    fraction = std::clamp(fraction, 0.0, 1.0);
    std::string line = printed("%5.1f%%", fraction * 100);
    if (bytesPerSecond >= 0)
        line += printed("  %.1f MB/s", bytesPerSecond / (1024.0 * 1024.0));
    if (fraction > 0.001 && fraction < 1.0 && seconds >= 1.0)
        line += "  " + durationText(seconds * (1.0 - fraction) / fraction) + " left";
    if (found >= 0)
        line += "  " + std::to_string(found) + (found == 1 ? " file found" : " files found");
    return line;
}
