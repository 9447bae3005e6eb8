#pragma once
// The content of an LZNT1-compressed NTFS stream: the file is cut in compression units; a unit
// stored in fewer clusters than it covers holds LZNT1 data, a unit stored in all of them is kept
// as is, a unit with no cluster is a hole. Units are decoded one at a time as they are read.

#include <cstdint>
#include <cstddef>
#include <vector>

#include "fs/FileContent.h"
#include "fs/ntfs/ntfs.h"

class NtfsCompressedContent final : public FileContent {
public:
    /// runs: the stream's runs in VCN order; unitClusters: clusters per compression unit;
    /// realSize: the stream's length; budget: the bytes the units may read at most (what the
    /// volume holds: units past it are left as zeros).
    NtfsCompressedContent(readWriteInterface& source, const std::vector<RunPair>& runs, std::uint64_t clusterSize,
                          std::uint64_t unitClusters, std::uint64_t realSize, std::uint64_t budget, ContentTimes times);

    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;
    std::pair<std::uint64_t, std::uint64_t> dataAfter(std::uint64_t offset) const override;

private:
    struct Unit {
        std::uint64_t fileOffset = 0;
        std::size_t runIndex = 0;  ///< where its first slot lies in runs_
        std::uint64_t inRun = 0;   ///< clusters of that run before it
        std::uint64_t used = 0;    ///< slots up to and including the last allocated one
    };
    std::uint64_t unitEnd(const Unit& unit) const;
    /// The unit's bytes as the file holds them (kept for the next read of the same unit).
    const std::uint8_t* decode(std::size_t unitIndex);

    readWriteInterface& source_;
    std::uint64_t clusterSize_;
    std::uint64_t unitClusters_;
    std::vector<RunPair> runs_;
    std::vector<Unit> units_;  ///< the units holding clusters, in file order
    std::vector<std::uint8_t> stored_;
    std::vector<std::uint8_t> unit_;
    std::size_t decoded_ = SIZE_MAX;  ///< the unit decodedBytes_ holds
    const std::uint8_t* decodedBytes_ = nullptr;
};
