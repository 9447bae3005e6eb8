#include "fs/ntfs/ntfs.h"

#include <algorithm>
#include <cstring>

#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "fs/ntfs/NtfsAttributes.h"
#include "fs/ntfs/NtfsLayout.h"

using namespace ntfs_layout;

namespace {
constexpr std::uint64_t kBulkReadBytes = 4u << 20;  // MFT records are read in pieces of this size
constexpr std::uint64_t kStatusEvery = 1024;        // entries between two "parsing MFT entry" texts
constexpr std::uint64_t kChainEnd = ~std::uint64_t{0};
constexpr std::uint64_t kMaxClusterSize = 2u << 20;

bool isPowerOfTwo(std::uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

/// The low 48 bits of a file reference, sign-extended from bit 47 as the linking rules expect.
std::uint64_t parentFromReference(std::uint64_t reference) {
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(reference << 16) >> 16);
}
}  // namespace

ntfs::ntfs(const ReaderInput& input)
    : mediumBytes(input.volumeBytes), volume(input.volume), source_(input.source), progress_(input.progress),
      notifier_(input.notifier), fixed_(kMaxRecordSize) {
    input.attach(stopFlag);
}

ntfs::~ntfs() = default;

void ntfs::notify(const std::string& text) { notifier_.inform(text, kApplicationTitle); }

bool ntfs::readBootSector() {
    bootSector.assign(kBootSectorSize, 0);
    if (source_.seekTo(0))
        source_.read(bootSector.data(), kBootSectorSize);
    const ByteView boot(bootSector.data(), bootSector.size());
    if (boot.matches(kBootOemName, "NTFS")) {
        // Sectors of the size the boot sector states: 4096-byte sectors are real (4Kn disks).
        const std::uint64_t sectors = boot.le64(kBootTotalSectors);
        std::uint64_t sectorSize = boot.le16(kBootBytesPerSector);
        if (!isPowerOfTwo(sectorSize) || sectorSize < 512 || sectorSize > 4096)
            sectorSize = 512;
        volumeSize = sectors > (~std::uint64_t{0} >> 13) ? 0 : sectors * sectorSize;
        const std::uint64_t cluster = bootClusterSize();
        const auto perRecord = static_cast<std::int8_t>(boot.u8(kBootClustersPerRecord));
        std::uint64_t bytes = 0;
        if (perRecord > 0)
            bytes = cluster * static_cast<std::uint64_t>(perRecord);
        else if (perRecord < 0 && perRecord > -32)
            bytes = std::uint64_t{1} << -perRecord;
        if (isPowerOfTwo(bytes) && bytes >= kDefaultRecordSize && bytes <= kMaxRecordSize)
            recordSize = static_cast<std::uint32_t>(bytes);
    } else {
        volumeSize = volume.sizeBytes >> 20 << 20;  // whole MiB, as the volume list gives it
        if (volumeSize == 0 && mediumBytes > 0)
            volumeSize = static_cast<std::uint64_t>(mediumBytes);
    }
    return volumeSize != 0;
}

std::uint64_t ntfs::bootClusterSize() const {
    if (bootSector.empty())
        return 4096;
    const ByteView boot(bootSector.data(), bootSector.size());
    const std::uint64_t bytesPerSector = boot.le16(kBootBytesPerSector);
    const std::uint8_t perCluster = boot.u8(kBootSectorsPerCluster);
    // Clusters above 64 KiB store the sector count as a negative power of two.
    const std::uint64_t size =
        perCluster > 0x80 ? bytesPerSector << std::min(31, 256 - perCluster) : bytesPerSector * perCluster;
    return size <= kMaxClusterSize ? size : 0;
}

std::uint64_t ntfs::volumeClusters() const {
    if (clusterSize == 0 || volumeSize == 0)
        return ~std::uint64_t{0};
    return volumeSize / clusterSize;
}

void ntfs::applyFixup(std::uint8_t* copy, ByteView source, std::size_t size) {
    const std::size_t have = std::min(source.size(), size);
    if (have > 0)
        std::memcpy(copy, source.data(), have);
    std::memset(copy + have, 0, size - have);
    const std::uint64_t usaOffset = source.le16(kRecordUsaOffset);
    const std::uint32_t usaCount = source.le16(kRecordUsaCount);
    for (std::uint32_t k = 1; k < usaCount; ++k) {
        const std::uint64_t sectorEnd = std::uint64_t{kFixupStride} * k;
        if (sectorEnd > size || !source.has(usaOffset + 2 * k, 2))
            break;
        copy[sectorEnd - 2] = source.u8(usaOffset + 2 * k);
        copy[sectorEnd - 1] = source.u8(usaOffset + 2 * k + 1);
    }
}

