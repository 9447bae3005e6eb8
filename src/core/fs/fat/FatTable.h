#pragma once
// FAT lookups for the FAT family readers: entries of 12, 16 or 32 bits read through a cache of
// FAT blocks, so a walk reads each part of the FAT once however its chains jump around, and no
// more of the FAT is held than the chains touch.

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class readWriteInterface;

class FatTable {
public:
    /// The value a lookup returns when the chain cannot go on (cluster outside the table).
    static constexpr std::uint32_t kChainEnd = 0xFFFFFFFF;

    /// bits is 12, 16 or 32 (exFAT: 32 unmasked). clusterLimit: one past the highest cluster
    /// the volume has; lookups and chains never leave [2, clusterLimit).
    void configure(readWriteInterface* source, std::uint64_t fatOffset, std::uint64_t fatBytes, int bits,
                   std::uint32_t clusterLimit, bool maskTo28Bits);
    /// The raw FAT value of cluster c, or kChainEnd when c is outside the volume or the table.
    std::uint32_t entry(std::uint32_t c);
    /// The next cluster of a chain, or 0 when the chain ends here (end mark, free, bad, or a
    /// value outside the volume).
    std::uint32_t next(std::uint32_t c);
    bool validCluster(std::uint32_t c) const { return c >= 2 && c < clusterLimit_; }
    /// The clusters of the chain from first, in order: at most maxClusters, ending where the
    /// chain ends or meets a cluster it met before. With visited, a cluster met by any walk
    /// before (listed there) ends it too, and the chain's clusters are added. contiguous: the
    /// clusters after first in order, as a file without a FAT chain (or a freed one) lies.
    std::vector<std::uint32_t> chain(std::uint32_t first, std::uint64_t maxClusters, bool contiguous = false,
                                     std::unordered_set<std::uint32_t>* visited = nullptr);
    std::uint32_t clusterLimit() const { return clusterLimit_; }
    int bits() const { return bits_; }
    std::uint64_t fatOffset() const { return fatOffset_; }

private:
    std::uint8_t byteAt(std::uint64_t offset);
    static constexpr std::uint32_t kBlockBytes = 64 * 1024;
    static constexpr std::size_t kMaxBlocks = 256;  // 16 MiB of FAT at most

    readWriteInterface* source_ = nullptr;
    std::uint64_t fatOffset_ = 0;
    std::uint64_t fatBytes_ = 0;
    int bits_ = 32;
    bool mask_ = true;
    std::uint32_t clusterLimit_ = 0;
    std::unordered_map<std::uint64_t, std::vector<unsigned char>> blocks_;
};

/// How far a FAT-family volume can be read: its stated length (totalBytes, when positive), cut
/// to what the source holds past its origin offset.
std::uint64_t readableVolumeBytes(std::int64_t totalBytes, const readWriteInterface* source);
