#pragma once
// Where a volume's clusters begin. A file system hands out whole clusters, so a file in pieces
// breaks at a cluster's end and goes on at another cluster's start: the carving engine looks for
// the rest of a broken photo only there. The grid comes from the boot sector when one is readable
// and agrees with where the found files begin, else from the files' starts alone.

#include <cstdint>
#include <optional>
#include <span>

#include "common/ByteView.h"

struct ClusterGeometry {
    std::uint64_t clusterBytes = 512;
    std::uint64_t offset = 0;  ///< where the clusters begin, modulo clusterBytes

    /// The cluster start at or before p, and at or after p.
    std::uint64_t startAtOrBefore(std::uint64_t p) const;
    std::uint64_t startAtOrAfter(std::uint64_t p) const;
    bool isStart(std::uint64_t p) const { return p % clusterBytes == offset; }
};

/// The clusters of a FAT12/16/32, exFAT or NTFS volume from its first sector; nothing when the
/// sector is none of these or its fields make no sense.
std::optional<ClusterGeometry> geometryFromBootSector(ByteView sector);

/// The largest cluster, 512 bytes to 1 MiB, at which at least nine in ten of starts begin at one
/// offset; nothing from fewer than eight starts, which may line up by chance.
std::optional<ClusterGeometry> geometryFromStarts(std::span<const std::uint64_t> starts);

/// The boot sector's grid when the starts do not contradict it, else the starts', else sectors.
ClusterGeometry chooseGeometry(const std::optional<ClusterGeometry>& boot, std::span<const std::uint64_t> starts);
