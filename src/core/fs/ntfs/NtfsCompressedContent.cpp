#include "fs/ntfs/NtfsCompressedContent.h"

#include <algorithm>
#include <cstring>

#include "fs/ntfs/Lznt1.h"

NtfsCompressedContent::NtfsCompressedContent(readWriteInterface& source, const std::vector<RunPair>& runs,
                                             std::uint64_t clusterSize, std::uint64_t unitClusters, std::uint64_t realSize,
                                             std::uint64_t budget, ContentTimes times)
    : FileContent(realSize, true, times), source_(source), clusterSize_(clusterSize), unitClusters_(unitClusters),
      runs_(runs), stored_(unitClusters * clusterSize), unit_(unitClusters * clusterSize) {
    const std::uint64_t unitBytes = unitClusters * clusterSize;
    const std::uint64_t total = realSize;
    std::size_t runIndex = 0;
    std::uint64_t inRun = 0;  // clusters of runs[runIndex] already consumed
    for (std::uint64_t at = 0; at < total;) {
        if (runIndex >= runs.size())
            break;  // past the run list everything is a hole
        // A long hole is skipped whole instead of unit by unit.
        if (runs[runIndex].sparse && runs[runIndex].clusterCount - inRun >= unitClusters) {
            const std::uint64_t units = (runs[runIndex].clusterCount - inRun) / unitClusters;
            inRun += units * unitClusters;
            at = units > (total - at) / unitBytes ? total : at + units * unitBytes;
            if (inRun == runs[runIndex].clusterCount) {
                ++runIndex;
                inRun = 0;
            }
            continue;
        }
        Unit unit{at, runIndex, inRun, 0};
        for (std::uint64_t s = 0; s < unitClusters; ++s) {
            while (runIndex < runs.size() && inRun >= runs[runIndex].clusterCount) {
                ++runIndex;
                inRun = 0;
            }
            if (runIndex >= runs.size())
                continue;
            if (!runs[runIndex].sparse)
                unit.used = s + 1;
            ++inRun;
        }
        // No file holds more allocated bytes than the volume: what lies past that stays zeros.
        if (unit.used > 0 && unit.used * clusterSize > budget)
            break;
        if (unit.used > 0) {
            budget -= unit.used * clusterSize;
            units_.push_back(unit);
        }
        at += std::min(unitBytes, total - at);
    }
}

std::uint64_t NtfsCompressedContent::unitEnd(const Unit& unit) const {
    return unit.fileOffset + std::min(unitClusters_ * clusterSize_, length() - unit.fileOffset);
}

const std::uint8_t* NtfsCompressedContent::decode(std::size_t unitIndex) {
    if (decoded_ == unitIndex)
        return decodedBytes_;
    const Unit& unit = units_[unitIndex];
    std::fill(stored_.begin(), stored_.end(), 0);
    std::size_t runIndex = unit.runIndex;
    std::uint64_t inRun = unit.inRun;
    for (std::uint64_t s = 0; s < unit.used; ++s) {
        while (runIndex < runs_.size() && inRun >= runs_[runIndex].clusterCount) {
            ++runIndex;
            inRun = 0;
        }
        if (runIndex >= runs_.size())
            break;
        const RunPair& run = runs_[runIndex];
        const std::int64_t cluster = run.sparse ? 0 : run.startCluster + static_cast<std::int64_t>(inRun);
        if (cluster != 0)
            readVolumeBytes(source_, static_cast<std::uint64_t>(cluster) * clusterSize_, stored_.data() + s * clusterSize_,
                            clusterSize_);
        ++inRun;
    }
    decodedBytes_ = stored_.data();
    if (unit.used < unitClusters_) {
        // A unit that needs fewer clusters than it covers holds LZNT1 data.
        const Lznt1Result result = lznt1Decompress(ByteView(stored_.data(), unit.used * clusterSize_), unit_.data(), unit_.size());
        std::fill(unit_.begin() + static_cast<std::ptrdiff_t>(result.produced), unit_.end(), 0);
        decodedBytes_ = unit_.data();
    }
    decoded_ = unitIndex;
    return decodedBytes_;
}

std::size_t NtfsCompressedContent::read(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset >= length())
        return 0;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, length() - offset));
    std::memset(out, 0, n);
    const std::uint64_t end = offset + n;
    auto unit = std::upper_bound(units_.begin(), units_.end(), offset,
                                 [this](std::uint64_t at, const Unit& u) { return at < unitEnd(u); });
    for (; unit != units_.end() && unit->fileOffset < end; ++unit) {
        const std::uint8_t* bytes = decode(static_cast<std::size_t>(unit - units_.begin()));
        const std::uint64_t from = std::max(offset, unit->fileOffset);
        const std::uint64_t to = std::min(end, unitEnd(*unit));
        std::memcpy(out + (from - offset), bytes + (from - unit->fileOffset), static_cast<std::size_t>(to - from));
    }
    return n;
}

std::pair<std::uint64_t, std::uint64_t> NtfsCompressedContent::dataAfter(std::uint64_t offset) const {
    const auto unit = std::upper_bound(units_.begin(), units_.end(), offset,
                                       [this](std::uint64_t at, const Unit& u) { return at < unitEnd(u); });
    if (unit == units_.end())
        return {length(), length()};
    // Units that follow each other are one range, so a copy reads them in large pieces.
    std::uint64_t end = unitEnd(*unit);
    for (auto next = unit + 1; next != units_.end() && next->fileOffset == end; ++next)
        end = unitEnd(*next);
    return {std::max(offset, unit->fileOffset), end};
}
