#pragma once
// The last step of the FAT and exFAT readers' advanced build: what the disk scan found and no
// directory walk reached is walked as an orphan, below "ORPHAN ENTRY".

#include <algorithm>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "app/ProgressSink.h"
#include "app/StopFlag.h"

/// Walks the found entries (each with a byte position and a directory flag) that lie in the
/// cluster area from areaStart and whose cluster no walk has met yet (visited, which the walks
/// fill as they go): folders first, those in no cluster a found folder leads to (owned) before
/// the rest, then files. walkOne(candidate) walks one and returns false when it found nothing
/// to walk there. Ends early on stop; progress 0..1000.
template <typename Candidate, typename WalkOne>
void walkOrphans(const std::vector<Candidate>& candidates, std::uint64_t areaStart, std::uint64_t clusterLength,
                 const std::unordered_set<std::uint32_t>& owned, const std::unordered_set<std::uint32_t>& visited,
                 const StopFlag& stop, ProgressSink& progress, WalkOne walkOne) {
    progress.setRange(0, 1000);
    const std::size_t count = candidates.size();
    for (int pass = 0; pass < 3; ++pass) {
        for (std::size_t i = 0; i < count && !stop.isSet(); ++i) {
            const Candidate& c = candidates[i];
            if (c.directory != (pass < 2) || c.position < areaStart)
                continue;
            const auto home =
                static_cast<std::uint32_t>(std::min<std::uint64_t>(2 + (c.position - areaStart) / clusterLength, UINT32_MAX));
            if (visited.count(home) != 0 || (pass == 0 && owned.count(home) != 0))
                continue;
            if (!walkOne(c))
                continue;
            if (count > 1000 && i % (count / 1000) == 0)
                progress.setPosition(static_cast<std::int64_t>((pass * count + i) * 1000 / (3 * count)));
        }
    }
    progress.setPosition(1000);
}
