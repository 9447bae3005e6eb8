#pragma once
// What Fat16Class and Fat32Class share: the volume's collaborators, the cluster geometry, the
// directory walk that turns 32-byte slots into FatEntry records (long names, short names,
// deleted entries), the linking step, the content writer and the advanced candidate build.
// A reader lives for one scan and owns its entry list; records never move after linkEntries.

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/StopFlag.h"
#include "common/ByteView.h"
#include "disk/VolumeRecord.h"
#include "disk/readWriteInterface.h"
#include "fs/AllocationMap.h"
#include "fs/FileContent.h"
#include "fs/ReaderInput.h"
#include "fs/fat/FatEntry.h"
#include "fs/fat/FatTable.h"

class ProgressSink;

class FatClassBase {
public:
    /// Takes the volume, its length, the progress sink, the stop and the "formatted" choice from
    /// input; openVolume then opens the volume.
    explicit FatClassBase(const ReaderInput& input);
    virtual ~FatClassBase() = default;
    FatClassBase(const FatClassBase&) = delete;
    FatClassBase& operator=(const FatClassBase&) = delete;

    VolumeRecord volume;
    std::int64_t totalBytes = 0; ///< the volume's length in bytes
    StopFlag stopFlag;

    /// Reads through the reader's own cursor on the volume, from its byte 0.
    bool openVolume();
    /// Reads the boot sector and tests it; true when the volume is of this reader's kind.
    virtual bool readBootSector() = 0;

    /// Fills firstChild and nextSibling of every record in list order (progress 0..1000).
    void linkEntries();
    /// Where entry's content lies. Live files follow their FAT chain; deleted files (whose chain
    /// is freed) and every file on a formatted drive are taken from consecutive clusters from the
    /// first one up to the size. Never reaches past the volume (the file is then not whole).
    FileExtents contentExtents(const FatEntry& entry);
    /// entry's content read through contentExtents, with its access and modification times.
    std::unique_ptr<FileContent> openContent(const FatEntry& entry);
    /// The reserved sectors, the FATs and the root region, and every cluster whose FAT entry is
    /// not free. Not known on an assumed geometry (Advanced) or when the FAT cannot be read.
    AllocationMap allocationMap();

    /// Searches the volume for FAT starts (up to maxCount); appends them to fatPositions and
    /// returns a copy of that list.
    std::vector<std::uint64_t> findFatPositions(std::int64_t maxCount);
    std::vector<std::uint64_t> fatPositions;

    std::vector<FatEntry>& entryList() { return entries_; }
    const std::vector<FatEntry>& entryList() const { return entries_; }

    // --- Advanced mode: no boot sector; an assumed geometry and a disk-wide candidate scan. ---
    /// One slot the disk scan took for a directory entry (its absolute position) and what it
    /// points at.
    struct Candidate {
        std::uint64_t position = 0;
        std::uint32_t firstCluster = 0;
        bool directory = false;
    };
    /// The '.' and '..' pair that begins a directory's first cluster: where it lies and the
    /// clusters it names tie the cluster numbers to byte positions.
    struct DotPair {
        std::uint64_t position = 0;
        std::uint32_t self = 0;
        std::uint32_t parent = 0;
    };
    /// Raises the advanced flag and assumes 512-byte sectors, sectorsPerCluster and the FAT at
    /// fatPosition (a byte offset found by findFatPositions). The data area is settled after
    /// the scan, from the directory clusters it found.
    void setAssumedGeometry(std::uint32_t sectorsPerCluster, std::uint64_t fatPosition);
    /// Reads the whole volume and collects the slots that look like directory entries (progress,
    /// status texts and stop as the scan reports them).
    void scanDirectoryEntries();
    /// Builds the entry list: "DUMMY ENTRY", "ORPHAN ENTRY", the tree reachable from the root,
    /// then every candidate no directory walk reached, under "ORPHAN ENTRY". Returns a copy.
    std::vector<FatEntry> buildFromCandidates();
    bool advanced() const { return advanced_; }
    const std::vector<Candidate>& candidates() const { return candidates_; }
    std::uint64_t rootDirectoryOffset() const { return advancedRootOffset_; }

