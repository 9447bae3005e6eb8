#include "fs/ext/ext2Class.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "common/ByteView.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"

using namespace ext_layout;

namespace {
constexpr std::uint32_t kTableChunkBytes = 4u << 20;  // inode tables are read in pieces of at most 4 MiB

/// A large inode whose extra fields reach the creation time (ext4 writes them; ext2/3's
/// 128-byte inodes have none).
bool hasCreationTime(ByteView inode) {
    constexpr std::size_t kEnd = ext_layout::kInodeCrtime + 4;
    return inode.size() >= kEnd && ext_layout::kMinInodeSize + inode.le16(ext_layout::kInodeExtraSize) >= kEnd;
}

bool fitsInVolume(std::uint64_t offset, std::uint64_t length, std::uint64_t volumeSize) {
    return offset <= volumeSize && length <= volumeSize - offset;
}
}  // namespace

ext2Class::ext2Class(const ReaderInput& input)
    : volume(input.volume), sectorSource_(input.source), progress_(input.progress), notifier_(input.notifier) {
    input.attach(stopFlag);
}

bool ext2Class::openVolume() {
    return sectorSource_.seekTo(0);
}

bool ext2Class::findSuperblock() {
    if (volumeSize <= 1536)
        return false;
    for (std::uint64_t offset = kSuperblockOffset; offset + 512 < volumeSize; offset += 512) {
        superblock.fill(0);
        if (!sectorSource_.readAt(static_cast<std::int64_t>(offset), superblock.data(), kSuperblockSize))
            continue;
        const ByteView sb(superblock.data(), superblock.size());
        if (stopFlag.isSet()) {
            stopFlag.clear();
            return false;
        }
        if (sb.le16(kMagic) != kMagicValue)
            continue;
        // The magic alone is two bytes: a candidate must also describe a geometry that can exist,
        // or the search goes on (a backup superblock further on may be intact).
        const std::uint32_t logBlockSize = sb.le32(kLogBlockSize);
        if (logBlockSize > kMaxLogBlockSize)
            continue;
        const std::uint32_t size = 1024u << logBlockSize;
        const std::uint32_t bpg = sb.le32(kBlocksPerGroup);
        const std::uint32_t ipg = sb.le32(kInodesPerGroup);
        std::uint32_t isize = sb.le16(kInodeSize);
        if (isize == 0)
            isize = kMinInodeSize;  // revision 0 volumes leave the field empty
        const std::uint32_t incompat = sb.le32(kFeatureIncompat);
        std::uint64_t blocks = sb.le32(kBlocksCountLo);
        if (incompat & kIncompat64Bit)
            blocks |= static_cast<std::uint64_t>(sb.le32(kBlocksCountHi)) << 32;
        const std::uint32_t firstData = sb.le32(kFirstDataBlock);
        if (bpg == 0 || bpg > 8u * size || ipg == 0 || ipg > 8u * size || isize < kMinInodeSize || isize > size ||
            (isize & (isize - 1)) != 0 || blocks <= firstData)
            continue;
        std::uint32_t descSize = kGdSmallSize;
        if (incompat & kIncompat64Bit) {
            descSize = sb.le16(kDescSize);
            if (descSize < kGdLargeSize || descSize > size || (descSize & (descSize - 1)) != 0)
                descSize = kGdLargeSize;
        }
        // Every group counts, the last partial one too: its inodes are as real as the others.
        const std::uint64_t groups = (blocks - firstData + bpg - 1) / bpg;
        if (groups == 0 || groups > 0xFFFFFFFFull || groups * descSize > volumeSize)
            continue;

        blockSize = size;
        blocksPerGroup = bpg;
        inodesPerGroup = ipg;
        inodeSize = isize;
        descriptorSize = descSize;
        groupCount = static_cast<std::uint32_t>(groups);
        bytesPerGroup = static_cast<std::uint64_t>(blockSize) * blocksPerGroup;
        blocksCount = std::min<std::uint64_t>(blocks, volumeSize / blockSize);
        // Records are bounded by what the groups hold and by what the medium can hold.
        std::uint64_t inodes = std::min<std::uint64_t>(sb.le32(kInodesCount), groups * ipg);
        inodes = std::min<std::uint64_t>(inodes, volumeSize / inodeSize);
        inodesCount = static_cast<std::uint32_t>(inodes);
        superblockOffset = offset;
        hasFileType = (incompat & kIncompatFileType) != 0;
        // The kind follows from the features that make it: ext4's extents, 64-bit or flexible
        // groups, else ext3's journal (the read-only features say neither).
        if (incompat & kIncompatExt4Only) {
            notifier_.inform("ext 4 file System");
            isExt4 = true;
        } else if (sb.le32(kFeatureCompat) & kCompatHasJournal) {
            notifier_.inform("ext 3 file System");
        } else {
            notifier_.inform("ext 2 file System");
        }
        return true;
    }
    return false;
}

