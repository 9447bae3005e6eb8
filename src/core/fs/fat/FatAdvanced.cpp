// The Advanced mode of the FAT12/16 and FAT32 readers (FatClassBase's advanced steps) and the
// runners that drive the three readers through it.
#include "fs/fat/FatAdvanced.h"

#include <algorithm>
#include <map>

#include "app/ProgressSink.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "fs/ReaderInput.h"
#include "fs/fat/Fat16Class.h"
#include "fs/fat/Fat32Class.h"
#include "fs/fat/Fat64Class.h"
#include "fs/fat/FatLayout.h"
#include "fs/fat/OrphanWalk.h"

using namespace fat_layout;

namespace {
/// The disk scan reads this much at a time (a whole number of clusters of any size).
constexpr std::uint64_t kScanPiece = 4 * 1024 * 1024;

bool isNameChar(std::uint8_t b) {
    return (b >= 'A' && b <= '[') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9');
}
bool isOneOf(std::uint8_t b, std::initializer_list<std::uint8_t> set) {
    return std::find(set.begin(), set.end(), b) != set.end();
}
bool validDosDate(std::uint16_t d) {
    const unsigned month = (d >> 5) & 0x0F;
    return (d & 0x1F) != 0 && month >= 1 && month <= 12;
}
bool validDosTime(std::uint16_t t) { return t < 0xC000 && ((t >> 5) & 0x3F) <= 59 && (t & 0x1F) <= 29; }
/// Creation, last write and last access dates, creation and last write times.
bool datesAndTimesValid(ByteView slot) {
    return validDosDate(slot.le16(kCreateDate)) && validDosDate(slot.le16(kWriteDate)) &&
           validDosDate(slot.le16(kAccessDate)) && validDosTime(slot.le16(kCreateTime)) &&
           validDosTime(slot.le16(kWriteTime));
}
std::uint32_t slotCluster(ByteView slot) {
    return (static_cast<std::uint32_t>(slot.le16(kFirstClusterHigh)) << 16) | slot.le16(kFirstClusterLow);
}
bool isDirAttribute(std::uint8_t a) { return isOneOf(a, {0x10, 0x11, 0x12, 0x14, 0x15, 0x16, 0x30}); }
/// A file whatever its read-only, hidden, system and archive bits: cameras and users set them,
/// and a photo must not be lost for it. Volume labels, folders and the undefined bits stay out.
bool isFileAttribute(std::uint8_t a) { return (a & 0xD8) == 0; }

enum class SlotKind { None, LongName, Directory, File };

/// FAT12/16: what the scan takes a slot for.
SlotKind fat16Candidate(ByteView slot, std::uint64_t clusters) {
    const std::uint8_t a = slot.u8(kAttributes), s0 = slot.u8(0), s1 = slot.u8(1);
    const bool secondOk = isNameChar(s1) || isOneOf(s1, {' ', ')', '.', '~', 0xE5});
    if (a == kLongNameAttributes) {
        const bool ok = slot.u8(12) == 0 && slot.u8(26) == 0 && (secondOk || (s1 == '_' && s0 != 0xE5));
        return ok ? SlotKind::LongName : SlotKind::None;
    }
    if (isDirAttribute(a)) {
        if (!(isNameChar(s0) || isOneOf(s0, {'$', '~', 0xE5})) || !secondOk || !datesAndTimesValid(slot))
            return SlotKind::None;
        const std::uint32_t c = slotCluster(slot);
        if (s0 != 0xE5 && (slot.le32(kFileSize) != 0 || c == 0 || c >= clusters))
            return SlotKind::None;
        return SlotKind::Directory;
    }
    if (isFileAttribute(a)) {
        const bool ok = (isNameChar(s0) || isOneOf(s0, {0xE5, '~'})) && secondOk && isOneOf(slot.u8(12), {0, 0x18}) &&
                        slotCluster(slot) < clusters && datesAndTimesValid(slot);
        return ok ? SlotKind::File : SlotKind::None;
    }
    return SlotKind::None;
}

/// FAT32: what the scan takes a slot for. The creation tenths and times may be zero: tools and
/// cameras that keep no creation time write zeros there.
SlotKind fat32Candidate(ByteView slot, std::uint64_t clusters) {
    const std::uint8_t a = slot.u8(kAttributes), s0 = slot.u8(0), s1 = slot.u8(1);
    const bool wide0 = isNameChar(s0) || (s0 >= '_' && s0 <= 'z');
    const bool wide1 = isNameChar(s1) || (s1 >= '_' && s1 <= 'z');
    if (a == kLongNameAttributes) {
        const bool ok = (wide1 || isOneOf(s1, {' ', '~', ',', '.', ')', 0xE5})) && slot.u8(12) == 0 && slot.u8(26) == 0;
        return ok ? SlotKind::LongName : SlotKind::None;
    }
    const std::uint32_t c = slotCluster(slot);
    if (c == 0 || c >= clusters || !datesAndTimesValid(slot))
        return SlotKind::None;
    if (isDirAttribute(a)) {
        const bool ok = (wide0 || isOneOf(s0, {0xE5, '~', '$'})) && (wide1 || isOneOf(s1, {' ', '~', '.', ')', 0xE5, '_'})) &&
                        (s0 == 0xE5 || slot.le32(kFileSize) == 0);
        return ok ? SlotKind::Directory : SlotKind::None;
    }
    if (isFileAttribute(a)) {
        const bool ok = (wide0 || isOneOf(s0, {0xE5, '~'})) && (wide1 || isOneOf(s1, {' ', '~', '.', 0xE5, '_'})) &&
                        isOneOf(slot.u8(12), {0, 0x18}) && slot.le32(kFileSize) != 0;
        return ok ? SlotKind::File : SlotKind::None;
    }
    return SlotKind::None;
}

/// FAT32: the volume label (or a recycle folder) that marks the root directory.
bool fat32RootMark(ByteView slot) {
    const std::uint8_t s0 = slot.u8(0), s1 = slot.u8(1);
    const bool named = slot.u8(kAttributes) == 0x08 || slot.matches(1, "RECYCLE");
    const auto letterOrDigit = [](std::uint8_t b) { return isNameChar(b) && b != '['; };
    return named && (letterOrDigit(s0) || isOneOf(s0, {0xE5, '~', '$'})) &&
           (letterOrDigit(s1) || isOneOf(s1, {' ', '~', '.', ')', 0xE5})) && isOneOf(slot.u8(12), {0, 0x18}) &&
           slot.u8(28) == 0;
}

bool isDotPair(ByteView piece, std::uint64_t at) {
    return piece.matches(at, ".          ") && (piece.u8(at + kAttributes) & 0x10) != 0 &&
           piece.matches(at + kSlotSize, "..         ") && (piece.u8(at + kSlotSize + kAttributes) & 0x10) != 0;
}

/// The offset of cluster 2 that most dot pairs agree on for this cluster length, and how many do.
std::pair<std::uint64_t, std::size_t> voteDataOffset(const std::vector<FatClassBase::DotPair>& dots, std::uint64_t length,
                                                      std::uint64_t notBefore) {
    std::map<std::uint64_t, std::size_t> votes;
    for (const auto& d : dots) {
        const std::uint64_t back = (static_cast<std::uint64_t>(d.self) - 2) * length;
        if (d.self >= 2 && d.position >= back && d.position - back >= notBefore)
            ++votes[d.position - back];
    }
    std::pair<std::uint64_t, std::size_t> best{0, 0};
    for (const auto& [offset, count] : votes)
        if (count > best.second)
            best = {offset, count};
    return best;
}

/// The length of one FAT copy when the finder saw the next copy right after the chosen one.
std::uint64_t fatCopyLength(const std::vector<std::uint64_t>& found, std::uint64_t chosen) {
    std::uint64_t best = 0;
    for (const std::uint64_t p : found) {
        const std::uint64_t gap = p > chosen ? p - chosen : chosen - p;
        if (gap > 0 && (best == 0 || gap < best))
            best = gap;
    }
    return best;
}

int chosenIndex(int index) { return index < 0 ? 0 : index; }
}  // namespace