    std::uint64_t clusterLength() const { return clusterLength_; }
    std::uint64_t dataAreaOffset() const { return dataOffset_; }
    std::uint32_t clusterLimit() const { return fat_.clusterLimit(); }

protected:
    /// How the two FAT readers differ in their directory walks.
    struct WalkRules {
        bool zeroEndsCluster = false;  ///< FAT32: a 0x00 slot ends the cluster's walk
        bool trimFileNames = false;    ///< FAT32: trailing blanks and dots leave short file names
    };

    struct DirectoryTask {
        std::uint32_t recordIndex = 0;
        std::uint32_t firstCluster = 0;
        bool deleted = false;
    };

    /// The slot-walk state of one directory, kept across its clusters so a long name that
    /// straddles a cluster boundary is still whole.
    struct DirectoryState {
        std::uint32_t parentIndex = 0;
        bool isRoot = false;
        std::vector<std::string> nameParts;  ///< parts in slot order (last part of the name first)
        bool runDeleted = false;
        std::uint8_t runChecksum = 0;
        std::map<std::uint32_t, std::uint32_t> firstClusterRecords;  ///< directory first cluster -> record
    };

    /// Offset of cluster c from the volume start.
    std::uint64_t clusterOffset(std::uint32_t c) const { return dataOffset_ + (static_cast<std::uint64_t>(c) - 2) * clusterLength_; }
    /// Reads cluster c into buffer (resized to one cluster). A short read leaves zeros.
    void readCluster(std::uint32_t c, std::vector<unsigned char>& buffer);
    void appendDummyEntry();
    /// Walks the slots of one piece of a directory, appending records and queueing the
    /// subdirectories found.
    void walkSlots(ByteView piece, DirectoryState& state);
    /// Walks the queued directories until none is left (or stop is set). Each cluster is walked
    /// once per reader; chains are followed to their end.
    void walkQueuedDirectories(bool reportProgress = true);
    /// Walks one directory: its first cluster must start with a '.' entry; live directories
    /// follow their chain, deleted ones (and all on a formatted drive) give their first cluster.
    void walkDirectory(const DirectoryTask& task);
    /// Walks a chain of clusters as one directory without the dot-entry rule (FAT32 root).
    void walkClusterChain(std::uint32_t firstCluster, DirectoryState& state);
    std::string shortName(ByteView slot, bool directory) const;
    virtual bool isFat32Reader() const { return false; }
    bool chainContinues() const;

    ProgressSink& progress_;
    bool formatted_;
    readWriteInterface cursor_;
    readWriteInterface* source_ = nullptr;  ///< the cursor once the volume is open
    WalkRules rules_;
    FatTable fat_;
    std::uint64_t clusterLength_ = 0;
    std::uint64_t dataOffset_ = 0;
    std::vector<FatEntry> entries_;
    std::unordered_set<std::uint32_t> visitedClusters_;
    std::deque<DirectoryTask> pendingDirectories_;
    std::uint64_t clustersWalked_ = 0;

    // Advanced mode.
    /// Candidate and dot-pair lists never grow past this (hostile bytes could make every slot one).
    static constexpr std::size_t kMaxCandidates = 4'000'000;
    bool advanced_ = false;
    std::uint64_t assumedFatPosition_ = 0;
    std::vector<Candidate> candidates_;
    std::vector<DotPair> dots_;
    std::uint64_t rootMarkPosition_ = UINT64_MAX;  ///< FAT32: the first volume-label or recycle slot
    std::uint64_t advancedRootOffset_ = 0;         ///< FAT12/16: start of the fixed root region
    std::uint32_t advancedRootCluster_ = 2;        ///< FAT32: first cluster of the root
    /// The length of the volume as far as it can be read: totalBytes, cut to the source's length.
    std::uint64_t readableBytes() const;
    void settleAssumedGeometry();
    void buildOrphans();
    void walkSingleEntry(std::uint64_t position, std::uint32_t parentIndex);
};