bool ext2Class::readGroupDescriptors() {
    if (blockSize == 0 || groupCount == 0)
        return false;
    const std::uint64_t position = (superblockOffset / blockSize + 1) * blockSize;
    const std::uint64_t length = static_cast<std::uint64_t>(groupCount) * descriptorSize;
    if (!fitsInVolume(position, length, volumeSize) || length > 0xFFFFFFFFull)
        return false;
    groupDescriptors.assign(length, 0);
    return sectorSource_.readAt(static_cast<std::int64_t>(position), groupDescriptors.data(),
                                static_cast<std::uint32_t>(length));
}

std::uint64_t ext2Class::inodeTableBlock(std::uint32_t group) const {
    const ByteView table(groupDescriptors.data(), groupDescriptors.size());
    const std::uint64_t at = static_cast<std::uint64_t>(group) * descriptorSize;
    std::uint64_t block = table.le32(at + kGdInodeTableLo);
    if (descriptorSize >= kGdLargeSize)
        block |= static_cast<std::uint64_t>(table.le32(at + kGdInodeTableHi)) << 32;
    return block;
}

void ext2Class::collectInodes() {
    progress_.setRange(0, groupCount);
    inodeRecords.clear();
    inodeRecords.reserve(inodesCount);
    directories_.clear();
    const std::uint64_t tableBytes = static_cast<std::uint64_t>(inodeSize) * inodesPerGroup;
    const std::uint32_t perChunk = std::max<std::uint32_t>(1, kTableChunkBytes / inodeSize);
    std::vector<std::uint8_t> chunk;
    for (std::uint32_t g = 0; g < groupCount && inodeRecords.size() < inodesCount; ++g) {
        if (stopFlag.isSet()) {
            stopFlag.clear();
            break;
        }
        progress_.setStatus(formatText("parsing group %d  of %d ", static_cast<int>(g + 1), static_cast<int>(groupCount)));
        progress_.setPosition(g + 1);
        const std::uint64_t table = inodeTableBlock(g);
        // A table outside the volume still gives its (empty) records, so record positions stay
        // equal to inode numbers - 1 for the groups after it.
        const bool readable = table != 0 && table < blocksCount && fitsInVolume(table * blockSize, tableBytes, volumeSize);
        for (std::uint32_t first = 0; first < inodesPerGroup && inodeRecords.size() < inodesCount; first += perChunk) {
            const std::uint32_t count = std::min(perChunk, inodesPerGroup - first);
            chunk.assign(static_cast<std::size_t>(count) * inodeSize, 0);
            const bool haveChunk =
                readable &&
                sectorSource_.readAt(static_cast<std::int64_t>(table * blockSize + static_cast<std::uint64_t>(first) * inodeSize),
                                     chunk.data(), static_cast<std::uint32_t>(chunk.size()));
            for (std::uint32_t i = 0; i < count && inodeRecords.size() < inodesCount; ++i) {
                const ByteView inode(chunk.data() + static_cast<std::size_t>(i) * inodeSize, inodeSize);
                ExtEntry record;
                record.inodeIndex = inodeBase + first + i;
                record.mode = inode.le16(kInodeMode);
                record.size = inode.le32(kInodeSizeLo) | static_cast<std::uint64_t>(inode.le32(kInodeSizeHi)) << 32;
                if (haveChunk) {
                    // Kept now so that listing needs no second read of every inode.
                    record.timesKnown = true;
                    record.inodeMode = record.mode;
                    record.accessTime = inode.le32(kInodeAtime);
                    record.modifyTime = inode.le32(kInodeMtime);
                    record.createKnown = hasCreationTime(inode);
                    record.createTime = inode.le32(kInodeCrtime);
                }
                if ((record.mode & kModeTypeMask) == kModeDirectory && inode.le32(kInodeBlock) != 0) {
                    DirectoryInode dir{record.inodeIndex, {}};
                    std::memcpy(dir.bytes.data(), inode.data(), dir.bytes.size());
                    directories_.push_back(dir);
                }
                inodeRecords.push_back(std::move(record));
            }
        }
        inodeBase += inodesPerGroup;
    }
}

