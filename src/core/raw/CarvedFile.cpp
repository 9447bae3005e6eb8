#include "raw/CarvedFile.h"

#include <algorithm>

const char* carvedStatusText(CarvedStatus status) {
    switch (status) {
    case CarvedStatus::Whole:
        return "whole";
    case CarvedStatus::Damaged:
        return "damaged";
    case CarvedStatus::Approximate:
        break;
    }
    return "approximate";
}

std::string carvedFileStatusText(const CarvedFile& file) {
    std::string text = carvedStatusText(file.status);
    if (file.reassembled)
        text += ", reassembled from " + std::to_string(file.runs.size()) + " pieces";
    return text;
}

std::uint64_t CarvedFile::length() const { return runsLength(runs); }

std::uint64_t runsLength(std::span<const CarvedRun> runs) {
    std::uint64_t bytes = 0;
    for (const CarvedRun& run : runs)
        bytes += run.length;
    return bytes;
}

std::vector<CarvedRun> runsWithinVolume(std::span<const CarvedRun> runs, std::uint64_t volumeBytes) {
    std::vector<CarvedRun> within;
    for (const CarvedRun& run : runs) {
        if (run.start >= volumeBytes)
            break;
        const std::uint64_t length = std::min(run.length, volumeBytes - run.start);
        if (length > 0)
            within.push_back({run.start, length});
        if (length < run.length)
            break;
    }
    return within;
}
