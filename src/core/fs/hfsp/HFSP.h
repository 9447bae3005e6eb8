#pragma once
// The HFS+ (and HFSX) reader: reads the volume header, the extents overflow file and the catalog
// file over all their extents, collects the folder and file records of every catalog leaf node
// (Standard mode: every node of the catalog file, free ones too, so records left in them are
// found; Deep mode: every node-aligned position of the volume that looks like a catalog leaf),
// links them by parent ID, gives list texts and writes a file's data fork.
//
// Calling order: openVolume, readVolumeHeader, readExtentsOverflow, then readCatalogNodes
// (Standard) or scanCatalogNodes (Deep), parseCatalog, linkEntries. All on-disk values are
// untrusted: extents are checked against the volume, node sizes and record offsets against the
// node, and no allocation follows a size field beyond what the volume can hold.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/StopFlag.h"
#include "common/EntryTime.h"
#include "disk/VolumeRecord.h"
#include "disk/readWriteInterface.h"
#include "fs/AllocationMap.h"
#include "fs/FileContent.h"
#include "fs/ReaderInput.h"
#include "fs/hfsp/HfsEntry.h"
#include "fs/hfsp/HfsLayout.h"
#include "fs/hfsp/HfsNodeRecords.h"

class Notifier;
class ProgressSink;

class HFSP {
public:
    using Extent = std::pair<std::uint32_t, std::uint32_t>;  ///< start block, block count

    /// One accepted B-tree node: where it lies in the volume and its record offsets.
    struct NodeInfo {
        std::uint64_t offset = 0;  ///< Standard mode: node index in its file; Deep mode: byte offset in the volume
        std::int8_t kind = 0;
        std::uint8_t height = 0;
        std::vector<std::uint16_t> recordOffsets;
        /// The descriptor or the offset table lay in a sector the medium could not deliver: the
        /// records are looked for in the bytes that were read (kind presumed leaf when unknown).
        bool offsetsLost = false;
    };

    /// Takes the volume, the sinks and the stop from input.
    explicit HFSP(const ReaderInput& input);

    bool openVolume();
    /// Reads the 512-byte volume header at 1024. False when it cannot be read or names no usable
    /// block size (a power of two from 512 bytes up).
    bool readVolumeHeader();
    /// Standard mode: every node of the catalog file, in file order, across all its extents.
    bool readCatalogNodes();
    /// Deep mode: every node-aligned position of the volume tested as a catalog leaf node.
    bool scanCatalogNodes();
    /// Reads every node of the extents overflow file and keeps the data fork overflow extents.
    bool readExtentsOverflow();
    bool parseCatalog();
    bool linkEntries();

    /// Create, access and content modification times, and the permission text.
    EntryDetails details(const HfsEntry& entry) const;
    /// Where the data fork lies (its extents, then the overflow extents keyed by the CNID and the
    /// blocks listed so far), each block at its own offset, cut at the logical size; blocks
    /// outside the volume are holes.
    FileExtents contentExtents(const HfsEntry& entry) const;
    /// The blocks the allocation file marks in use (its first bit is block 0, highest bit first).
    /// Not known without a volume header or when the allocation file cannot be read.
    AllocationMap allocationMap();
    /// The data fork read through contentExtents, with the access and modification times.
    std::unique_ptr<FileContent> openContent(const HfsEntry& entry);

    std::uint64_t volumeSize = 0;  ///< bytes
    std::array<std::uint8_t, hfs_layout::kVolumeHeaderSize> volumeHeader{};
    std::uint64_t blockSize = 0;
    std::uint64_t volumeBlocks = 0;
    std::uint64_t catalogNodeSize = 0;
    std::uint64_t extentsNodeSize = 0;
    bool absoluteNodes = false;  ///< true after the whole-volume scan
    /// Some catalog node held sectors the medium could not deliver: records may be missing, so
    /// entries whose folder is not found go under ORPHAN_ENTRY instead of out of sight.
    bool catalogDamaged = false;
    std::uint32_t orphanKey = 0;
    std::map<std::uint32_t, HfsEntry> entryMap;
    /// (file ID, file-relative start block) -> the 8 data fork extents of that overflow record
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::array<Extent, 8>> overflowMap;
    std::vector<NodeInfo> catalogNodes;
    std::vector<NodeInfo> extentNodes;
    std::vector<Extent> catalogExtents;  ///< the catalog file: its 8 extents, then its overflow ones
    std::vector<Extent> extentsExtents;
    StopFlag stopFlag;
    VolumeRecord volume;

private:
    std::vector<Extent> forkExtents(unsigned forkOffset) const;
    /// Reads length bytes at byte `offset` of a fork given by its extents. False when any part
    /// lies outside the fork or the volume.
    bool readFork(const std::vector<Extent>& extents, std::uint64_t offset, std::vector<std::uint8_t>& buffer);
    /// The volume byte offset of fork byte `offset` when the node there lies in one extent, else 0.
    std::uint64_t forkToVolume(const std::vector<Extent>& extents, std::uint64_t offset, std::uint64_t length) const;
    bool readHeaderNode(const std::vector<Extent>& extents, std::uint64_t& nodeSize, std::uint32_t& totalNodes);
    bool walkNodes(const std::vector<Extent>& extents, std::uint64_t nodeSize, std::uint32_t totalNodes,
                   std::vector<NodeInfo>& nodes);
    /// The sectors of a node the medium failed to deliver: of the fork node at fork byte offset,
    /// or, without extents, of the node at that volume offset.
    hfs_records::NodeDamage nodeDamage(const std::vector<Extent>* extents, std::uint64_t offset, std::uint64_t size) const;
    static bool acceptNode(const std::uint8_t* node, std::size_t size, const hfs_records::NodeDamage& damage, NodeInfo& info);
    void parseNode(const std::vector<std::uint8_t>& node, const NodeInfo& info, std::uint64_t nodeOffset,
                   const hfs_records::NodeDamage& damage);

    readWriteInterface sectorSource_;  ///< the reader's own cursor on its volume
    ProgressSink& progress_;
    Notifier& notifier_;
};