std::vector<ext2Class::BlockRun> ext2Class::mapBlocks(const std::uint8_t* inode, std::uint64_t limitBlocks) {
    return blockMap().map(inode, limitBlocks);
}

ExtBlockMap ext2Class::blockMap() {
    return ExtBlockMap(blockSize, blocksCount,
                       [this](std::uint64_t block, std::vector<std::uint8_t>& bytes) { return readBlock(block, bytes); });
}

bool ext2Class::readBlock(std::uint64_t block, std::vector<std::uint8_t>& buffer) {
    buffer.assign(blockSize, 0);
    if (block >= blocksCount)
        return false;
    return sectorSource_.readAt(static_cast<std::int64_t>(block * blockSize), buffer.data(), blockSize);
}

void ext2Class::walkDirectoryBlock(const std::vector<std::uint8_t>& block) {
    const ByteView view(block.data(), block.size());
    const std::uint64_t records = inodeRecords.size();
    std::uint64_t offset = 0;
    while (view.has(offset, kDeName)) {
        const std::uint32_t inode = view.le32(offset + kDeInode);
        const std::uint16_t recordLength = view.le16(offset + kDeRecLen);
        std::uint32_t nameLength = 0;
        std::uint64_t advance = recordLength;
        if (!hasFileType) {
            nameLength = view.le16(offset + kDeNameLen);
            if (nameLength == 0 || nameLength > 1024 || recordLength == 0)
                break;
        } else {
            nameLength = view.u8(offset + kDeNameLen);
            const std::uint8_t fileType = view.u8(offset + kDeFileType);
            if (inode > 0 && inode < records) {
                if (fileType == kFileTypeDirectory)
                    inodeRecords[inode - 1].mode = kModeDirectory;
                else if (fileType == kFileTypeRegular)
                    inodeRecords[inode - 1].mode = kModeRegular;
                else if (fileType < std::size(kModeOfFileType) && kModeOfFileType[fileType] != 0 &&
                         (inodeRecords[inode - 1].mode & kModeTypeMask) == 0)
                    // The inode table could not be read: the entry still tells the kind.
                    inodeRecords[inode - 1].mode = kModeOfFileType[fileType];
            }
            if (nameLength == 0 || recordLength == 0 || inode >= records)
                break;
            const std::uint64_t ownSize = (kDeName + nameLength + 3) & ~3ull;
            if (recordLength < ownSize + 4)
                advance = ownSize;
        }
        // A name that claims to run past the block ends the block: its length lies.
        if (!view.has(offset + kDeName, nameLength))
            break;
        const std::string_view name(reinterpret_cast<const char*>(view.data() + offset + kDeName), nameLength);
        if (!firstEntryMet_) {
            // The walk starts with the root directory, whose "." names the ROOT key.
            firstEntryMet_ = true;
            currentParent_ = inode;
            if (name != "." && name != ".." && inode > 0 && inode < records)
                nameInode(inodeRecords[inode - 1], name);
        } else if (name == ".") {
            currentParent_ = inode - 1;
        } else if (name != ".." && inode > 0 && inode < records) {
            nameInode(inodeRecords[inode - 1], name);
        }
        offset += advance;
    }
}

void ext2Class::nameInode(ExtEntry& record, std::string_view name) {
    // A second link to one inode renames it, but it is still one entry found.
    if (!record.named())
        progress_.entryFound();
    record.nameOffset = static_cast<std::uint32_t>(names_.size());
    record.nameLength = static_cast<std::uint16_t>(name.size());
    names_.append(name);
    record.parentIndex = currentParent_;
}