void FatClassBase::setAssumedGeometry(std::uint32_t sectorsPerCluster, std::uint64_t fatPosition) {
    advanced_ = true;
    clusterLength_ = 512ull * std::clamp<std::uint32_t>(sectorsPerCluster, 1, 128);
    // A FAT starts on a sector; a position off the boundary moves on to the next one.
    assumedFatPosition_ = fatPosition % 512 == 0 ? fatPosition : fatPosition + 512 - fatPosition % 512;
    candidates_.clear();
    dots_.clear();
    rootMarkPosition_ = UINT64_MAX;
}

void FatClassBase::scanDirectoryEntries() {
    const bool fat32 = isFat32Reader();
    // FAT32's scan starts afresh; a stop set before a FAT12/16 scan ends it at once.
    if (fat32)
        stopFlag.clear();
    candidates_.clear();
    dots_.clear();
    const std::uint64_t total = readableBytes();
    const std::uint64_t clusters = clusterLength_ > 0 ? static_cast<std::uint64_t>(totalBytes) / clusterLength_ : 0;
    progress_.setRange(0, fat32 ? 1000 : 100000);
    std::vector<unsigned char> buffer;
    std::uint64_t found = 0;
    for (std::uint64_t position = 0; position < total && source_ != nullptr; position += kScanPiece) {
        if (stopFlag.isSet()) {
            stopFlag.clear();
            break;
        }
        const std::uint64_t scale = fat32 ? 1000 : 100000;
        progress_.setPosition(static_cast<std::int64_t>(static_cast<double>(position) / static_cast<double>(total) * scale));
        if (!fat32)
            progress_.setStatus(formatText("currently at sector %lld of %lld", static_cast<long long>(position / 512),
                                           static_cast<long long>(totalBytes / 512)));
        const std::uint64_t length = std::min(kScanPiece, total - position);
        buffer.assign(length, 0);
        source_->readAt(static_cast<std::int64_t>(position), buffer.data(), static_cast<std::uint32_t>(length));
        const ByteView piece(buffer.data(), buffer.size());
        for (std::uint64_t at = 0; piece.has(at, kSlotSize); at += kSlotSize) {
            const ByteView slot = piece.slice(at, kSlotSize);
            if (at % 512 == 0 && isDotPair(piece, at)) {
                if (dots_.size() < kMaxCandidates)
                    dots_.push_back(DotPair{position + at, slotCluster(slot), slotCluster(piece.slice(at + kSlotSize, kSlotSize))});
                continue;
            }
            if (fat32 && rootMarkPosition_ == UINT64_MAX && fat32RootMark(slot))
                rootMarkPosition_ = position + at;
            const SlotKind kind = fat32 ? fat32Candidate(slot, clusters) : fat16Candidate(slot, clusters);
            if (kind == SlotKind::None)
                continue;
            ++found;
            // Long-name slots are taken with the short entry that ends their run.
            if (kind != SlotKind::LongName && candidates_.size() < kMaxCandidates)
                candidates_.push_back(Candidate{position + at, slotCluster(slot), kind == SlotKind::Directory});
            if (fat32)
                progress_.setStatus(formatText("found file or directory =  %d ", static_cast<int>(found)));
        }
    }
    progress_.setPosition(fat32 ? 1000 : 100000);
}

