#include "fs/fat/Fat64Class.h"

#include <algorithm>
#include <optional>

#include "app/ProgressSink.h"
#include "common/ByteView.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "fs/fat/DosDateTime.h"
#include "fs/fat/FatLayout.h"
#include "fs/fat/FatStructureFinder.h"
#include "fs/fat/OrphanWalk.h"
#include "output/OutputFile.h"

using namespace fat_layout;

namespace {
/// The format's own limit on a directory's size.
constexpr std::uint64_t kMaxDirectoryBytes = 256ull * 1024 * 1024;

std::optional<std::time_t> stampTime(std::uint32_t stamp) {
    return dosDateTime(static_cast<std::uint16_t>(stamp >> 16), static_cast<std::uint16_t>(stamp & 0xFFFF));
}
EntryTime stampWallClock(std::uint32_t stamp) {
    return dosWallClock(static_cast<std::uint16_t>(stamp >> 16), static_cast<std::uint16_t>(stamp & 0xFFFF));
}
}  // namespace

Fat64Class::Fat64Class(const ReaderInput& input)
    : volume(input.volume), totalBytes(input.volumeBytes), formatted_(input.formatted), progress_(input.progress),
      cursor_(input.source) {
    input.attach(stopFlag);
}

bool Fat64Class::openVolume() {
    source_ = &cursor_;
    cursor_.seekTo(0);
    return true;
}

bool Fat64Class::readBootSector() {
    std::vector<unsigned char> sector(512, 0);
    if (source_ == nullptr || !source_->readAt(0, sector.data(), 512))
        return false;
    const ByteView s(sector.data(), sector.size());
    const unsigned bpsShift = s.u8(kExfatBytesPerSectorShift);
    const unsigned spcShift = s.u8(kExfatSectorsPerClusterShift);
    // 512 to 4096 bytes per sector, clusters of at most 32 MiB.
    if (!s.matches(kExfatName, "EXFAT") || bpsShift < 9 || bpsShift > 12 || bpsShift + spcShift > 25)
        return false;
    const std::uint64_t bps = 1ull << bpsShift;
    clusterLength_ = bps << spcShift;
    spcShift_ = spcShift;
    heapOffset_ = static_cast<std::uint64_t>(s.le32(kExfatHeapOffset)) * bps;
    rootCluster_ = s.le32(kExfatRootCluster);
    const std::uint32_t clusterCount = std::min<std::uint32_t>(s.le32(kExfatClusterCount), 0xFFFFFFF5u);
    fat_.configure(source_, static_cast<std::uint64_t>(s.le32(kExfatFatOffset)) * bps,
                   static_cast<std::uint64_t>(s.le32(kExfatFatLength)) * bps, 32, clusterCount + 2, false);
    return true;
}

bool Fat64Class::readRootDirectory() { return fat_.validCluster(rootCluster_); }

std::vector<std::uint32_t> Fat64Class::clustersOf(std::uint32_t first, std::uint64_t length, bool contiguous,
                                                  bool useVisited) {
    if (clusterLength_ == 0)
        return {};
    const std::uint64_t needed = (length + clusterLength_ - 1) / clusterLength_;
    return fat_.chain(first, needed, contiguous, useVisited ? &visitedClusters_ : nullptr);
}