bool ext2Class::readDirectories() {
    const std::uint64_t records = inodeRecords.size();
    progress_.setRange(0, static_cast<std::int64_t>(records));
    std::vector<std::uint8_t> block;
    std::uint64_t lastGroup = ~0ull;
    for (const DirectoryInode& dir : directories_) {
        if (stopFlag.isSet()) {
            stopFlag.clear();
            break;
        }
        const std::uint64_t group = dir.inodeIndex / inodesPerGroup;
        if (group != lastGroup) {
            lastGroup = group;
            progress_.setStatus(formatText("parsing inode entry %d  of %d ", static_cast<int>(dir.inodeIndex + 1),
                                           static_cast<int>(records)));
            progress_.setPosition(dir.inodeIndex + 1);
        }
        const ByteView inode(dir.bytes.data(), dir.bytes.size());
        const std::uint64_t size = inode.le32(kInodeSizeLo) | static_cast<std::uint64_t>(inode.le32(kInodeSizeHi)) << 32;
        const std::uint64_t limit = size > 0 ? (size + blockSize - 1) / blockSize : blocksCount;
        for (const BlockRun& run : mapBlocks(dir.bytes.data(), limit)) {
            if (run.unwritten)
                continue;
            for (std::uint64_t b = 0; b < run.count; ++b) {
                if (!walkedDirectoryBlocks_.insert(run.physical + b).second)
                    continue;
                if (readBlock(run.physical + b, block))
                    walkDirectoryBlock(block);
            }
        }
    }
    progress_.setStatus(formatText("parsed inode entry %d  of %d ", static_cast<int>(records), static_cast<int>(records)));
    progress_.setPosition(static_cast<std::int64_t>(records));
    return records != 0;
}

void ext2Class::buildEntryMap() {
    progress_.setStatus("clearing vector....");
    if (inodeRecords.size() <= 2)
        inodeRecords.resize(3);
    // The root directory's own inode (number 2, key 1) gives ROOT its times and place.
    ExtEntry root = inodeRecords[1];
    root.nameOffset = static_cast<std::uint32_t>(names_.size());
    root.nameLength = 4;
    names_.append("ROOT");
    root.inodeIndex = 1;
    root.mode = kModeDirectory;
    root.size = 0;
    root.parentIndex = kExtNone;
    root.firstChild = root.nextSibling = kExtNone;
    inodeRecords[2] = std::move(root);
}

void ext2Class::linkEntries() {
    progress_.setStatus("Maintaining Parent Child....");
    const auto total = static_cast<std::int64_t>(inodeRecords.size());
    progress_.setRange(0, total);
    for (std::uint32_t key = 0; key < inodeRecords.size(); ++key) {
        ExtEntry& entry = inodeRecords[key];
        // The status and the stop are looked at once per thousand records, not per record.
        if (key % 1024 == 0) {
            if (stopFlag.isSet()) {
                stopFlag.clear();
                break;
            }
            progress_.setStatus(formatText("Maintaining Parent Child for record %d of %d....", static_cast<int>(key),
                                           static_cast<int>(total)));
            progress_.setPosition(key);
        }
        if (!entry.named() || static_cast<std::int32_t>(entry.parentIndex) <= 0)
            continue;
        ExtEntry* parent = entry.parentIndex < inodeRecords.size() ? &inodeRecords[entry.parentIndex] : nullptr;
        if (parent == nullptr || !parent->named() || parent->inodeIndex == entry.inodeIndex || entry.parentIndex == key)
            continue;
        // Pushing at the head gives the same order as appending after walking the chain, in O(1).
        entry.nextSibling = parent->firstChild;
        parent->firstChild = key;
    }
    progress_.setPosition(total);
}

bool ext2Class::readInode(const ExtEntry& entry, std::vector<std::uint8_t>& inode) {
    return entry.inodeIndex != kExtNone && readInodeNumber(entry.inodeIndex + 1, inode);
}