bool ntfs::readRecord(std::uint64_t offset, std::vector<std::uint8_t>& raw) {
    raw.assign(recordSize, 0);
    if (offset > static_cast<std::uint64_t>(INT64_MAX) || !source_.seekTo(static_cast<std::int64_t>(offset)))
        return false;
    source_.read(raw.data(), recordSize);
    return true;
}

void ntfs::decodeMappingPairs(ByteView runs, std::uint64_t vcnSpan, std::vector<RunPair>& out) {
    const std::uint64_t limit = boundRunsByVolume_ ? volumeClusters() : ~std::uint64_t{0};
    std::uint64_t pos = 0;
    std::int64_t lcn = 0;
    std::uint64_t total = 0;
    while (pos < runs.size()) {
        const std::uint8_t header = runs.u8(pos);
        const unsigned lengthSize = header & 0x0F;
        const unsigned offsetSize = header >> 4;
        if (lengthSize == 0 || lengthSize > 8 || offsetSize > 8 || !runs.has(pos + 1, lengthSize + offsetSize))
            break;
        const std::uint64_t length = runs.le(pos + 1, lengthSize);
        if (offsetSize != 0) {
            std::uint64_t delta = runs.le(pos + 1 + lengthSize, offsetSize);
            if (offsetSize < 8 && (delta >> (8 * offsetSize - 1)) != 0)
                delta |= ~std::uint64_t{0} << (8 * offsetSize);
            lcn = static_cast<std::int64_t>(static_cast<std::uint64_t>(lcn) + delta);
        }
        pos += 1 + lengthSize + offsetSize;
        if (length > vcnSpan - total)
            break;  // runs past the attribute's VCN span are dropped, and so is everything after them
        total += length;
        if (length == 0)
            continue;
        if (offsetSize == 0) {
            out.push_back({0, length, true});
            continue;
        }
        // Clusters outside the volume are never read: they count as holes.
        const auto start = static_cast<std::uint64_t>(lcn);
        if (lcn <= 0 || start >= limit) {
            out.push_back({0, length, true});
        } else if (length > limit - start) {
            out.push_back({lcn, limit - start, false});
            out.push_back({0, length - (limit - start), true});
        } else {
            out.push_back({lcn, length, false});
        }
    }
}

std::vector<RunPair> ntfs::decodeRunLists(ByteView record, std::uint32_t type, bool unnamedOnly, RunListInfo* info) {
    std::vector<RunPair> runs;
    forEachAttribute(record, [&](const AttributeRef& a) {
        if (a.type != type || !a.nonResident || (unnamedOnly && a.bytes.u8(kAttrNameLength) != 0))
            return true;
        if (!a.bytes.has(0, kNonResidentHeaderSize))
            return true;
        const std::uint64_t startVcn = a.bytes.le64(kAttrStartVcn);
        const std::uint64_t lastVcn = a.bytes.le64(kAttrLastVcn);
        const std::uint64_t span = lastVcn >= startVcn ? lastVcn - startVcn + 1 : 0;
        attrClusterCount = span;
        if (info != nullptr && startVcn == 0 && !info->found) {
            info->found = true;
            info->realSize = a.bytes.le64(kAttrRealSize);
            info->initializedSize = a.bytes.le64(kAttrInitializedSize);
        }
        decodeMappingPairs(a.bytes.from(a.bytes.le16(kAttrRunListOffset)), span, runs);
        return true;
    });
    return runs;
}

std::vector<RunPair> ntfs::readRunList(std::uint64_t offset, std::uint32_t type) {
    std::vector<std::uint8_t> raw;
    if (!readRecord(offset, raw))
        return {};
    std::vector<std::uint8_t> fixed(recordSize);
    applyFixup(fixed.data(), ByteView(raw.data(), raw.size()), recordSize);
    return decodeRunLists(ByteView(fixed.data(), fixed.size()), type, false, nullptr);
}

