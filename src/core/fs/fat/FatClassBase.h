#pragma once
// What Fat16Class and Fat32Class share: the volume's collaborators, the cluster geometry, the
// directory walk that turns 32-byte slots into FatEntry records (long names, short names,
// deleted entries), the linking step, the content writer and the advanced candidate build.
// A reader lives for one scan and owns its entry list; records never move after linkEntries.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/StopFlag.h"
#include "common/ByteView.h"
#include "disk/VolumeRecord.h"
#include "fs/fat/FatEntry.h"
#include "fs/fat/FatTable.h"

struct ApplicationState;
class ProgressSink;
class readWriteInterface;

class FatClassBase {
public:
    FatClassBase(ApplicationState& app, ProgressSink& progress);
    virtual ~FatClassBase() = default;
    FatClassBase(const FatClassBase&) = delete;
    FatClassBase& operator=(const FatClassBase&) = delete;

    // Set by the creating page before use.
    VolumeRecord volume;         ///< startSector places the volume on the source
    std::int64_t totalBytes = 0; ///< the volume's length in bytes
    StopFlag stopFlag;

    /// Keeps the source, sets its origin offset to the volume's first byte and seeks to 0.
    bool openVolume(readWriteInterface& source);
    /// Reads the boot sector and tests it; true when the volume is of this reader's kind.
    virtual bool readBootSector() = 0;

    /// Fills firstChild and nextSibling of every record in list order (progress 0..1000).
    void linkEntries();
    /// Writes entry's content to outputPath (created or replaced) and sets its access and
    /// modification times. Live files follow their FAT chain; deleted files (whose chain is
    /// freed) and every file on a formatted drive are taken from consecutive clusters from the
    /// first one up to the size. False when the target could not be created or written.
    bool writeEntryContent(const std::string& outputPath, const FatEntry& entry);

    /// Searches the volume for FAT starts (up to maxCount); appends them to fatPositions and
    /// returns a copy of that list.
    std::vector<std::uint64_t> findFatPositions(std::int64_t maxCount);
    std::vector<std::uint64_t> fatPositions;

    std::vector<FatEntry>& entryList() { return entries_; }
    const std::vector<FatEntry>& entryList() const { return entries_; }

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
    void walkQueuedDirectories();
    /// Walks one directory: its first cluster must start with a '.' entry; live directories
    /// follow their chain, deleted ones (and all on a formatted drive) give their first cluster.
    void walkDirectory(const DirectoryTask& task);
    /// Walks a chain of clusters as one directory without the dot-entry rule (FAT32 root).
    void walkClusterChain(std::uint32_t firstCluster, DirectoryState& state);
    std::string shortName(ByteView slot, bool directory) const;
    virtual bool isFat32Reader() const { return false; }
    bool chainContinues() const;

    ApplicationState& app_;
    ProgressSink& progress_;
    readWriteInterface* source_ = nullptr;
    WalkRules rules_;
    FatTable fat_;
    std::uint64_t clusterLength_ = 0;
    std::uint64_t dataOffset_ = 0;
    std::vector<FatEntry> entries_;
    std::unordered_set<std::uint32_t> visitedClusters_;
    std::deque<DirectoryTask> pendingDirectories_;
    std::uint64_t clustersWalked_ = 0;
};