bool ext2Class::readInodeNumber(std::uint32_t number, std::vector<std::uint8_t>& inode) {
    inode.assign(std::max<std::uint32_t>(inodeSize, kMinInodeSize), 0);
    if (number == 0 || inodesPerGroup == 0 || number > inodesCount || blockSize == 0)
        return false;
    const std::uint32_t index = number - 1;
    const std::uint32_t group = index / inodesPerGroup;
    if (group >= groupCount)
        return false;
    const std::uint64_t table = inodeTableBlock(group);
    if (table == 0 || table >= blocksCount)
        return false;
    const std::uint64_t offset = table * blockSize + static_cast<std::uint64_t>(index % inodesPerGroup) * inodeSize;
    if (!fitsInVolume(offset, inodeSize, volumeSize))
        return false;
    return sectorSource_.readAt(static_cast<std::int64_t>(offset), inode.data(), inodeSize);
}

EntryDetails ext2Class::details(const ExtEntry& entry) {
    EntryDetails texts;
    std::uint16_t mode = entry.inodeMode;
    std::uint32_t accessTime = entry.accessTime, modifyTime = entry.modifyTime, createTime = entry.createTime;
    bool createKnown = entry.createKnown;
    if (!entry.timesKnown) {
        std::vector<std::uint8_t> bytes;
        if (!readInode(entry, bytes))
            return texts;
        const ByteView inode(bytes.data(), std::min<std::size_t>(bytes.size(), inodeSize));
        mode = inode.le16(kInodeMode);
        accessTime = inode.le32(kInodeAtime);
        modifyTime = inode.le32(kInodeMtime);
        createKnown = hasCreationTime(inode);
        createTime = inode.le32(kInodeCrtime);
    }
    // The change time is not a creation time: only ext4's large inodes keep one.
    if (createKnown)
        texts.created = EntryTime::instant(createTime);
    texts.accessed = EntryTime::instant(accessTime);
    texts.modified = EntryTime::instant(modifyTime);
    static constexpr std::pair<std::uint16_t, const char*> kBits[] = {
        {0x001, "-OE"}, {0x002, "-OW"}, {0x004, "-OR"}, {0x008, "-GE"}, {0x010, "-GW"},
        {0x020, "-GR"}, {0x040, "-UE"}, {0x080, "-UW"}, {0x100, "-UR"},
    };
    for (const auto& [bit, text] : kBits)
        if (mode & bit)
            texts.attributes += text;
    return texts;
}

std::string ext2Class::linkTarget(const ExtEntry& entry) {
    constexpr std::uint64_t kMaxTarget = 4096;  // PATH_MAX: a longer "target" is damage
    std::vector<std::uint8_t> bytes;
    if (blockSize == 0 || entry.size == 0 || entry.size > kMaxTarget || !readInode(entry, bytes))
        return {};
    const ByteView inode(bytes.data(), bytes.size());
    const auto size = static_cast<std::size_t>(entry.size);
    if (entry.size < kFastSymlinkMax && (inode.le32(kInodeFlags) & kInodeFlagExtents) == 0) {
        const ByteView inPlace = inode.slice(kInodeBlock, size);
        return std::string(reinterpret_cast<const char*>(inPlace.data()), inPlace.size());
    }
    const std::vector<BlockRun> runs = mapBlocks(bytes.data(), 1);
    std::vector<std::uint8_t> block;
    if (runs.empty() || runs.front().logical != 0 || runs.front().unwritten || !readBlock(runs.front().physical, block))
        return {};
    const ByteView data(block.data(), block.size());
    const ByteView target = data.slice(0, std::min<std::size_t>(size, block.size()));
    return std::string(reinterpret_cast<const char*>(target.data()), target.size());
}

std::optional<FileExtents> ext2Class::contentExtents(const ExtEntry& entry, std::vector<std::uint8_t>& inode) {
    if (blockSize == 0 || !readInode(entry, inode))
        return std::nullopt;
    const std::uint64_t limit = entry.size / blockSize + (entry.size % blockSize != 0 ? 1 : 0);
    return runExtents(mapBlocks(inode.data(), limit), entry.size);
}