void FatClassBase::settleAssumedGeometry() {
    const bool fat32 = isFat32Reader();
    const std::uint64_t total = readableBytes();
    const std::uint64_t fatStart = assumedFatPosition_;
    // The directories' own '.' entries name their clusters: the cluster length and the data
    // area that most of them agree on win over the chosen cluster length.
    auto [dataOffset, agreeing] = voteDataOffset(dots_, clusterLength_, fatStart + 512);
    if (agreeing < 2 && dots_.size() >= 2) {
        for (std::uint64_t length = 512; length <= 64 * 1024; length *= 2) {
            const auto [offset, count] = voteDataOffset(dots_, length, fatStart + 512);
            if (count >= 2 && count > agreeing) {
                dataOffset = offset;
                agreeing = count;
                clusterLength_ = length;
            }
        }
    }
    // The FAT copies the finder saw: their distance is the length of one copy.
    const std::uint64_t copyLength = fatCopyLength(fatPositions, fatStart);
    const std::uint64_t fatsEnd = copyLength > 0 ? fatStart + 2 * copyLength : 0;
    if (agreeing == 0) {
        if (fat32)
            dataOffset = fatsEnd > 0 ? fatsEnd : rootMarkPosition_ != UINT64_MAX ? rootMarkPosition_ / 512 * 512
                         : !candidates_.empty()                               ? candidates_.front().position / 512 * 512
                                                                              : fatStart + 512;
        else if (fatsEnd > 0)
            dataOffset = fatsEnd + 512 * kSlotSize;  // 512 root entries
        else {
            // One FAT copy of two bytes per cluster, twice, and the 512-entry root after them.
            const std::uint64_t fatBytes = (total / clusterLength_ * 2 + 511) / 512 * 512;
            dataOffset = fatStart + 2 * fatBytes + 512 * kSlotSize;
        }
    }
    dataOffset_ = dataOffset;
    const std::uint64_t clusters = total > dataOffset_ ? (total - dataOffset_) / clusterLength_ : 0;
    const int bits = fat32 ? 32 : clusters < kFat12ClusterLimit ? 12 : 16;
    const std::uint64_t limit = std::min<std::uint64_t>(clusters + 2, fat32 ? 0x0FFFFFF7 : bits == 12 ? 0xFF7 : 0xFFF7);
    const std::uint64_t fatBytes = copyLength > 0 ? copyLength : (limit * static_cast<std::uint64_t>(bits) + 7) / 8;
    fat_.configure(source_, fatStart, fatBytes, bits, static_cast<std::uint32_t>(limit), fat32);
    if (fat32) {
        advancedRootCluster_ = 2;
        if (rootMarkPosition_ != UINT64_MAX && rootMarkPosition_ >= dataOffset_)
            advancedRootCluster_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(2 + (rootMarkPosition_ - dataOffset_) / clusterLength_, limit));
    } else {
        // The fixed root region lies between the FATs and the data area.
        const std::uint64_t rootRegion = 512 * kSlotSize;
        advancedRootOffset_ = fatsEnd > 0 && fatsEnd < dataOffset_ && dataOffset_ - fatsEnd <= 65536 * kSlotSize
                                  ? fatsEnd
                                  : std::min(dataOffset_, std::max((fatStart + fatBytes + 511) / 512 * 512,
                                                                   dataOffset_ > rootRegion ? dataOffset_ - rootRegion : 0));
    }
    progress_.setStatus(formatText("assumed geometry: %u bytes per cluster, FAT at byte %llu, data area at byte %llu",
                                   static_cast<unsigned>(clusterLength_), static_cast<unsigned long long>(fatStart),
                                   static_cast<unsigned long long>(dataOffset_)));
}

