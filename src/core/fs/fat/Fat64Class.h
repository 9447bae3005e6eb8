#pragma once
// The exFAT ("fat64") reader: lists the file entry sets of an exFAT volume, live and deleted, as
// ExfatEntry records with parent links, and writes any listed entry's content to a file.
// Standard mode: openVolume, readBootSector, readRootDirectory, walkRootDirectory, linkEntries.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/StopFlag.h"
#include "common/EntryTime.h"
#include "disk/VolumeRecord.h"
#include "disk/readWriteInterface.h"
#include "fs/AllocationMap.h"
#include "fs/FileContent.h"
#include "fs/ReaderInput.h"
#include "fs/fat/ExfatEntry.h"
#include "fs/fat/FatTable.h"

class ProgressSink;

class Fat64Class {
public:
    /// As FatClassBase: the volume, its length, the progress sink, the stop and the "formatted"
    /// choice from input; openVolume then opens the volume.
    explicit Fat64Class(const ReaderInput& input);
    Fat64Class(const Fat64Class&) = delete;
    Fat64Class& operator=(const Fat64Class&) = delete;

    VolumeRecord volume;
    std::int64_t totalBytes = 0;
    StopFlag stopFlag;

    bool openVolume();
    /// True when bytes 3 to 7 are "EXFAT" and the sector and cluster shifts are sane.
    bool readBootSector();
    /// True when the root directory's first cluster lies inside the volume.
    bool readRootDirectory();
    /// Builds the entry list from the whole root chain down; returns a copy of it.
    std::vector<ExfatEntry> walkRootDirectory();
    void linkEntries();
    /// Where the validDataLength bytes lie: along the FAT chain, or in consecutive clusters when
    /// the set says there is no chain, when it is deleted (its chain is freed) or on a formatted
    /// drive. Never past the volume's end (the file is then not whole).
    FileExtents contentExtents(const ExfatEntry& entry);
    /// entry's content read through contentExtents, with its access and modification times.
    std::unique_ptr<FileContent> openContent(const ExfatEntry& entry);
    /// Everything before the cluster heap, and the clusters the allocation bitmap (named in the
    /// root directory) marks used. Not known on an assumed geometry (Advanced) or without a
    /// readable bitmap.
    AllocationMap allocationMap();

    /// Creation, last access and last modification times as stored (the UTC offset fields are
    /// not applied), and the attribute text.
    static EntryDetails entryDetails(const ExfatEntry& entry);

    /// The searches for exFAT FAT starts and cluster-heap candidates (up to maxCount each);
    /// each appends to its list and returns a copy of it.
    std::vector<std::uint64_t> findFatPositions(std::int64_t maxCount);
    std::vector<std::uint64_t> findHeapOffsets(std::int64_t maxCount);
    std::vector<std::uint64_t> fatPositions;
    std::vector<std::uint64_t> heapOffsets;

    // --- Advanced mode: no boot sector; an assumed geometry and a disk-wide scan for sets. ---
    /// A file entry set the scan found: its position and where its data lies.
    struct SetCandidate {
        std::uint64_t position = 0;
        std::uint32_t firstCluster = 0;
        std::uint64_t length = 0;
        bool directory = false;
        bool contiguous = false;
    };
    /// Raises the advanced flag; clusters are 512 << sectorsPerClusterShift bytes.
    void setAssumedGeometry(std::uint32_t sectorsPerClusterShift);
    /// Reads the whole volume for file entry sets (progress 0..1000, "found Entry %d ", stop).
    void scanEntrySets();
    /// Builds the entry list on heap offset H and the FAT at P: "DUMMY ENTRY", "ORPHAN ENTRY",
    /// the tree from the root the scan found, then the sets no walk reached under "ORPHAN ENTRY".
    std::vector<ExfatEntry> buildFromCandidates(std::uint64_t heapOffset, std::uint64_t fatPosition);
    /// How many of the folder sets found (up to 64) have a file entry set at the start of their
    /// first cluster when the cluster heap starts at heapOffset: 0 for a heap that cannot be
    /// this volume's. Call after scanEntrySets.
    std::size_t heapAgreement(std::uint64_t heapOffset);
    const std::vector<SetCandidate>& candidates() const { return candidates_; }
    std::uint64_t heapOffset() const { return heapOffset_; }
    std::uint32_t sectorsPerClusterShift() const { return spcShift_; }
    std::uint64_t clusterLength() const { return clusterLength_; }
    bool advanced() const { return advanced_; }

    std::vector<ExfatEntry>& entryList() { return entries_; }
    const std::vector<ExfatEntry>& entryList() const { return entries_; }

private:
    std::uint64_t readableBytes() const;
    struct DirectoryTask {
        std::uint32_t recordIndex = 0;
        std::uint32_t firstCluster = 0;
        std::uint64_t length = 0;
        bool contiguous = false;
    };
    /// The clusters of a file or directory, in order, each once, bounded by the volume.
    std::vector<std::uint32_t> clustersOf(std::uint32_t first, std::uint64_t length, bool contiguous, bool useVisited);
    void walkDirectory(const DirectoryTask& task);
    void walkSets(const std::vector<unsigned char>& bytes, std::uint32_t parentIndex);
    /// Walks the queued directories until none is left or stop is set.
    void walkPending(bool reportProgress);
    void buildOrphans();
    std::uint64_t clusterOffset(std::uint32_t c) const {
        return heapOffset_ + (static_cast<std::uint64_t>(c) - 2) * clusterLength_;
    }

    bool formatted_;
    ProgressSink& progress_;
    readWriteInterface cursor_;
    readWriteInterface* source_ = nullptr;  ///< the cursor once the volume is open
    FatTable fat_;
    std::uint64_t clusterLength_ = 0;
    std::uint64_t heapOffset_ = 0;
    std::uint32_t rootCluster_ = 0;
    std::vector<ExfatEntry> entries_;
    std::unordered_set<std::uint32_t> visitedClusters_;
    std::deque<DirectoryTask> pending_;
    /// The scan keeps no more sets than this (hostile bytes could make every slot one).
    static constexpr std::size_t kMaxCandidates = 4'000'000;
    std::uint32_t spcShift_ = 0;
    bool advanced_ = false;
    std::vector<SetCandidate> candidates_;
    std::uint64_t rootPosition_ = UINT64_MAX;  ///< the first volume-label or bitmap entry found
};