FileExtents ext2Class::runExtents(const std::vector<ExtBlockRun>& runs, std::uint64_t size) const {
    FileExtents extents;
    extents.length = size;
    if (blockSize == 0)
        return extents;
    // Every mapped block at its own offset, cut at the file's size; unwritten runs (allocated but
    // never written) are holes, read as zeros like the unmapped ones.
    for (const BlockRun& run : runs) {
        const std::uint64_t fileOffset = run.logical * blockSize;
        if (fileOffset >= size)
            continue;
        const std::uint64_t length = std::min<std::uint64_t>(run.count * blockSize, size - fileOffset);
        extents.append(fileOffset, length, run.unwritten ? std::nullopt : std::optional(run.physical * blockSize));
    }
    return extents;
}

std::unique_ptr<FileContent> ext2Class::openRuns(const std::vector<ExtBlockRun>& runs, std::uint64_t size,
                                                 std::uint32_t accessTime, std::uint32_t modifyTime) {
    // Linux sets no creation time; access and modification come from the inode.
    const ContentTimes times{timespec{static_cast<time_t>(accessTime), 0}, timespec{static_cast<time_t>(modifyTime), 0}};
    return std::make_unique<ExtentContent>(sectorSource_, runExtents(runs, size), times);
}

std::unique_ptr<FileContent> ext2Class::openContent(const ExtEntry& entry) {
    std::vector<std::uint8_t> bytes;
    std::optional<FileExtents> extents = contentExtents(entry, bytes);
    if (!extents)
        return nullptr;
    const ByteView inode(bytes.data(), bytes.size());
    const ContentTimes times{timespec{static_cast<time_t>(inode.le32(kInodeAtime)), 0},
                             timespec{static_cast<time_t>(inode.le32(kInodeMtime)), 0}};
    return std::make_unique<ExtentContent>(sectorSource_, std::move(*extents), times);
}

AllocationMap ext2Class::allocationMap() {
    if (blockSize == 0 || groupCount == 0 || groupDescriptors.empty())
        return AllocationMap::notRead("the group descriptors were not read");
    const ByteView sb(superblock.data(), superblock.size());
    if ((sb.le32(kFeatureRoCompat) & kRoCompatBigalloc) != 0)
        return AllocationMap::notRead("the block bitmaps of bigalloc volumes are not read");
    const ByteView table(groupDescriptors.data(), groupDescriptors.size());
    auto field = [&](std::uint64_t at, unsigned lo, unsigned hi) {
        std::uint64_t value = table.le32(at + lo);
        if (descriptorSize >= kGdLargeSize)
            value |= static_cast<std::uint64_t>(table.le32(at + hi)) << 32;
        return value;
    };
    const std::uint64_t firstData = sb.le32(kFirstDataBlock);
    const std::uint64_t tableBlocks = (static_cast<std::uint64_t>(inodesPerGroup) * inodeSize + blockSize - 1) / blockSize;
    AllocationBuilder map(volumeSize);
    map.addSpan(0, firstData * blockSize);  // the boot block before the first group (1 KiB blocks)
    std::vector<std::uint8_t> bits;
    for (std::uint32_t g = 0; g < groupCount; ++g) {
        if (stopFlag.isSet())
            return AllocationMap::notRead("stopped");
        const std::uint64_t at = static_cast<std::uint64_t>(g) * descriptorSize;
        const std::uint64_t first = firstData + static_cast<std::uint64_t>(g) * blocksPerGroup;
        if (first >= blocksCount)
            break;
        const std::uint64_t count = std::min<std::uint64_t>(blocksPerGroup, blocksCount - first);
        const std::uint64_t bitmapBlock = field(at, kGdBlockBitmapLo, kGdBlockBitmapHi);
        // A group's own bitmaps and inode table may lie in another group (flex_bg), whose bitmap
        // marks them; they are added here too, for groups whose bitmap was never written.
        map.addSpan(bitmapBlock * blockSize, blockSize);
        map.addSpan(field(at, kGdInodeBitmapLo, kGdInodeBitmapHi) * blockSize, blockSize);
        map.addSpan(inodeTableBlock(g) * blockSize, tableBlocks * blockSize);
        if ((table.le16(at + kGdFlags) & kGdBlockUninit) != 0)
            continue;
        if (!readBlock(bitmapBlock, bits))
            continue;
        map.addBitmap(ByteView(bits.data(), bits.size()), 0, count, first * blockSize, blockSize);
    }
    return map.finish();
}
