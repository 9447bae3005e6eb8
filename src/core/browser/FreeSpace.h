#pragma once
// The space a carve of free space searches: on a volume, what its file system's allocation map
// leaves free; on a whole disk, also what no partition covers. A volume whose map cannot be read
// is searched whole, and the plan says so, with the reason.

#include <cstdint>
#include <string>
#include <vector>

#include "browser/ReaderRegistry.h"
#include "common/VolumeSpans.h"

struct FreeSpacePlan {
    std::vector<VolumeSpan> spans;   ///< normal, from the volume's (or disk's) first byte
    std::vector<std::string> notes;  ///< one line for each volume searched whole, saying why
};

/// The free space of a scanned volume of volumeBytes: what its allocation map leaves free, or the
/// whole volume (and a note) when the map cannot be read.
FreeSpacePlan volumeFreeSpace(EntryView& view, std::uint64_t volumeBytes);

/// The free space of a whole disk (disk: the context its source and length come from):
/// the stretches no partition covers, and in each partition what its file system leaves free;
/// a partition without a file system a reader knows is searched whole, without a note.
FreeSpacePlan diskFreeSpace(const std::vector<VolumeRecord>& partitions, const ReaderContext& disk);