void Fat64Class::walkSets(const std::vector<unsigned char>& bytes, std::uint32_t parentIndex) {
    const ByteView dir(bytes.data(), bytes.size());
    for (std::uint64_t at = 0; dir.has(at, 32);) {
        const ByteView slot = dir.slice(at, 32);
        const std::uint8_t type = slot.u8(0);
        at += 32;
        if (type != kExfatFileEntry && type != kExfatDeletedFileEntry)
            continue;
        ExfatEntry e;
        e.entryType = type;
        e.attributes = slot.le16(kExfatAttributes);
        e.createTimestamp = slot.le32(kExfatCreateTimestamp);
        e.modifyTimestamp = slot.le32(kExfatModifyTimestamp);
        e.accessTimestamp = slot.le32(kExfatAccessTimestamp);
        e.create10ms = slot.u8(kExfatCreate10ms);
        e.modify10ms = slot.u8(kExfatModify10ms);
        e.createUtcOffset = slot.u8(kExfatCreateUtcOffset);
        e.modifyUtcOffset = slot.u8(kExfatModifyUtcOffset);
        e.accessUtcOffset = slot.u8(kExfatAccessUtcOffset);
        const ByteView stream = dir.slice(at, 32);
        if (stream.u8(0) == kExfatStreamEntry || stream.u8(0) == kExfatDeletedStreamEntry) {
            e.streamType = stream.u8(0);
            e.streamFlags = stream.u8(kExfatStreamFlags);
            e.nameLength = stream.u8(kExfatNameLength);
            e.validDataLength = stream.le64(kExfatValidDataLength);
            e.firstCluster = stream.le32(kExfatFirstCluster);
            e.dataLength = stream.le64(kExfatDataLength);
            at += 32;
        }
        for (std::uint32_t n = 0; n < kExfatMaxNameEntries && dir.has(at, 32); ++n, at += 32) {
            const std::uint8_t t = dir.u8(at);
            if (t != kExfatNameEntry && t != kExfatDeletedNameEntry)
                break;
            e.name += utf16leToUtf8(dir.data() + at + kExfatNameUnits, kExfatUnitsPerNameEntry);
        }
        e.parentIndex = parentIndex;
        e.selfIndex = static_cast<std::uint32_t>(entries_.size());
        if (isExfatDirectoryAttribute(e.attributes)) {
            const bool contiguous = (e.streamFlags & kExfatNoFatChain) != 0 || e.deleted() || formatted_;
            const std::uint64_t length = std::min(std::max(e.dataLength, e.validDataLength), kMaxDirectoryBytes);
            pending_.push_back(DirectoryTask{e.selfIndex, e.firstCluster, length, contiguous});
        }
        entries_.push_back(std::move(e));
        progress_.entryFound();
    }
}

void Fat64Class::walkDirectory(const DirectoryTask& task) {
    const std::uint64_t length = task.length == 0 ? clusterLength_ : task.length;
    const auto clusters = clustersOf(task.firstCluster, length, task.contiguous, true);
    std::vector<unsigned char> bytes(clusters.size() * clusterLength_, 0);
    for (std::size_t i = 0; i < clusters.size(); ++i)
        source_->readAt(static_cast<std::int64_t>(clusterOffset(clusters[i])), bytes.data() + i * clusterLength_,
                        static_cast<std::uint32_t>(clusterLength_));
    walkSets(bytes, task.recordIndex);
}

std::vector<ExfatEntry> Fat64Class::walkRootDirectory() {
    entries_.clear();
    ExfatEntry dummy;
    dummy.name = "DUMMY ENTRY";
    entries_.push_back(dummy);
    progress_.setRange(0, 1000);
    // The root has no length field: its chain is followed to its end, within the format's limit.
    walkDirectory(DirectoryTask{0, rootCluster_, kMaxDirectoryBytes, formatted_});
    walkPending(true);
    return entries_;
}

void Fat64Class::walkPending(bool reportProgress) {
    while (!pending_.empty() && !stopFlag.isSet()) {
        const DirectoryTask task = pending_.front();
        pending_.pop_front();
        walkDirectory(task);
        if (reportProgress)
            progress_.setPosition(static_cast<std::int64_t>(std::min<std::uint64_t>(visitedClusters_.size() * 1000 / std::max<std::uint32_t>(fat_.clusterLimit(), 1), 1000)));
    }
    pending_.clear();
}

void Fat64Class::linkEntries() {
    std::vector<ExfatEntry*> last(entries_.size(), nullptr);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        entries_[i].firstChild = nullptr;
        entries_[i].nextSibling = nullptr;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const std::uint32_t p = entries_[i].parentIndex;
        if (p >= entries_.size() || p == i)
            continue;
        if (entries_[p].firstChild == nullptr)
            entries_[p].firstChild = &entries_[i];
        else
            last[p]->nextSibling = &entries_[i];
        last[p] = &entries_[i];
    }
}

FileExtents Fat64Class::contentExtents(const ExfatEntry& entry) {
    FileExtents extents;
    std::uint64_t remaining = entry.validDataLength;
    if (isExfatDirectoryAttribute(entry.attributes) || remaining == 0)
        return extents;
    const bool contiguous = (entry.streamFlags & kExfatNoFatChain) != 0 || entry.deleted() || formatted_;
    const auto clusters = clustersOf(entry.firstCluster, remaining, contiguous, false);
    // Nothing is taken from beyond the volume's end: a crafted length would otherwise have the
    // save write gigabytes of zeros. What the volume holds is kept, but the file is not whole.
    const std::uint64_t volumeEnd = readableBytes();
    for (std::size_t i = 0; i < clusters.size() && remaining > 0;) {
        std::size_t run = 1;
        while (i + run < clusters.size() && clusters[i + run] == clusters[i] + run)
            ++run;
        const std::uint64_t piece = std::min<std::uint64_t>(run * clusterLength_, remaining);
        remaining -= extents.appendWithin(entry.validDataLength - remaining, piece, clusterOffset(clusters[i]), volumeEnd);
        i += run;
        if (!extents.whole)
            break;
    }
    extents.length = entry.validDataLength - remaining;
    return extents;
}

