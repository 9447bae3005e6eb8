#pragma once
// Which bytes of a volume its file system holds as allocated, read from the file system's own
// map: the FAT (FAT12/16/32), the allocation bitmap (exFAT), $Bitmap (NTFS), the block bitmaps
// (ext2/3/4), the allocation file (HFS+). What lies outside it is free space, where the bytes of
// deleted files wait until something new is written over them. A map that cannot be read says
// why, and the caller treats the whole volume as possibly holding lost files.

#include <cstdint>
#include <string>
#include <vector>

#include "common/ByteView.h"
#include "common/VolumeSpans.h"

struct AllocationMap {
    std::vector<VolumeSpan> allocated;  ///< normal, inside the volume
    std::string unreadable;             ///< why the map could not be read; empty when it was

    bool known() const { return unreadable.empty(); }
    static AllocationMap notRead(std::string why) { return {{}, std::move(why)}; }
    /// What of the volume's volumeBytes the map leaves free; the whole volume when the map is not known.
    std::vector<VolumeSpan> freeSpans(std::uint64_t volumeBytes) const;
};

/// Collects a map from spans and allocation bitmaps, cut to the volume.
class AllocationBuilder {
public:
    explicit AllocationBuilder(std::uint64_t volumeBytes) : volumeBytes_(volumeBytes) {}

    void addSpan(std::uint64_t offset, std::uint64_t length);
    /// Units firstUnit .. firstUnit + count - 1 of a bitmap (bit set: allocated), unit u lying at
    /// unitsOffset + u * unitBytes on the volume. msbFirst: the first unit of each byte is its
    /// highest bit (HFS+), else its lowest (exFAT, NTFS, ext). Units the bitmap does not hold
    /// (it is shorter than count) count as free: what the map cannot vouch for is searched.
    void addBitmap(ByteView bits, std::uint64_t firstUnit, std::uint64_t count, std::uint64_t unitsOffset,
                   std::uint64_t unitBytes, bool msbFirst = false);
    AllocationMap finish();

private:
    std::uint64_t volumeBytes_;
    std::vector<VolumeSpan> spans_;
};