void ntfs::takeMftRunList(std::uint64_t offset) {
    mftRunList.clear();
    mftRealSize = 0;
    std::vector<std::uint8_t> raw;
    if (!readRecord(offset, raw))
        return;
    std::vector<std::uint8_t> fixed(recordSize);
    applyFixup(fixed.data(), ByteView(raw.data(), raw.size()), recordSize);
    const ByteView record(fixed.data(), fixed.size());
    RunListInfo info;
    mftRunList = decodeRunLists(record, kTypeData, true, &info);
    mftRealSize = info.realSize;
    // A heavily fragmented MFT keeps the rest of its runs in extension records, which lie in the
    // part of the MFT that the base record already maps.
    DataInfo data;
    std::vector<RunPair> extended;
    if (collectExtensionRuns(record, extended, data) && extended.size() > mftRunList.size()) {
        mftRunList = std::move(extended);
        mftRealSize = data.realSize;
    }
}

std::uint64_t ntfs::recordOffsetOf(std::uint64_t recordNumber) const {
    if (!mftRunList.empty() && clusterSize != 0) {
        std::uint64_t byte = recordNumber * recordSize;
        if (recordNumber > (~std::uint64_t{0}) / recordSize)
            return kNoIndex;
        for (const RunPair& run : mftRunList) {
            const std::uint64_t runBytes = run.clusterCount * clusterSize;
            if (byte < runBytes)
                return run.sparse ? kNoIndex : static_cast<std::uint64_t>(run.startCluster) * clusterSize + byte;
            byte -= runBytes;
        }
        return kNoIndex;
    }
    if (auto found = scannedRecordOffsets_.find(recordNumber); found != scannedRecordOffsets_.end())
        return found->second;
    if (recordNumber < entryList.size() && entryList[recordNumber].isFileRecord())
        return entryList[recordNumber].recordOffset;
    return kNoIndex;
}

std::uint64_t ntfs::contentOffset(const NtfsEntry& entry) const {
    if (entry.baseRecord == 0)
        return entry.recordOffset;
    const std::uint64_t base = recordOffsetOf(entry.baseRecord);
    return base != kNoIndex ? base : entry.recordOffset;
}

void ntfs::buildEntryList() {
    if (!mftLocated || stopFlag.isSet())
        return;
    entryList.clear();
    if (clusterSize == 0)
        clusterSize = 4096;
    recordsPerCluster = static_cast<std::uint32_t>(std::max<std::uint64_t>(1, clusterSize / recordSize));
    // The slot count is bounded by what the MFT really holds and by the volume.
    std::uint64_t mapped = 0;
    for (const RunPair& run : mftRunList)
        mapped += std::min(run.clusterCount, volumeClusters());
    std::uint64_t slots = mapped > (~std::uint64_t{0}) / clusterSize ? ~std::uint64_t{0} : mapped * clusterSize / recordSize;
    if (mftRealSize > 0)
        slots = std::min(slots, mftRealSize / recordSize);
    if (volumeSize > 0)
        slots = std::min(slots, volumeSize / recordSize);
    // One slot more for ORPHAN_ENTRY, added after the walk: growing a full list to make room for
    // it would hold two copies of every record at once.
    entryList.reserve(slots + 1);
    std::uint64_t slot = 0;
    std::uint64_t runFirstByte = 0;  // MFT byte at which the current run starts
    for (const RunPair& run : mftRunList) {
        if (slot >= slots || stopFlag.isSet())
            break;
        progress_.setStatus(formatText("parsing %lld cluster of MFT run.", static_cast<long long>(run.startCluster)));
        const std::uint64_t runBytes = std::min(run.clusterCount, volumeClusters()) * clusterSize;
        // Records are laid out on the MFT's byte stream; one that straddles two runs keeps the
        // offset of its first part.
        while (slot < slots && slot * recordSize < runFirstByte + runBytes) {
            NtfsEntry entry;
            entry.selfIndex = entryList.size();
            entry.recordOffset = run.sparse ? kNoIndex
                                            : static_cast<std::uint64_t>(run.startCluster) * clusterSize +
                                                  (slot * recordSize - runFirstByte);
            entryList.push_back(std::move(entry));
            ++slot;
        }
        runFirstByte += runBytes;
    }
}

bool ntfs::parseRecord(std::uint64_t offset, std::uint64_t index) {
    recordOffset = offset;
    std::vector<std::uint8_t> raw;
    if (index >= entryList.size() || !readRecord(offset, raw))
        return false;
    parseRecordBytes(ByteView(raw.data(), raw.size()), index);
    return true;
}

void ntfs::ensureLinkTables() {
    lastChild_.resize(entryList.size(), 0);
    inChain_.resize(entryList.size(), 0);
}

