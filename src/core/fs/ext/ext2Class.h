#pragma once
// The ext2/3/4 ("extX") reader: finds the superblock, reads the group descriptors and every inode
// table once, walks the directories to name the inodes, and links them into a tree under ROOT
// (key 2). It also gives the list texts of an entry and writes a file's content.
//
// Calling order on the scan thread: openVolume; set volumeSize; findSuperblock and
// readGroupDescriptors (both must succeed); collectInodes, readDirectories, buildEntryMap,
// linkEntries. Everything read from the volume is untrusted: block numbers are checked against
// the volume, extent trees are depth-capped, directory records are bounds-checked, and memory is
// bounded by the volume's real size.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "app/StopFlag.h"
#include "common/EntryTime.h"
#include "disk/VolumeRecord.h"
#include "disk/readWriteInterface.h"
#include "fs/AllocationMap.h"
#include "fs/FileContent.h"
#include "fs/ReaderInput.h"
#include "fs/ext/ExtBlockMap.h"
#include "fs/ext/ExtEntry.h"
#include "fs/ext/ExtLayout.h"

class Notifier;
class ProgressSink;

class ext2Class {
public:
    /// Takes the volume, the sinks and the stop from input.
    explicit ext2Class(const ReaderInput& input);

    /// Places the reader's cursor at its volume's first byte; false when the seek fails.
    bool openVolume();
    /// Searches for a valid superblock from byte 1024 in 512-byte steps (only when volumeSize
    /// > 1536) and announces ext2/3/4 by its read-only-compatible features.
    bool findSuperblock();
    /// Reads the group descriptor table behind the superblock's block. False when it lies outside
    /// the volume or cannot be read.
    bool readGroupDescriptors();
    /// Reads every group's inode table once and makes one record per inode slot.
    void collectInodes();
    /// Walks the blocks of every directory inode and names the inodes it lists. False when there
    /// are no inode records.
    bool readDirectories();
    /// Makes the record at key 2 ROOT, with the root directory's times.
    void buildEntryMap();
    /// Links every entry under its parent (children end up highest key first).
    void linkEntries();

    /// Access, modification and (ext4 large inodes) creation times, and the permission text.
    EntryDetails details(const ExtEntry& entry);
    /// A symbolic link's target: from i_block for a short link, else from its first data block.
    /// Empty when it cannot be read.
    std::string linkTarget(const ExtEntry& entry);
    /// Where the file's content lies: every mapped block at its own offset, unwritten extents as
    /// holes, cut at the file's size; inode gets the inode's bytes. None when the inode cannot be
    /// read.
    std::optional<FileExtents> contentExtents(const ExtEntry& entry, std::vector<std::uint8_t>& inode);
    /// The file's content read through contentExtents, with the inode's access and modification
    /// times; null when the inode cannot be read.
    std::unique_ptr<FileContent> openContent(const ExtEntry& entry);
    /// The blocks the groups' block bitmaps mark in use, and every group's bitmaps and inode
    /// table. A group whose bitmap was never written (BLOCK_UNINIT) holds no data; one whose
    /// bitmap cannot be read is left free, to be searched. Not known without group descriptors
    /// or on bigalloc volumes.
    AllocationMap allocationMap();
    /// The extents of block runs: each run's blocks at their logical offsets, cut at size.
    FileExtents runExtents(const std::vector<ExtBlockRun>& runs, std::uint64_t size) const;
    /// Content read through runExtents, with those access and modification times.
    std::unique_ptr<FileContent> openRuns(const std::vector<ExtBlockRun>& runs, std::uint64_t size, std::uint32_t accessTime,
                                          std::uint32_t modifyTime);

    std::uint64_t volumeSize = 0;  ///< bytes of the volume
    bool hasFileType = false;
    bool isExt4 = false;
    std::uint64_t superblockOffset = 0;
    std::uint32_t groupCount = 0;
    std::uint32_t inodesCount = 0;
    std::uint64_t bytesPerGroup = 0;
    std::uint32_t blockSize = 0;
    std::uint32_t blocksPerGroup = 0;
    std::uint32_t inodeSize = 0;
    std::uint32_t inodesPerGroup = 0;
    std::uint32_t descriptorSize = ext_layout::kGdSmallSize;
    std::uint64_t blocksCount = 0;  ///< blocks the volume really holds (the smaller of the superblock's and the medium's)
    std::array<std::uint8_t, ext_layout::kSuperblockSize> superblock{};
    std::vector<std::uint8_t> groupDescriptors;
    StopFlag stopFlag;
    /// One record per inode slot, keyed by inode number - 1 (ROOT at key 2); only the named
    /// ones are listed. The one store the walks, the tree and the listing read.
    std::vector<ExtEntry> inodeRecords;
    /// The listed record at key (named, or ROOT), or null.
    const ExtEntry* listedEntry(std::uint64_t key) const {
        return key < inodeRecords.size() && inodeRecords[key].named() ? &inodeRecords[key] : nullptr;
    }
    /// A record's name (empty when it has none).
    std::string_view entryName(const ExtEntry& entry) const {
        return std::string_view(names_).substr(std::min<std::size_t>(entry.nameOffset, names_.size()), entry.nameLength);
    }
    std::uint32_t inodeBase = 0;
    VolumeRecord volume;

    using BlockRun = ExtBlockRun;
    /// The runs of an inode's data (block map or extent tree), in logical order as stored, each
    /// inside the volume; logical blocks at or past limitBlocks are dropped.
    std::vector<BlockRun> mapBlocks(const std::uint8_t* inode, std::uint64_t limitBlocks);
    /// The block mapper over this volume's own blocks.
    ExtBlockMap blockMap();
    /// Reads one block of the volume; false past the volume's end or when unreadable.
    bool readBlock(std::uint64_t block, std::vector<std::uint8_t>& buffer);
    /// Reads inode `number` (1-based) from the inode table as it is now.
    bool readInodeNumber(std::uint32_t number, std::vector<std::uint8_t>& inode);
    /// The first block of group `group`'s inode table (0 when the group does not exist).
    std::uint64_t inodeTableBlock(std::uint32_t group) const;
    /// Directory inodes met while reading the tables, with their first 128 bytes.
    struct DirectoryInode {
        std::uint32_t inodeIndex;
        std::array<std::uint8_t, ext_layout::kMinInodeSize> bytes;
    };
    const std::vector<DirectoryInode>& directoryInodes() const { return directories_; }
    const std::unordered_set<std::uint64_t>& walkedDirectoryBlocks() const { return walkedDirectoryBlocks_; }

private:
    bool readInode(const ExtEntry& entry, std::vector<std::uint8_t>& inode);
    void walkDirectoryBlock(const std::vector<std::uint8_t>& block);
    /// Gives the inode a name from a directory entry in the folder being walked.
    void nameInode(ExtEntry& record, std::string_view name);

    readWriteInterface sectorSource_;  ///< the reader's own cursor on its volume
    ProgressSink& progress_;
    Notifier& notifier_;
    std::string names_;  ///< every record's name, one after another
    std::vector<DirectoryInode> directories_;  ///< directory inodes met while reading the tables
    std::unordered_set<std::uint64_t> walkedDirectoryBlocks_;  ///< each directory block is walked once
    std::uint32_t currentParent_ = 0;
    bool firstEntryMet_ = false;
};
