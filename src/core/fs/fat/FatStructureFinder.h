#pragma once
// The searches for lost FAT structures: every 512-byte boundary of the volume is tested for the
// fixed first entries of a FAT (or, for exFAT, a candidate cluster-heap start), reading the
// volume in 10 MiB pieces, until the maximum count is reached, the volume ends or stop is set.

#include <cstdint>
#include <string_view>
#include <vector>

class ProgressSink;
class StopFlag;
class readWriteInterface;

enum class FinderKind { Fat16, Fat32, ExfatFat, ExfatHeap };

/// Appends the byte offsets found to list (from the volume's first byte) and returns a copy of
/// it. Progress and status texts as each search reports them; the heap search clears the stop
/// flag when it starts, the FAT12/16 search when the flag ends it.
std::vector<std::uint64_t> findStructures(FinderKind kind, readWriteInterface& source, std::int64_t totalBytes,
                                          std::int64_t maxCount, StopFlag& stop, ProgressSink& progress,
                                          std::vector<std::uint64_t>& list);