void FatClassBase::walkSingleEntry(std::uint64_t position, std::uint32_t parentIndex) {
    // The short entry and the long-name slots before it, back to the start of its sector group.
    const std::uint64_t windowStart = position >= kLfnMaxSlots * kSlotSize ? position - kLfnMaxSlots * kSlotSize : 0;
    std::vector<unsigned char> bytes(position + kSlotSize - windowStart, 0);
    source_->readAt(static_cast<std::int64_t>(windowStart), bytes.data(), static_cast<std::uint32_t>(bytes.size()));
    const ByteView window(bytes.data(), bytes.size());
    // A run never reaches back into the cluster before.
    auto clusterStart = [&](std::uint64_t at) {
        const std::uint64_t absolute = windowStart + at;
        return absolute <= dataOffset_ || (absolute - dataOffset_) % clusterLength_ == 0;
    };
    std::uint64_t runStart = bytes.size() - kSlotSize;
    while (runStart >= kSlotSize && !clusterStart(runStart) &&
           window.u8(runStart - kSlotSize + kAttributes) == kLongNameAttributes)
        runStart -= kSlotSize;
    DirectoryState state;
    state.parentIndex = parentIndex;
    walkSlots(window.slice(runStart, bytes.size() - runStart), state);
}

void FatClassBase::buildOrphans() {
    // Clusters some found directory entry leads to: entries found there are reached through that
    // directory, so they are not taken as orphans before it has been walked.
    std::unordered_set<std::uint32_t> owned;
    for (const Candidate& c : candidates_)
        if (c.directory)
            fat_.chain(c.firstCluster, 4096, false, &owned);
    // The FAT12/16 root region lies before the data area, so its entries are never orphans.
    walkOrphans(candidates_, dataOffset_, clusterLength_, owned, visitedClusters_, stopFlag, progress_,
                [this](const Candidate& c) {
                    walkSingleEntry(c.position, 1);
                    walkQueuedDirectories(false);
                    return true;
                });
}