std::unique_ptr<FileContent> Fat64Class::openContent(const ExfatEntry& entry) {
    if (source_ == nullptr)
        return nullptr;
    const ContentTimes times{OutputFile::seconds(stampTime(entry.accessTimestamp)),
                             OutputFile::seconds(stampTime(entry.modifyTimestamp))};
    return std::make_unique<ExtentContent>(*source_, contentExtents(entry), times);
}

std::uint64_t Fat64Class::readableBytes() const { return readableVolumeBytes(totalBytes, source_); }

EntryDetails Fat64Class::entryDetails(const ExfatEntry& e) {
    EntryDetails t{stampWallClock(e.createTimestamp), stampWallClock(e.accessTimestamp),
                   stampWallClock(e.modifyTimestamp), {}};
    const std::uint8_t a = static_cast<std::uint8_t>(e.attributes & 0xFF);
    if ((a & 0x01) != 0)
        t.attributes += "-R";
    if ((a & 0x02) != 0)
        t.attributes += "-H";
    if ((a & 0x04) != 0)
        t.attributes += "-S";
    if ((a & 0x20) != 0)
        t.attributes += "-A";
    return t;
}

std::vector<std::uint64_t> Fat64Class::findFatPositions(std::int64_t maxCount) {
    if (source_ == nullptr)
        return fatPositions;
    return findStructures(FinderKind::ExfatFat, *source_, totalBytes, maxCount, stopFlag, progress_, fatPositions);
}

std::vector<std::uint64_t> Fat64Class::findHeapOffsets(std::int64_t maxCount) {
    if (source_ == nullptr)
        return heapOffsets;
    return findStructures(FinderKind::ExfatHeap, *source_, totalBytes, maxCount, stopFlag, progress_, heapOffsets);
}

// --- Advanced mode ---

namespace {
/// The disk scan reads this much at a time; the tail overlap lets a set that starts near the end
/// of a piece be tested whole.
constexpr std::uint64_t kScanPiece = 4 * 1024 * 1024;
constexpr std::uint64_t kLongestSet = (2 + kExfatMaxNameEntries) * 32;

bool zeroBytes(ByteView slot, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t i = from; i < to; ++i)
        if (slot.u8(i) != 0)
            return false;
    return true;
}

/// The slots of the file entry set at `at` when they look like one (0 when not): a file entry
/// with defined attribute bits only (a read-only photo or a hidden folder is found too) and clean
/// reserved fields, a stream extension, and as many
/// name entries as the name length needs.
std::uint64_t entrySetSlots(ByteView piece, std::uint64_t at) {
    const ByteView file = piece.slice(at, 32);
    const std::uint8_t type = file.u8(0);
    if (type != kExfatFileEntry && type != kExfatDeletedFileEntry)
        return 0;
    const std::uint16_t a = file.le16(kExfatAttributes);
    if ((a & ~kExfatDefinedAttributes) != 0 || file.le16(kExfatReserved1) != 0 || !zeroBytes(file, kExfatReserved2, 32))
        return 0;
    const ByteView stream = piece.slice(at + 32, 32);
    const std::uint8_t flags = stream.u8(kExfatStreamFlags);
    if ((stream.u8(0) != kExfatStreamEntry && stream.u8(0) != kExfatDeletedStreamEntry) || stream.u8(kExfatStreamReserved1) != 0 ||
        stream.le16(kExfatStreamReserved2) != 0 || stream.le32(kExfatStreamReserved3) != 0 || (flags != 0x01 && flags != 0x03))
        return 0;
    const std::uint64_t names = (stream.u8(kExfatNameLength) + kExfatUnitsPerNameEntry - 1) / kExfatUnitsPerNameEntry;
    if (names == 0)
        return 0;
    for (std::uint64_t n = 0; n < names; ++n) {
        const ByteView name = piece.slice(at + 64 + n * 32, 32);
        if ((name.u8(0) != kExfatNameEntry && name.u8(0) != kExfatDeletedNameEntry) || name.u8(kExfatNameFlags) > 3)
            return 0;
    }
    return 2 + names;
}
}  // namespace

void Fat64Class::setAssumedGeometry(std::uint32_t sectorsPerClusterShift) {
    advanced_ = true;
    spcShift_ = std::min<std::uint32_t>(sectorsPerClusterShift, 16);  // clusters of 32 MiB at most
    clusterLength_ = 512ull << spcShift_;
}

