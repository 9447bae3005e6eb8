#include "fs/hfsp/HFSP.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <unordered_set>

#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "common/ByteView.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"

using namespace hfs_layout;

namespace {
constexpr std::uint64_t kScanChunkBytes = 52428800;  // the deep scan reads 50 MiB at a time

bool isPowerOfTwo(std::uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

/// A key's UTF-16BE name as UTF-8; NUL units (HFS+ private folder names) show as '^'.
std::string nameText(const ByteView& node, std::uint64_t at, unsigned units) {
    std::vector<unsigned char> le(static_cast<std::size_t>(units) * 2);
    for (unsigned i = 0; i < units; ++i) {
        std::uint16_t unit = node.be16(at + 2ull * i);
        if (unit == 0)
            unit = '^';
        le[2 * i] = static_cast<unsigned char>(unit & 0xFF);
        le[2 * i + 1] = static_cast<unsigned char>(unit >> 8);
    }
    return utf16leToUtf8(le.data(), units);
}

std::time_t unixTime(std::uint32_t hfsSeconds) {
    return static_cast<std::time_t>(static_cast<std::int64_t>(hfsSeconds) - kHfsEpochToUnix);
}
}  // namespace

HFSP::HFSP(const ReaderInput& input)
    : volume(input.volume), sectorSource_(input.source), progress_(input.progress), notifier_(input.notifier) {
    input.attach(stopFlag);
}

bool HFSP::openVolume() {
    return true;
}

bool HFSP::readVolumeHeader() {
    volumeHeader.fill(0);
    if (!sectorSource_.readAt(static_cast<std::int64_t>(kVolumeHeaderOffset), volumeHeader.data(), kVolumeHeaderSize))
        return false;
    const ByteView header(volumeHeader.data(), volumeHeader.size());
    blockSize = header.be32(kBlockSize);
    if (blockSize < 512 || !isPowerOfTwo(blockSize) || volumeSize < blockSize)
        return false;
    volumeBlocks = volumeSize / blockSize;
    catalogExtents = forkExtents(kCatalogFork);
    extentsExtents = forkExtents(kExtentsFork);
    return true;
}

std::vector<HFSP::Extent> HFSP::forkExtents(unsigned forkOffset) const {
    const ByteView header(volumeHeader.data(), volumeHeader.size());
    std::vector<Extent> extents;
    for (unsigned i = 0; i < kExtentCount; ++i) {
        const std::uint64_t at = forkOffset + kForkExtents + i * kExtentSize;
        const std::uint32_t start = header.be32(at);
        const std::uint32_t count = header.be32(at + 4);
        if (count == 0)
            break;
        if (start == 0 || start >= volumeBlocks)
            break;  // a fork's extents are contiguous in the record: one outside ends it
        extents.emplace_back(start, static_cast<std::uint32_t>(std::min<std::uint64_t>(count, volumeBlocks - start)));
    }
    return extents;
}

std::uint64_t HFSP::forkToVolume(const std::vector<Extent>& extents, std::uint64_t offset, std::uint64_t length) const {
    std::uint64_t forkPos = 0;
    for (const auto& [start, count] : extents) {
        const std::uint64_t bytes = static_cast<std::uint64_t>(count) * blockSize;
        if (offset < forkPos + bytes)
            return offset + length <= forkPos + bytes ? start * blockSize + (offset - forkPos) : 0;
        forkPos += bytes;
    }
    return 0;
}

bool HFSP::readFork(const std::vector<Extent>& extents, std::uint64_t offset, std::vector<std::uint8_t>& buffer) {
    std::fill(buffer.begin(), buffer.end(), 0);
    std::uint64_t forkPos = 0, done = 0;
    for (const auto& [start, count] : extents) {
        if (done == buffer.size())
            break;
        const std::uint64_t bytes = static_cast<std::uint64_t>(count) * blockSize;
        const std::uint64_t want = offset + done;
        if (want < forkPos + bytes) {
            const std::uint64_t piece = std::min<std::uint64_t>(forkPos + bytes - want, buffer.size() - done);
            if (!sectorSource_.readAt(static_cast<std::int64_t>(start * blockSize + (want - forkPos)), buffer.data() + done,
                                      static_cast<std::uint32_t>(piece)))
                return false;
            done += piece;
        }
        forkPos += bytes;
    }
    return done == buffer.size();
}

bool HFSP::readHeaderNode(const std::vector<Extent>& extents, std::uint64_t& nodeSize, std::uint32_t& totalNodes) {
    std::vector<std::uint8_t> head(kMinNodeSize);
    if (extents.empty() || !readFork(extents, 0, head))
        return false;
    const ByteView node(head.data(), head.size());
    if (static_cast<std::int8_t>(node.u8(kNodeKind)) != kKindHeader)
        return false;
    nodeSize = node.be16(kHeaderRecord + kHeaderNodeSize);
    if (nodeSize < kMinNodeSize || nodeSize > kMaxNodeSize || !isPowerOfTwo(nodeSize))
        return false;
    std::uint64_t forkBytes = 0;
    for (const auto& extent : extents)
        forkBytes += static_cast<std::uint64_t>(extent.second) * blockSize;
    // Never more nodes than the file's extents hold, whatever the header claims.
    totalNodes = static_cast<std::uint32_t>(std::min<std::uint64_t>(node.be32(kHeaderRecord + kHeaderTotalNodes), forkBytes / nodeSize));
    return true;
}

hfs_records::NodeDamage HFSP::nodeDamage(const std::vector<Extent>* extents, std::uint64_t offset,
                                         std::uint64_t size) const {
    hfs_records::NodeDamage damage;
    if (sectorSource_.unreadableBytes() == 0)
        return damage;
    constexpr std::uint64_t kSector = hfs_records::NodeDamage::kSectorBytes;
    for (std::uint64_t s = 0; s < size / kSector; ++s) {
        // Blocks are whole sectors, so no sector of a node straddles two extents.
        const std::uint64_t at = extents ? forkToVolume(*extents, offset + s * kSector, kSector) : offset + s * kSector;
        if (sectorSource_.unreadableWithin(static_cast<std::int64_t>(at), kSector) > 0)
            damage.markUnreadable(s);
    }
    return damage;
}

bool HFSP::acceptNode(const std::uint8_t* bytes, std::size_t size, const hfs_records::NodeDamage& damage, NodeInfo& info) {
    if (damage.touches(0, kNodeDescriptorSize)) {
        // Kind and record count lost with the first sector: a leaf's records are still found in
        // the bytes read, and no other kind of node holds bytes that pass for one.
        info.kind = kKindLeaf;
        info.offsetsLost = true;
        return true;
    }
    const ByteView node(bytes, size);
    info.kind = static_cast<std::int8_t>(node.u8(kNodeKind));
    info.height = node.u8(kNodeHeight);
    const std::uint16_t records = node.be16(kNodeNumRecords);
    if (info.kind < kKindLeaf || info.kind > kKindMap || records == 0 || records > (size - kNodeDescriptorSize) / 2)
        return false;
    info.recordOffsets.clear();
    info.offsetsLost = damage.touches(size - 2ull * records, 2ull * records);
    for (std::uint16_t i = 0; i < records && !info.offsetsLost; ++i) {
        const std::uint16_t offset = node.be16(size - 2 - 2ull * i);
        if (offset >= kNodeDescriptorSize && offset < size)
            info.recordOffsets.push_back(offset);
    }
    return true;
}

bool HFSP::walkNodes(const std::vector<Extent>& extents, std::uint64_t nodeSize, std::uint32_t totalNodes,
                     std::vector<NodeInfo>& nodes) {
    std::vector<std::uint8_t> node(nodeSize);
    progress_.setRange(0, totalNodes);
    for (std::uint32_t n = 1; n < totalNodes; ++n) {
        if (stopFlag.isSet())
            break;
        progress_.setPosition(n);
        if (!readFork(extents, static_cast<std::uint64_t>(n) * nodeSize, node))
            continue;
        NodeInfo info;
        info.offset = n;
        // Free nodes are walked too: records of deleted files stay in them.
        if (acceptNode(node.data(), node.size(), nodeDamage(&extents, std::uint64_t{n} * nodeSize, nodeSize), info))
            nodes.push_back(std::move(info));
    }
    stopFlag.clear();
    return true;
}

bool HFSP::readExtentsOverflow() {
    std::uint32_t totalNodes = 0;
    if (!readHeaderNode(extentsExtents, extentsNodeSize, totalNodes))
        return false;
    extentNodes.clear();
    walkNodes(extentsExtents, extentsNodeSize, totalNodes, extentNodes);
    std::vector<std::uint8_t> bytes(extentsNodeSize);
    for (const NodeInfo& info : extentNodes) {
        if (info.kind != kKindLeaf || !readFork(extentsExtents, info.offset * extentsNodeSize, bytes))
            continue;
        const ByteView node(bytes.data(), bytes.size());
        for (std::uint16_t r : info.recordOffsets) {
            if (!node.has(r, kExtKeySize + kExtentCount * kExtentSize) || node.be16(r) < kExtKeySize - 2)
                continue;
            // Resource fork records share the key's numbers; only the data fork is recovered.
            if (node.u8(r + kExtKeyForkType) != 0)
                continue;
            std::array<Extent, 8> extents{};
            for (unsigned i = 0; i < kExtentCount; ++i) {
                const std::uint64_t at = r + kExtKeySize + i * kExtentSize;
                extents[i] = {node.be32(at), node.be32(at + 4)};
            }
            // The first record found for a key stays: nodes are read in file order.
            overflowMap.emplace(std::make_pair(node.be32(r + kExtKeyFileId), node.be32(r + kExtKeyStartBlock)), extents);
        }
    }
    // The catalog file's own further extents live in the overflow file under its CNID.
    std::uint64_t listed = 0;
    for (const auto& extent : catalogExtents)
        listed += extent.second;
    const std::uint32_t catalogBlocks = ByteView(volumeHeader.data(), volumeHeader.size()).be32(kCatalogFork + kForkTotalBlocks);
    while (listed < catalogBlocks) {
        auto found = overflowMap.find({kCatalogFileId, static_cast<std::uint32_t>(listed)});
        if (found == overflowMap.end())
            break;
        const std::uint64_t before = listed;
        for (const auto& [start, count] : found->second) {
            if (count == 0 || start == 0 || start >= volumeBlocks)
                break;
            catalogExtents.emplace_back(start, static_cast<std::uint32_t>(std::min<std::uint64_t>(count, volumeBlocks - start)));
            listed += count;
        }
        if (listed == before)
            break;
    }
    return true;
}

bool HFSP::readCatalogNodes() {
    std::uint32_t totalNodes = 0;
    if (blockSize == 0 || !readHeaderNode(catalogExtents, catalogNodeSize, totalNodes))
        return false;
    absoluteNodes = false;
    catalogNodes.clear();
    return walkNodes(catalogExtents, catalogNodeSize, totalNodes, catalogNodes);
}

bool HFSP::scanCatalogNodes() {
    std::uint32_t totalNodes = 0;
    if (!readHeaderNode(catalogExtents, catalogNodeSize, totalNodes))
        catalogNodeSize = 0;
    absoluteNodes = true;
    catalogNodes.clear();
    if (volumeBlocks == 0 || blockSize == 0 || catalogNodeSize == 0) {
        notifier_.inform("BlockSize not valid .Aborting..");
        return false;
    }
    // Nodes start at multiples of the smaller of block and node size: that is the step.
    const std::uint64_t step = std::min(blockSize, catalogNodeSize);
    const std::uint64_t chunk = std::max(kScanChunkBytes / step, std::uint64_t{1}) * step;
    std::vector<std::uint8_t> buffer;
    progress_.setRange(0, static_cast<std::int64_t>(volumeBlocks));
    for (std::uint64_t base = 0; base < volumeSize; base += chunk) {
        if (stopFlag.isSet())
            break;
        progress_.setPosition(static_cast<std::int64_t>(base / blockSize));
        // One node's length of overlap, so a node starting near the chunk's end is whole.
        const std::uint64_t length = std::min(chunk + catalogNodeSize, volumeSize - base);
        buffer.assign(length, 0);
        if (!sectorSource_.readAt(static_cast<std::int64_t>(base), buffer.data(), static_cast<std::uint32_t>(length)) &&
            sectorSource_.lastReadCount() == 0)
            continue;
        const bool chunkDamaged =
            sectorSource_.unreadableWithin(static_cast<std::int64_t>(base), static_cast<std::int64_t>(length)) > 0;
        for (std::uint64_t at = 0; at < chunk && at + catalogNodeSize <= length; at += step) {
            const ByteView node(buffer.data() + at, catalogNodeSize);
            const std::uint16_t records = node.be16(kNodeNumRecords);
            if (node.u8(kNodeKind) != 0xFF || node.u8(kNodeHeight) == 0 || records == 0 || records >= 1000 ||
                records > (catalogNodeSize - kNodeDescriptorSize) / 2)
                continue;
            // A leaf is known by its descriptor and by its first record's offset at its end, unless
            // the sector holding that offset could not be read.
            const bool tableLost = chunkDamaged && nodeDamage(nullptr, base + at, catalogNodeSize)
                                                       .touches(catalogNodeSize - 2ull * records, 2ull * records);
            if (!tableLost && node.be16(catalogNodeSize - 2) != 0x000E)
                continue;
            NodeInfo info;
            info.offset = base + at;  // the node's exact place, whatever its alignment
            info.kind = kKindLeaf;
            info.height = node.u8(kNodeHeight);
            info.offsetsLost = tableLost;
            for (std::uint16_t i = 0; i < records && !tableLost; ++i) {
                const std::uint16_t offset = node.be16(catalogNodeSize - 2 - 2ull * i);
                if (offset != 0 && (offset >> 8) < 0x80 && offset < catalogNodeSize)
                    info.recordOffsets.push_back(offset);
            }
            catalogNodes.push_back(std::move(info));
        }
    }
    stopFlag.clear();
    return true;
}

void HFSP::parseNode(const std::vector<std::uint8_t>& bytes, const NodeInfo& info, std::uint64_t nodeOffset,
                     const hfs_records::NodeDamage& damage) {
    const ByteView node(bytes.data(), bytes.size());
    for (std::uint16_t r : hfs_records::readableCatalogRecords(node, info.recordOffsets, !info.offsetsLost, damage)) {
        const std::uint16_t keyLength = node.be16(r + kKeyLength);
        const std::uint16_t nameLength = node.be16(r + kKeyNameLength);
        const std::uint64_t record = static_cast<std::uint64_t>(r) + keyLength + 2;
        const std::uint16_t type = node.be16(record + kRecordType);
        if (type != kRecordFolder && type != kRecordFile)
            continue;  // threads: the folders' and files' own records name them
        HfsEntry entry;
        entry.type = type;
        entry.parentId = node.be32(r + kKeyParentId);
        entry.cnid = node.be32(record + kRecordId);
        entry.name = nameText(node, r + kKeyName, nameLength);
        entry.nodeOffset = nodeOffset;
        entry.recordOffset = r;
        entry.createDate = node.be32(record + kCreateDate);
        entry.contentModDate = node.be32(record + kContentModDate);
        entry.attributeModDate = node.be32(record + kAttributeModDate);
        entry.accessDate = node.be32(record + kAccessDate);
        entry.fileMode = node.be16(record + kFileMode);
        if (entry.cnid == 0)
            continue;
        if (type == kRecordFile) {
            entry.logicalSize = node.be64(record + kDataFork + kForkLogicalSize);
            entry.totalBlocks = node.be32(record + kDataFork + kForkTotalBlocks);
            for (unsigned i = 0; i < kExtentCount; ++i) {
                const std::uint64_t at = record + kDataFork + kForkExtents + i * kExtentSize;
                if (node.be32(at) != 0)
                    entry.extents.emplace_back(node.be32(at), node.be32(at + 4));
            }
        }
        // Two records with one CNID: the first read stays. The volume's root folder holds the
        // listing, it is not in it.
        const std::uint32_t cnid = entry.cnid;
        if (entryMap.emplace(cnid, std::move(entry)).second && cnid != kRootFolderId)
            progress_.entryFound();
    }
}

bool HFSP::parseCatalog() {
    if (catalogNodeSize == 0)
        return false;
    std::vector<std::uint8_t> bytes(catalogNodeSize);
    progress_.setRange(0, static_cast<std::int64_t>(catalogNodes.size()));
    std::int64_t position = 0;
    for (const NodeInfo& info : catalogNodes) {
        if (stopFlag.isSet())
            break;
        progress_.setPosition(++position);
        if (info.kind != kKindLeaf)
            continue;
        std::uint64_t volumeOffset = info.offset;
        hfs_records::NodeDamage damage;
        if (absoluteNodes) {
            if (!sectorSource_.readAt(static_cast<std::int64_t>(info.offset), bytes.data(), static_cast<std::uint32_t>(bytes.size())))
                continue;
            damage = nodeDamage(nullptr, info.offset, catalogNodeSize);
        } else {
            if (!readFork(catalogExtents, info.offset * catalogNodeSize, bytes))
                continue;
            volumeOffset = forkToVolume(catalogExtents, info.offset * catalogNodeSize, catalogNodeSize);
            damage = nodeDamage(&catalogExtents, info.offset * catalogNodeSize, catalogNodeSize);
        }
        catalogDamaged = catalogDamaged || damage.any();
        parseNode(bytes, info, volumeOffset, damage);
    }
    stopFlag.clear();
    return true;
}

bool HFSP::linkEntries() {
    progress_.setStatus("Maintaining Parent Child....");
    if ((absoluteNodes || catalogDamaged) && !entryMap.empty() && entryMap.rbegin()->first > 1 &&
        entryMap.rbegin()->first < kNoLink) {
        orphanKey = entryMap.rbegin()->first + 1;
        HfsEntry orphan;
        orphan.type = kRecordFolder;
        orphan.parentId = kRootFolderId;
        orphan.cnid = orphanKey;
        orphan.name = "ORPHAN_ENTRY";
        entryMap.emplace(orphanKey, orphan);
    }
    const auto total = static_cast<std::int64_t>(entryMap.size());
    progress_.setRange(0, total);
    std::int64_t counter = 0;
    for (auto& [cnid, entry] : entryMap) {
        if (stopFlag.isSet())
            break;
        progress_.setStatus(formatText("Maintaining Parent Child for record %d of %d....", static_cast<int>(counter),
                                       static_cast<int>(total)));
        progress_.setPosition(++counter);
        // The root folder heads the listing of a catalog read in order, damaged or not.
        if ((orphanKey != 0 && cnid == orphanKey) || (!absoluteNodes && cnid == kRootFolderId))
            continue;
        auto parent = entryMap.find(entry.parentId);
        const bool placed = entry.parentId > 0 && parent != entryMap.end() && parent->second.type == kRecordFolder &&
                            parent->first != cnid && (orphanKey == 0 || parent->first != orphanKey);
        if (!placed) {
            if (orphanKey == 0)
                continue;
            // Found without its folder (by the volume scan, or past a damaged node): under ORPHAN_ENTRY.
            parent = entryMap.find(orphanKey);
            entry.parentId = orphanKey;
        }
        entry.nextSibling = parent->second.firstChild;
        parent->second.firstChild = cnid;
    }
    stopFlag.clear();
    return true;
}

EntryDetails HFSP::details(const HfsEntry& entry) const {
    EntryDetails texts;
    texts.created = EntryTime::instant(unixTime(entry.createDate));
    texts.accessed = EntryTime::instant(unixTime(entry.accessDate));
    texts.modified = EntryTime::instant(unixTime(entry.contentModDate));
    static constexpr std::pair<std::uint16_t, const char*> kBits[] = {
        {0x040, "-Owner:X"}, {0x080, "-Owner:W"}, {0x100, "-Owner:R"}, {0x001, "-OX"}, {0x002, "-OW"},
        {0x004, "-OR"},      {0x008, "-GX"},      {0x010, "-GW"},      {0x020, "-GR"},
    };
    for (const auto& [bit, text] : kBits)
        if (entry.fileMode & bit)
            texts.attributes += text;
    return texts;
}

FileExtents HFSP::contentExtents(const HfsEntry& entry) const {
    if (blockSize == 0)
        return {};
    std::vector<Extent> extents;
    std::uint64_t listed = 0;
    if (entry.logicalSize != 0)
        for (const auto& extent : entry.extents) {
            extents.push_back(extent);
            listed += extent.second;
        }
    // Further extents come from the overflow records keyed by the blocks listed so far; each
    // step must list more blocks, so records that refer to each other end the chain.
    while (entry.logicalSize != 0 && listed < entry.totalBlocks) {
        auto found = overflowMap.find({entry.cnid, static_cast<std::uint32_t>(listed)});
        if (found == overflowMap.end())
            break;
        const std::uint64_t before = listed;
        for (const auto& [start, count] : found->second)
            if (start != 0 && count != 0) {
                extents.emplace_back(start, count);
                listed += count;
            }
        if (listed == before)
            break;
    }

    FileExtents content;
    std::uint64_t forkPos = 0;
    for (const auto& [start, count] : extents) {
        if (forkPos >= entry.logicalSize)
            break;
        const std::uint64_t bytes = static_cast<std::uint64_t>(count) * blockSize;
        // Blocks outside the volume are holes, so what follows keeps its offset.
        const std::uint64_t inVolume =
            start < volumeBlocks ? std::min<std::uint64_t>(count, volumeBlocks - start) * blockSize : 0;
        const std::uint64_t stored = std::min(inVolume, entry.logicalSize - forkPos);
        content.append(forkPos, stored, start * blockSize);
        content.append(forkPos + stored, std::min(bytes, entry.logicalSize - forkPos) - stored, std::nullopt);
        forkPos += bytes;
    }
    content.length = std::min(entry.logicalSize, forkPos);
    return content;
}

std::unique_ptr<FileContent> HFSP::openContent(const HfsEntry& entry) {
    if (blockSize == 0)
        return nullptr;
    // Linux sets no creation time; the modification time is the content's.
    const ContentTimes times{timespec{unixTime(entry.accessDate), 0}, timespec{unixTime(entry.contentModDate), 0}};
    return std::make_unique<ExtentContent>(sectorSource_, contentExtents(entry), times);
}

AllocationMap HFSP::allocationMap() {
    if (blockSize == 0 || volumeBlocks == 0)
        return AllocationMap::notRead("the volume header was not read");
    const std::vector<Extent> extents = forkExtents(kAllocationFork);
    std::vector<std::uint8_t> bits((volumeBlocks + 7) / 8, 0);
    if (extents.empty() || !readFork(extents, 0, bits))
        return AllocationMap::notRead("the allocation file could not be read");
    AllocationBuilder map(volumeSize);
    map.addBitmap(ByteView(bits.data(), bits.size()), 0, volumeBlocks, 0, blockSize, true);
    return map.finish();
}