std::vector<FatEntry> FatClassBase::buildFromCandidates() {
    entries_.clear();
    visitedClusters_.clear();
    pendingDirectories_.clear();
    if (source_ == nullptr || clusterLength_ == 0)
        return entries_;
    settleAssumedGeometry();
    appendDummyEntry();
    FatEntry orphan;
    orphan.attributes = 0x10;
    orphan.name = "ORPHAN ENTRY";
    orphan.selfIndex = 1;
    entries_.push_back(orphan);
    DirectoryState root;
    root.isRoot = true;
    if (isFat32Reader()) {
        // Without a label to mark it, cluster 2 is taken for the root only when the scan found
        // entries there: it may as well hold a file's bytes.
        const std::uint64_t rootStart = clusterOffset(advancedRootCluster_);
        const bool rootHasEntries = std::any_of(candidates_.begin(), candidates_.end(), [&](const Candidate& c) {
            return c.position >= rootStart && c.position - rootStart < clusterLength_;
        });
        if (rootMarkPosition_ != UINT64_MAX || rootHasEntries)
            walkClusterChain(advancedRootCluster_, root);
    } else if (dataOffset_ > advancedRootOffset_) {
        std::vector<unsigned char> region(std::min<std::uint64_t>(dataOffset_ - advancedRootOffset_, 65536 * kSlotSize), 0);
        source_->readAt(static_cast<std::int64_t>(advancedRootOffset_), region.data(), static_cast<std::uint32_t>(region.size()));
        // The region is only assumed: what does not look like a directory entry (a FAT copy's
        // tail, a boot sector) is passed over.
        const std::uint64_t clusters = static_cast<std::uint64_t>(totalBytes) / clusterLength_;
        for (std::size_t at = 0; at + kSlotSize <= region.size(); at += kSlotSize)
            if (fat16Candidate(ByteView(region.data() + at, kSlotSize), clusters) == SlotKind::None)
                region[at] = kEmptySlot;
        walkSlots(ByteView(region.data(), region.size()), root);
    }
    walkQueuedDirectories();
    buildOrphans();
    return entries_;
}

namespace {
/// The FAT position the user chose, or false with error set.
bool chooseFatPosition(const std::vector<std::uint64_t>& found, const AdvancedChoice& choice, const char* label,
                       std::uint64_t& position, ScanError& error) {
    const int index = chosenIndex(choice.structure);
    if (found.empty()) {
        error = {ScanFailure::NoStructureFound, {}};
        return false;
    }
    if (static_cast<std::size_t>(index) >= found.size()) {
        error = {ScanFailure::NoSuchStructure, formatText("%s:%d (%u found)", label, index, static_cast<unsigned>(found.size()))};
        return false;
    }
    position = found[static_cast<std::size_t>(index)];
    return true;
}

int maxCount(const AdvancedChoice& choice) { return choice.max < 1 ? 3 : choice.max; }

/// Runs the FAT12/16 or FAT32 reader through the advanced steps.
bool runFatAdvanced(FatClassBase& reader, const AdvancedChoice& choice, ProgressSink& progress, bool fat32,
                    ScanError& error) {
    reader.stopFlag.clear();
    // A readable boot sector only suggests the first sectors-per-cluster choice.
    const bool bootValid = reader.readBootSector();
    const std::uint64_t bootCluster = bootValid ? reader.clusterLength() / 512 : 0;
    if (!fat32 && !choice.structurePositions)
        progress.setStatus("Finding Fat entries....");
    const auto found = choice.structurePositions ? *choice.structurePositions : reader.findFatPositions(maxCount(choice));
    std::uint64_t position = 0;
    if (!chooseFatPosition(found, choice, fat32 ? "FAT32_ENTRY" : "FAT_ENTRY", position, error)) {
        if (fat32 && found.empty())
            error.detail = "NO FAT  FAT32-ENTRY found ..";
        return false;
    }
    // The first item the advanced options page offers: the boot sector's value when it is even,
    // else the first of the fixed list.
    int spc = choice.spc;
    if (spc <= 0)
        spc = bootCluster != 0 && bootCluster % 2 == 0 ? static_cast<int>(bootCluster) : fat32 ? 2 : 4;
    reader.entryList().clear();
    reader.setAssumedGeometry(static_cast<std::uint32_t>(spc), position);
    reader.scanDirectoryEntries();
    reader.buildFromCandidates();
    reader.linkEntries();
    return true;
}
}  // namespace