void Fat64Class::scanEntrySets() {
    candidates_.clear();
    rootPosition_ = UINT64_MAX;
    const std::uint64_t total = readableVolumeBytes(totalBytes, source_);
    progress_.setRange(0, 1000);
    std::vector<unsigned char> buffer;
    for (std::uint64_t position = 0; position < total && source_ != nullptr; position += kScanPiece) {
        // A stop ends the scan; the sets found so far are still built, so the flag is cleared.
        if (stopFlag.isSet()) {
            stopFlag.clear();
            break;
        }
        progress_.setPosition(static_cast<std::int64_t>(static_cast<double>(position) / static_cast<double>(total) * 1000));
        const std::uint64_t length = std::min(kScanPiece, total - position);
        const std::uint64_t withTail = std::min(length + kLongestSet, total - position);
        buffer.assign(withTail, 0);
        source_->readAt(static_cast<std::int64_t>(position), buffer.data(), static_cast<std::uint32_t>(withTail));
        const ByteView piece(buffer.data(), buffer.size());
        for (std::uint64_t at = 0; at < length; at += 32) {
            const std::uint8_t type = piece.u8(at);
            // The volume label and the allocation bitmap entry live in the root only.
            if (rootPosition_ == UINT64_MAX &&
                ((type == kExfatVolumeLabel && zeroBytes(piece.slice(at, 32), 24, 32)) || type == kExfatBitmap))
                rootPosition_ = position + at;
            const std::uint64_t slots = entrySetSlots(piece, at);
            if (slots == 0 || candidates_.size() >= kMaxCandidates)
                continue;
            const ByteView stream = piece.slice(at + 32, 32);
            SetCandidate c;
            c.position = position + at;
            c.firstCluster = stream.le32(kExfatFirstCluster);
            c.length = std::max(stream.le64(kExfatDataLength), stream.le64(kExfatValidDataLength));
            c.directory = isExfatDirectoryAttribute(piece.le16(at + kExfatAttributes));
            c.contiguous = (stream.u8(kExfatStreamFlags) & kExfatNoFatChain) != 0 || type == kExfatDeletedFileEntry;
            candidates_.push_back(c);
            progress_.setStatus(formatText("found Entry %d ", static_cast<int>(candidates_.size())));
            at += (slots - 1) * 32;
        }
    }
}

std::size_t Fat64Class::heapAgreement(std::uint64_t heapOffset) {
    // The root lies on a cluster boundary of the heap.
    if (source_ == nullptr || clusterLength_ == 0 ||
        (rootPosition_ != UINT64_MAX && (rootPosition_ < heapOffset || (rootPosition_ - heapOffset) % clusterLength_ != 0)))
        return 0;
    std::size_t agreeing = 0, tried = 0;
    unsigned char first = 0;
    for (const SetCandidate& c : candidates_) {
        if (!c.directory || c.firstCluster < 2 || c.length == 0)
            continue;
        if (++tried > 64)
            break;
        first = 0;
        source_->readAt(static_cast<std::int64_t>(heapOffset + (static_cast<std::uint64_t>(c.firstCluster) - 2) * clusterLength_), &first, 1);
        agreeing += first == kExfatFileEntry || first == kExfatDeletedFileEntry ? 1 : 0;
    }
    return agreeing;
}

std::vector<ExfatEntry> Fat64Class::buildFromCandidates(std::uint64_t heapOffset, std::uint64_t fatPosition) {
    entries_.clear();
    visitedClusters_.clear();
    pending_.clear();
    if (source_ == nullptr || clusterLength_ == 0)
        return entries_;
    heapOffset_ = heapOffset;
    const std::uint64_t total = readableVolumeBytes(totalBytes, source_);
    const std::uint64_t clusters = total > heapOffset ? (total - heapOffset) / clusterLength_ : 0;
    const std::uint32_t limit = static_cast<std::uint32_t>(std::min<std::uint64_t>(clusters + 2, 0xFFFFFFF5u));
    fat_.configure(source_, fatPosition, static_cast<std::uint64_t>(limit) * 4, 32, limit, false);
    ExfatEntry dummy;
    dummy.name = "DUMMY ENTRY";
    entries_.push_back(dummy);
    ExfatEntry orphan;
    orphan.entryType = kExfatFileEntry;
    orphan.attributes = 0x10;
    orphan.name = "ORPHAN ENTRY";
    orphan.selfIndex = 1;
    entries_.push_back(orphan);
    progress_.setStatus(formatText("assumed geometry: %u bytes per cluster, FAT at byte %llu, cluster heap at byte %llu",
                                   static_cast<unsigned>(clusterLength_), static_cast<unsigned long long>(fatPosition),
                                   static_cast<unsigned long long>(heapOffset)));
    if (rootPosition_ != UINT64_MAX && rootPosition_ >= heapOffset) {
        const auto root = static_cast<std::uint32_t>(std::min<std::uint64_t>(2 + (rootPosition_ - heapOffset) / clusterLength_, limit));
        walkDirectory(DirectoryTask{0, root, kMaxDirectoryBytes, formatted_});
        walkPending(false);
    }
    buildOrphans();
    return entries_;
}