void ntfs::parseRecordBytes(ByteView raw, std::uint64_t index) {
    ensureLinkTables();
    applyFixup(fixed_.data(), raw, recordSize);
    const ByteView record(fixed_.data(), recordSize);
    NtfsEntry& entry = entryList[index];
    const std::uint16_t headerFlags = record.le16(kRecordFlags);
    entry.baseRecord = record.le64(kRecordBaseReference) & 0xFFFFFFFFFFFFull;
    bool parentTaken = false;
    std::uint64_t firstParentReference = 0;
    forEachAttribute(record, [&](const AttributeRef& a) {
        switch (a.type) {
        case kTypeStandardInformation: {
            const ByteView value = residentValue(a);
            if (value.has(0, kSiMinimumSize)) {
                entry.creationTime = value.le64(kSiCreationTime);
                entry.modificationTime = value.le64(kSiModificationTime);
                entry.accessTime = value.le64(kSiAccessTime);
            }
            break;
        }
        case kTypeAttributeList:
            entry.hasAttributeListAttr = true;
            break;
        case kTypeData:
            if (a.bytes.u8(kAttrNameLength) != 0 || entry.dataInRecord)
                break;
            if (!a.nonResident) {
                if (a.bytes.has(0, kResidentHeaderSize)) {
                    entry.dataSize = a.bytes.le32(kAttrValueLength);
                    entry.dataInRecord = true;
                }
            } else if (a.bytes.has(0, kNonResidentHeaderSize) && a.bytes.le64(kAttrStartVcn) == 0) {
                entry.dataSize = a.bytes.le64(kAttrRealSize);
                entry.dataInRecord = true;
            }
            break;
        case kTypeFileName: {
            const ByteView value = residentValue(a);
            if (a.nonResident || !value.has(0, kFnName))
                break;
            const std::uint32_t fileFlags = value.le32(kFnFlags);
            entry.fileAttributes = static_cast<std::uint16_t>(fileFlags);
            if ((fileFlags & kFnDirectoryFlag) != 0)
                entry.kind = 'D';
            const std::uint8_t length = value.u8(kFnNameLength);
            if (length == 0xFF)
                break;
            const std::uint64_t units = std::min<std::uint64_t>(length, (value.size() - kFnName) / 2);
            const std::uint8_t nameSpace = value.u8(kFnNameSpace);
            const std::uint64_t reference = value.le64(kFnParentReference);
            // A DOS 8.3 name never replaces a long name, and a second hard link's name never
            // replaces the name that goes with the parent already taken.
            bool takeName = true;
            if (parentTaken) {
                if (nameSpace == kNameSpaceDos && entry.nameSpace != kNameSpaceDos)
                    takeName = false;
                if ((reference & 0xFFFFFFFFFFFFull) != (firstParentReference & 0xFFFFFFFFFFFFull))
                    takeName = false;
            }
            if (takeName) {
                if (!entry.named)
                    progress_.entryFound();
                entry.name = utf16leToUtf8(value.data() + kFnName, units);
                entry.named = true;
                entry.nameSpace = nameSpace;
            }
            entry.recordFlags = headerFlags;
            entry.size = value.le64(kFnAllocatedSize);
            if (!parentTaken) {
                parentTaken = true;
                firstParentReference = reference;
                entry.parentIndex = parentFromReference(reference);
            }
            linkParsed(index);
            break;
        }
        default:
            break;
        }
        return true;
    });
}

void ntfs::setFirstChild(std::uint64_t parent, std::uint64_t child) {
    entryList[parent].firstChild = child;
    if (child != 0 && child < entryList.size()) {
        lastChild_[parent] = child;
        inChain_[child] = 1;
    }
}

void ntfs::linkParsed(std::uint64_t index) {
    NtfsEntry& entry = entryList[index];
    const std::uint64_t count = entryList.size();
    const auto parent = static_cast<std::int64_t>(entry.parentIndex);
    if (parent >= 0 && static_cast<std::uint64_t>(parent) < index) {
        NtfsEntry& folder = entryList[static_cast<std::uint64_t>(parent)];
        if (folder.kind != 'D') {
            entry.orphaned = 1;
            return;
        }
        if (folder.firstChild == 0)
            setFirstChild(static_cast<std::uint64_t>(parent), entry.selfIndex);
        linkChild(index);
        return;
    }
    if (inChain_[index] == 0)
        entry.nextSibling = 0;
    if (parent >= 0 && static_cast<std::uint64_t>(parent) < count) {
        const auto p = static_cast<std::uint64_t>(parent);
        if (entryList[p].firstChild == 0 && p != index)
            setFirstChild(p, entry.selfIndex);
        linkChild(index);
    } else {
        entry.orphaned = 1;
    }
}