bool runFat16Advanced(Fat16Class& reader, const AdvancedChoice& choice, ProgressSink& progress, ScanError& error) {
    return runFatAdvanced(reader, choice, progress, false, error);
}

bool runFat32Advanced(Fat32Class& reader, const AdvancedChoice& choice, ProgressSink& progress, ScanError& error) {
    return runFatAdvanced(reader, choice, progress, true, error);
}

bool runExfatAdvanced(Fat64Class& reader, const AdvancedChoice& choice, ProgressSink& progress, ScanError& error) {
    reader.stopFlag.clear();
    const bool bootValid = reader.readBootSector();
    if (!choice.structurePositions || !choice.heapOffsets)
        progress.setStatus("Finding Fat64 entries....");
    const auto fats = choice.structurePositions ? *choice.structurePositions : reader.findFatPositions(maxCount(choice));
    auto heaps = choice.heapOffsets ? *choice.heapOffsets : reader.findHeapOffsets(maxCount(choice));
    if (bootValid && !heaps.empty())
        heaps.front() = reader.heapOffset();
    std::uint64_t fatPosition = 0;
    if (!chooseFatPosition(fats, choice, "FAT64_ENTRY", fatPosition, error))
        return false;
    const int heapIndex = chosenIndex(choice.heap);
    if (static_cast<std::size_t>(heapIndex) >= heaps.size()) {
        error = {ScanFailure::NoSuchStructure,
                 formatText("HEAP_OFFSET_ENTRY:%d (%u found)", heapIndex, static_cast<unsigned>(heaps.size()))};
        return false;
    }
    int shift = choice.spc;
    if (shift < 0)
        shift = bootValid ? static_cast<int>(reader.sectorsPerClusterShift()) : 8;
    reader.stopFlag.clear();
    reader.setAssumedGeometry(static_cast<std::uint32_t>(shift));
    reader.entryList().clear();
    reader.scanEntrySets();
    // The chosen heap offset is checked against the folders found: an offset none of them agrees
    // with (the first candidate is often a sector of the boot region filled with 0xFF) gives way
    // to the found offset most of them agree with.
    // The same holds for the cluster size: a shift no folder agrees with gives way to the one
    // most of them agree with.
    std::uint64_t heap = heaps[static_cast<std::size_t>(heapIndex)];
    if (reader.heapAgreement(heap) == 0) {
        std::size_t best = 0;
        std::uint32_t bestShift = static_cast<std::uint32_t>(shift);
        for (std::uint32_t s = 0; s <= 16; ++s) {
            reader.setAssumedGeometry(s == 0 ? static_cast<std::uint32_t>(shift) : s - 1);
            for (const std::uint64_t other : heaps) {
                const std::size_t agreeing = reader.heapAgreement(other);
                if (agreeing > best) {
                    best = agreeing;
                    heap = other;
                    bestShift = reader.sectorsPerClusterShift();
                }
            }
            if (s == 0 && best > 0)
                break;
        }
        reader.setAssumedGeometry(bestShift);
    }
    reader.buildFromCandidates(heap, fatPosition);
    reader.linkEntries();
    return true;
}