void Fat64Class::buildOrphans() {
    // Clusters a found folder set leads to: sets found there are reached through that folder,
    // so they are not taken as orphans before it has been walked.
    std::unordered_set<std::uint32_t> owned;
    for (const SetCandidate& c : candidates_)
        if (c.directory)
            for (const std::uint32_t cluster : clustersOf(c.firstCluster, std::min(std::max<std::uint64_t>(c.length, 1), kMaxDirectoryBytes), c.contiguous, false))
                owned.insert(cluster);
    std::vector<unsigned char> set;
    walkOrphans(candidates_, heapOffset_, clusterLength_, owned, visitedClusters_, stopFlag, progress_,
                [&](const SetCandidate& c) {
                    set.assign(kLongestSet, 0);
                    source_->readAt(static_cast<std::int64_t>(c.position), set.data(), static_cast<std::uint32_t>(set.size()));
                    const std::uint64_t slots = entrySetSlots(ByteView(set.data(), set.size()), 0);
                    if (slots == 0)
                        return false;
                    set.resize(slots * 32);
                    walkSets(set, 1);
                    walkPending(false);
                    return true;
                });
}

AllocationMap Fat64Class::allocationMap() {
    if (advanced_ || clusterLength_ == 0 || source_ == nullptr)
        return AllocationMap::notRead("the allocation bitmap is not known on an assumed geometry");
    // The bitmap's entry lies in the root directory (the first one: a second serves TexFAT).
    std::uint32_t bitmapCluster = 0;
    std::uint64_t bitmapBytes = 0;
    std::vector<unsigned char> bytes(clusterLength_);
    for (const std::uint32_t c : fat_.chain(rootCluster_, 256)) {
        std::fill(bytes.begin(), bytes.end(), 0);
        if (!source_->readAt(static_cast<std::int64_t>(clusterOffset(c)), bytes.data(), static_cast<std::uint32_t>(clusterLength_)))
            break;
        const ByteView dir(bytes.data(), bytes.size());
        for (std::uint64_t at = 0; dir.has(at, 32) && bitmapCluster == 0; at += 32) {
            if (dir.u8(at) == kExfatBitmap && (dir.u8(at + 1) & 1U) == 0) {
                bitmapCluster = dir.le32(at + 20);
                bitmapBytes = dir.le64(at + 24);
            }
        }
        if (bitmapCluster != 0)
            break;
    }
    // No more clusters than the volume can hold, whatever the boot sector claims.
    const std::uint64_t clusters = std::min<std::uint64_t>(fat_.clusterLimit() - 2, readableBytes() / clusterLength_);
    if (!fat_.validCluster(bitmapCluster) || bitmapBytes < (clusters + 7) / 8)
        return AllocationMap::notRead("the exFAT allocation bitmap could not be found");
    bitmapBytes = (clusters + 7) / 8;  // what lies past the heap's clusters says nothing
    const std::uint64_t needed = (bitmapBytes + clusterLength_ - 1) / clusterLength_;
    std::vector<std::uint32_t> chain = fat_.chain(bitmapCluster, needed);
    if (chain.size() < needed)
        chain = fat_.chain(bitmapCluster, needed, true);  // written without a FAT chain
    if (chain.size() < needed)
        return AllocationMap::notRead("the exFAT allocation bitmap could not be read");
    std::vector<std::uint8_t> bits(needed * clusterLength_, 0);
    for (std::size_t i = 0; i < chain.size(); ++i) {
        if (!source_->readAt(static_cast<std::int64_t>(clusterOffset(chain[i])), bits.data() + i * clusterLength_,
                             static_cast<std::uint32_t>(clusterLength_)))
            return AllocationMap::notRead("the exFAT allocation bitmap could not be read");
    }
    AllocationBuilder map(readableBytes());
    map.addSpan(0, heapOffset_);
    map.addBitmap(ByteView(bits.data(), bitmapBytes), 0, clusters, heapOffset_, clusterLength_);
    return map.finish();
}
