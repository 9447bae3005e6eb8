#include "output/RunSummary.h"

std::string runCountsText(std::int64_t partial, const std::string& notes, std::optional<std::int64_t> notWhole) {
    std::string text;
    if (partial > 0)
        text += ", " + std::to_string(partial) + " partial";
    text += notes;
    if (notWhole)
        text += ", " + std::to_string(*notWhole) + " pictures left out as not whole";
    return text;
}

std::string foundByContentText(std::int64_t found) { return ", " + std::to_string(found) + " of them found by content"; }