void ntfs::linkChild(std::uint64_t x) {
    const std::uint64_t count = entryList.size();
    if (x >= count || entryList[x].selfIndex >= count || entryList[x].selfIndex == 0)
        return;
    ensureLinkTables();
    const std::uint64_t parent = entryList[x].parentIndex;
    if (parent >= count)
        return;
    const std::uint64_t first = parent != 0 ? entryList[parent].firstChild : 0;
    if (first == 0) {
        if (parent != x)  // an entry is never its own child
            setFirstChild(parent, x);
        return;
    }
    if (first >= count || !entryList[first].isFileRecord() || first == x || parent == x || inChain_[x] != 0)
        return;
    // The chain's end is kept per parent, so appending costs O(1) instead of a walk.
    std::uint64_t tail = lastChild_[parent] != 0 ? lastChild_[parent] : first;
    std::uint64_t steps = 0;
    while (entryList[tail].nextSibling != 0 && entryList[tail].nextSibling < count && steps++ < count)
        tail = entryList[tail].nextSibling;
    if (tail == x)
        return;
    entryList[tail].nextSibling = x;
    lastChild_[parent] = x;
    inChain_[x] = 1;
}

void ntfs::parseEntries() {
    const std::uint64_t count = entryList.size();
    ensureLinkTables();
    if (mftLocated && !stopFlag.isSet()) {
        progress_.setRange(0, static_cast<std::int64_t>(count));
        const std::uint64_t group = std::max<std::uint64_t>(1, kBulkReadBytes / recordSize);
        std::vector<std::uint8_t> chunk;
        bool stopped = false;
        for (std::uint64_t i = 0; i < count && !stopped;) {
            std::uint64_t j = i + 1;
            while (j < count && j - i < group && entryList[j - 1].recordOffset != kNoIndex &&
                   entryList[j].recordOffset == entryList[j - 1].recordOffset + recordSize)
                ++j;
            // One read for a stretch of consecutive slots; the records are fixed up in memory.
            chunk.assign((j - i) * recordSize, 0);
            const std::uint64_t first = entryList[i].recordOffset;
            const bool readable = first != kNoIndex && first <= static_cast<std::uint64_t>(INT64_MAX) &&
                                  source_.seekTo(static_cast<std::int64_t>(first));
            if (readable)
                source_.read(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
            for (std::uint64_t k = i; k < j; ++k) {
                if (stopFlag.isSet()) {
                    stopped = true;
                    break;
                }
                if (k % kStatusEvery == 0)
                    progress_.setStatus(formatText("parsing MFT entry %llu...", static_cast<unsigned long long>(k)));
                progress_.setPosition(static_cast<std::int64_t>(k));
                if (!readable)
                    continue;
                const ByteView raw(chunk.data() + (k - i) * recordSize, recordSize);
                std::memcpy(entryList[k].signature.data(), raw.data(), 4);
                recordOffset = entryList[k].recordOffset;
                parseRecordBytes(raw, k);
            }
            i = j;
        }
    }

    NtfsEntry orphan;
    orphan.signature = {'F', 'I', 'L', 'E'};
    orphan.name = "ORPHAN_ENTRY";
    orphan.named = true;
    orphan.nameSpace = kNameSpaceWin32;
    orphan.kind = 'D';
    orphanIndex = entryList.size();
    entryList.push_back(std::move(orphan));
    ensureLinkTables();
    const std::uint64_t total = entryList.size();

    rootIndex = count;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (entryList[i].named && entryList[i].name == ".") {
            rootIndex = i;
            break;
        }
    }
    if (rootIndex < count && rootIndex > 0) {
        NtfsEntry& orphanEntry = entryList[orphanIndex];
        orphanEntry.parentIndex = rootIndex;
        orphanEntry.nextSibling = 0;
        orphanEntry.selfIndex = orphanIndex;
        orphanEntry.recordFlags = kRecordInUse;
        // ORPHAN_ENTRY becomes the root's last child (its first when the root has none).
        std::uint64_t last = rootIndex;
        std::uint64_t next = entryList[rootIndex].firstChild;
        std::uint64_t steps = 0;
        while (next != 0 && next < total && steps++ < total) {
            last = next;
            next = entryList[next].nextSibling;
        }
        if (last == rootIndex)
            entryList[rootIndex].firstChild = orphanIndex;
        else
            entryList[last].nextSibling = orphanIndex;
    }

    if (scanMode != 3)
        detachChildrenOfFiles();
    hangOrphans();
    if (scanMode != 3)
        breakCycles();
}

