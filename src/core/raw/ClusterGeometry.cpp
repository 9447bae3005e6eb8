#include "raw/ClusterGeometry.h"

#include <algorithm>
#include <bit>
#include <map>

#include "fs/fat/FatLayout.h"

namespace {
constexpr std::uint64_t kSmallest = 512;
constexpr std::uint64_t kLargest = 1024 * 1024;
constexpr std::size_t kFewestStarts = 8;

bool plausible(std::uint64_t sectorBytes, std::uint64_t clusterBytes) {
    return sectorBytes >= 512 && sectorBytes <= 4096 && std::has_single_bit(sectorBytes) && clusterBytes >= sectorBytes &&
           clusterBytes <= 32 * 1024 * 1024 && std::has_single_bit(clusterBytes);
}

/// How many of starts begin at geometry's cluster starts.
std::size_t aligned(const ClusterGeometry& geometry, std::span<const std::uint64_t> starts) {
    return static_cast<std::size_t>(
        std::count_if(starts.begin(), starts.end(), [&](std::uint64_t s) { return geometry.isStart(s); }));
}
}  // namespace

std::uint64_t ClusterGeometry::startAtOrBefore(std::uint64_t p) const {
    if (p < offset)
        return 0;
    return p - (p - offset) % clusterBytes;
}

std::uint64_t ClusterGeometry::startAtOrAfter(std::uint64_t p) const {
    if (p <= offset)
        return offset;
    const std::uint64_t within = (p - offset) % clusterBytes;
    return within == 0 ? p : p + (clusterBytes - within);
}

std::optional<ClusterGeometry> geometryFromBootSector(ByteView b) {
    namespace L = fat_layout;
    if (b.size() < 512 || b.u8(510) != 0x55 || b.u8(511) != 0xAA)
        return std::nullopt;
    if (b.matches(L::kExfatName, "EXFAT   ")) {
        const unsigned sectorShift = b.u8(L::kExfatBytesPerSectorShift), clusterShift = b.u8(L::kExfatSectorsPerClusterShift);
        if (sectorShift < 9 || sectorShift > 12 || clusterShift > 25 - sectorShift)
            return std::nullopt;
        const std::uint64_t sector = std::uint64_t{1} << sectorShift, cluster = sector << clusterShift;
        return ClusterGeometry{cluster, b.le32(L::kExfatHeapOffset) * sector % cluster};
    }
    const std::uint64_t sector = b.le16(L::kBytesPerSector), cluster = sector * b.u8(L::kSectorsPerCluster);
    if (!plausible(sector, cluster))
        return std::nullopt;
    if (b.matches(3, "NTFS    "))
        return ClusterGeometry{cluster, 0};  // NTFS counts its clusters from the volume's first byte
    const std::uint64_t fats = b.u8(L::kFatCount), reserved = b.le16(L::kReservedSectors);
    const std::uint64_t fatSectors = b.le16(L::kSectorsPerFat16) != 0 ? b.le16(L::kSectorsPerFat16) : b.le32(L::kSectorsPerFat32);
    if (fats == 0 || fats > 2 || reserved == 0 || fatSectors == 0)
        return std::nullopt;
    const std::uint64_t rootBytes = std::uint64_t{b.le16(L::kRootEntryCount)} * L::kSlotSize;
    const std::uint64_t rootSectors = (rootBytes + sector - 1) / sector;
    const std::uint64_t dataStart = (reserved + fats * fatSectors + rootSectors) * sector;
    return ClusterGeometry{cluster, dataStart % cluster};
}

std::optional<ClusterGeometry> geometryFromStarts(std::span<const std::uint64_t> starts) {
    if (starts.size() < kFewestStarts)
        return std::nullopt;
    for (std::uint64_t cluster = kLargest; cluster >= kSmallest; cluster /= 2) {
        std::map<std::uint64_t, std::size_t> offsets;
        for (const std::uint64_t s : starts)
            ++offsets[s % cluster];
        const auto best = std::max_element(offsets.begin(), offsets.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
        if (best->second * 10 >= starts.size() * 9)
            return ClusterGeometry{cluster, best->first};
    }
    return std::nullopt;
}

ClusterGeometry chooseGeometry(const std::optional<ClusterGeometry>& boot, std::span<const std::uint64_t> starts) {
    // A card formatted again with other settings keeps the photos on the old grid: the starts
    // tell, once there are enough of them.
    if (boot && (starts.size() < kFewestStarts || aligned(*boot, starts) * 10 >= starts.size() * 9))
        return *boot;
    if (const auto learnt = geometryFromStarts(starts))
        return *learnt;
    return ClusterGeometry{};
}