void ntfs::detachChildrenOfFiles() {
    // A parent slot reused by a file (or never a directory) would hide the entries linked under
    // it: they go to ORPHAN_ENTRY instead.
    const std::uint64_t total = entryList.size();
    for (std::uint64_t p = 0; p < total; ++p) {
        NtfsEntry& parent = entryList[p];
        if (parent.kind == 'D' || parent.firstChild == 0 || p == orphanIndex)
            continue;
        std::uint64_t child = parent.firstChild;
        std::uint64_t steps = 0;
        while (child != 0 && child < total && steps++ < total) {
            const std::uint64_t next = entryList[child].nextSibling;
            if (child != rootIndex && child != orphanIndex)
                entryList[child].orphaned = 1;
            child = next;
        }
        parent.firstChild = 0;
        lastChild_[p] = 0;
    }
}

void ntfs::hangOrphans() {
    const std::uint64_t total = entryList.size();
    progress_.setRange(0, static_cast<std::int64_t>(total));
    NtfsEntry& orphan = entryList[orphanIndex];
    if (scanMode != 3) {
        for (std::uint64_t i = 0; i < total; ++i) {
            NtfsEntry& entry = entryList[i];
            if (entry.orphaned != 1 || i == orphanIndex)
                continue;
            if (orphan.firstChild == 0) {
                orphan.firstChild = i;
                entry.parentIndex = orphanIndex;
                entry.nextSibling = kChainEnd;
            } else {
                entry.nextSibling = orphan.firstChild;
                orphan.firstChild = i;
            }
        }
        return;
    }
    // Deep scan: every directory under ORPHAN_ENTRY, every file under the directory found last
    // before it. Files met before the first directory stay in ORPHAN_ENTRY's chain.
    constexpr std::uint64_t kDirectoriesUnderOrphan = 100001;
    std::uint64_t current = orphanIndex;
    std::uint64_t placed = 0;
    for (std::uint64_t i = 0; i < total; ++i) {
        if (i == orphanIndex || i == rootIndex)
            continue;
        NtfsEntry& entry = entryList[i];
        entry.firstChild = 0;
        entry.parentIndex = 0;
        entry.nextSibling = 0;
        if (i == 0 || !entry.named)
            continue;
        if (entry.kind == 'D' && placed < kDirectoriesUnderOrphan) {
            entry.parentIndex = orphanIndex;
            entry.nextSibling = orphan.firstChild != 0 ? orphan.firstChild : kChainEnd;
            orphan.firstChild = i;
            current = i;
            ++placed;
            continue;
        }
        NtfsEntry& folder = entryList[current];
        entry.nextSibling = folder.firstChild != 0 ? folder.firstChild : kChainEnd;
        folder.firstChild = i;
        if (entry.kind == 'D')
            ++placed;
    }
}

void ntfs::breakCycles() {
    // Every entry hangs in at most one chain and no folder below itself; a crafted volume that
    // says otherwise gets its chain cut where an entry repeats.
    const std::uint64_t total = entryList.size();
    std::vector<std::uint8_t> seen(total, 0);
    std::vector<std::uint64_t> stack;
    for (std::uint64_t top : {rootIndex, orphanIndex}) {
        if (top >= total || seen[top] != 0)
            continue;
        seen[top] = 1;
        stack.push_back(top);
        while (!stack.empty()) {
            const std::uint64_t folder = stack.back();
            stack.pop_back();
            std::uint64_t previous = kNoIndex;
            std::uint64_t child = entryList[folder].firstChild;
            while (child != 0 && child < total) {
                if (seen[child] != 0) {
                    if (previous == kNoIndex)
                        entryList[folder].firstChild = 0;
                    else
                        entryList[previous].nextSibling = 0;
                    break;
                }
                seen[child] = 1;
                if (entryList[child].kind == 'D' || child == orphanIndex)
                    stack.push_back(child);
                previous = child;
                child = entryList[child].nextSibling;
            }
        }
    }
}

void ntfs::clearEntries() {
    entryList.clear();
    lastChild_.clear();
    inChain_.clear();
    scannedRecordOffsets_.clear();
}
