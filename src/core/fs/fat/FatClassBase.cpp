#include "fs/fat/FatClassBase.h"

#include <algorithm>

#include "app/ProgressSink.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "fs/fat/FatLayout.h"
#include "fs/fat/FatStructureFinder.h"
#include "fs/fat/DosDateTime.h"
#include "output/OutputFile.h"

using namespace fat_layout;

namespace {

std::uint8_t shortNameChecksum(ByteView slot) {
    std::uint8_t sum = 0;
    for (std::uint32_t i = 0; i < 11; ++i)
        sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + slot.u8(i));
    return sum;
}

/// The 13 UTF-16 units of one long-name slot, up to the first zero unit.
std::string longNamePart(ByteView slot) {
    unsigned char units[kLfnUnitsPerSlot * 2];
    std::size_t n = 0;
    auto take = [&](std::uint32_t offset, std::uint32_t count) {
        for (std::uint32_t i = 0; i < count * 2; ++i)
            units[n++] = slot.u8(offset + i);
    };
    take(kLfnUnits1, 5);
    take(kLfnUnits2, 6);
    take(kLfnUnits3, 2);
    return utf16leToUtf8(units, kLfnUnitsPerSlot);
}

FatEntry recordFromSlot(ByteView slot) {
    FatEntry e;
    e.attributes = slot.u8(kAttributes);
    e.createTimeTenths = slot.u8(kCreateTenths);
    e.createTime = slot.le16(kCreateTime);
    e.createDate = slot.le16(kCreateDate);
    e.accessDate = slot.le16(kAccessDate);
    e.firstClusterHigh = slot.le16(kFirstClusterHigh);
    e.writeTime = slot.le16(kWriteTime);
    e.writeDate = slot.le16(kWriteDate);
    e.firstClusterLow = slot.le16(kFirstClusterLow);
    e.size = slot.le32(kFileSize);
    return e;
}
}  // namespace

FatClassBase::FatClassBase(const ReaderInput& input)
    : volume(input.volume), totalBytes(input.volumeBytes), progress_(input.progress), formatted_(input.formatted),
      cursor_(input.source) {
    input.attach(stopFlag);
}

bool FatClassBase::openVolume() {
    source_ = &cursor_;
    cursor_.seekTo(0);
    return true;
}

void FatClassBase::readCluster(std::uint32_t c, std::vector<unsigned char>& buffer) {
    buffer.assign(clusterLength_, 0);
    if (source_ != nullptr)
        source_->readAt(static_cast<std::int64_t>(clusterOffset(c)), buffer.data(), static_cast<std::uint32_t>(clusterLength_));
}

void FatClassBase::appendDummyEntry() {
    FatEntry dummy;
    dummy.attributes = kLongNameAttributes;
    dummy.name = "DUMMY ENTRY";
    entries_.push_back(dummy);
}

std::string FatClassBase::shortName(ByteView slot, bool directory) const {
    std::string name;
    // The case flags say the name (0x08) or the extension (0x10) was written in lower case: the
    // name the file was saved under, which is also what the type filter matches.
    const std::uint8_t caseFlags = slot.u8(kCaseFlags);
    auto lowered = [&](std::uint8_t b, std::uint32_t i) -> std::uint8_t {
        const bool lower = (i < 8 && (caseFlags & 0x08) != 0) || (i >= 8 && (caseFlags & 0x10) != 0);
        return lower && b >= 'A' && b <= 'Z' ? static_cast<std::uint8_t>(b + 32) : b;
    };
    // A deleted entry's first letter is lost under its 0xE5 mark: "_" stands for it, as a
    // character every font has and every file system takes.
    const std::uint8_t first = lowered(slot.u8(0), 0);
    appendUtf8(name, first == kDeletedMark ? '_' : first);
    for (std::uint32_t i = 1; i < 11; ++i) {
        const std::uint8_t b = lowered(slot.u8(i), i);
        if (b != 0)
            appendUtf8(name, b);
    }
    if (directory)
        return name;
    // File form: a dot before the extension, blanks between name and dot removed.
    if (name.size() > 3) {
        name.insert(name.size() - 3, 1, '.');
        for (;;) {
            const auto dot = name.rfind('.');
            const auto blank = name.rfind(' ');
            if (dot == std::string::npos || blank == std::string::npos || blank + 1 != dot)
                break;
            name.erase(blank, 1);
        }
    }
    if (rules_.trimFileNames) {
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.pop_back();
        while (!name.empty() && name.back() == '.')
            name.pop_back();
    }
    return name;
}

void FatClassBase::walkSlots(ByteView piece, DirectoryState& state) {
    for (std::uint64_t at = 0; piece.has(at, kSlotSize); at += kSlotSize) {
        const ByteView slot = piece.slice(at, kSlotSize);
        const std::uint8_t first = slot.u8(0);
        const std::uint8_t attributes = slot.u8(kAttributes);
        if (first == kEmptySlot) {
            state.nameParts.clear();
            if (rules_.zeroEndsCluster)
                return;
            continue;
        }
        if (attributes == kLongNameAttributes) {
            // A live slot carrying the "last part" mark starts a new run; a run never grows
            // past the longest name the format allows.
            const bool startsRun = first != kDeletedMark && (first & 0x40) != 0;
            if (state.nameParts.empty() || startsRun || state.nameParts.size() >= kLfnMaxSlots) {
                state.nameParts.clear();
                state.runDeleted = first == kDeletedMark;
                state.runChecksum = slot.u8(kLfnChecksum);
            }
            state.nameParts.push_back(longNamePart(slot));
            continue;
        }
        if (first == kDotMark) {
            state.nameParts.clear();
            continue;
        }
        const bool deleted = first == kDeletedMark;
        const bool directory = isDirectoryAttribute(attributes);
        FatEntry record = recordFromSlot(slot);
        record.deleted = deleted ? 1 : 0;
        record.parentIndex = state.parentIndex;
        // The long name belongs to this slot only when both were deleted together (or both are
        // live and the checksum agrees): a reused slot must not inherit a deleted file's name.
        const bool nameFits = !state.nameParts.empty() && state.runDeleted == deleted &&
                              (deleted || state.runChecksum == shortNameChecksum(slot));
        if (nameFits) {
            for (auto part = state.nameParts.rbegin(); part != state.nameParts.rend(); ++part)
                record.name += *part;
        }
        if (record.name.empty())
            record.name = shortName(slot, directory);
        state.nameParts.clear();

        if (!directory) {
            record.selfIndex = static_cast<std::uint32_t>(entries_.size());
            // A volume label is kept (its slot is the disk's), but it is no entry of the user's.
            if (!isLabelOrLongNameAttribute(record.attributes))
                progress_.entryFound();
            entries_.push_back(std::move(record));
            continue;
        }
        const std::uint32_t cluster = record.firstCluster();
        if (auto known = state.firstClusterRecords.find(cluster); known != state.firstClusterRecords.end()) {
            // The same directory met again in this folder: one record, which takes the later
            // name unless that would turn a live directory into a deleted one.
            FatEntry& earlier = entries_[known->second];
            if (!(deleted && earlier.deleted == 0)) {
                earlier.name = record.name;
                earlier.deleted = record.deleted;
            }
            continue;
        }
        record.selfIndex = static_cast<std::uint32_t>(entries_.size());
        state.firstClusterRecords.emplace(cluster, record.selfIndex);
        pendingDirectories_.push_back(DirectoryTask{record.selfIndex, cluster, deleted});
        entries_.push_back(std::move(record));
        progress_.entryFound();
    }
}

bool FatClassBase::chainContinues() const { return !formatted_; }

void FatClassBase::walkClusterChain(std::uint32_t firstCluster, DirectoryState& state) {
    std::vector<unsigned char> buffer;
    // On a formatted drive the FAT no longer tells the chain: only the first cluster is read.
    const std::uint64_t limit = chainContinues() ? UINT64_MAX : 1;
    for (const std::uint32_t c : fat_.chain(firstCluster, limit, false, &visitedClusters_)) {
        readCluster(c, buffer);
        ++clustersWalked_;
        walkSlots(ByteView(buffer.data(), buffer.size()), state);
    }
}

void FatClassBase::walkDirectory(const DirectoryTask& task) {
    const std::uint32_t first = task.firstCluster;
    if (!fat_.validCluster(first) || visitedClusters_.count(first) != 0)
        return;
    std::vector<unsigned char> buffer;
    readCluster(first, buffer);
    ++clustersWalked_;
    // A directory starts with its '.' entry; anything else (a reused cluster) is not read as one,
    // and stays free for the directory that really owns it.
    if (buffer.empty() || buffer[0] != kDotMark)
        return;
    visitedClusters_.insert(first);
    DirectoryState state;
    state.parentIndex = task.recordIndex;
    walkSlots(ByteView(buffer.data(), buffer.size()), state);
    // A deleted directory's chain is freed, so only its first cluster is known.
    if (task.deleted || !chainContinues())
        return;
    walkClusterChain(fat_.next(first), state);
}

void FatClassBase::walkQueuedDirectories(bool reportProgress) {
    const std::uint64_t total = std::max<std::uint32_t>(fat_.clusterLimit(), 1);
    if (reportProgress)
        progress_.setRange(0, 1000);
    while (!pendingDirectories_.empty() && !stopFlag.isSet()) {
        const DirectoryTask task = pendingDirectories_.front();
        pendingDirectories_.pop_front();
        walkDirectory(task);
        if (reportProgress)
            progress_.setPosition(static_cast<std::int64_t>(std::min<std::uint64_t>(clustersWalked_ * 1000 / total, 1000)));
    }
    pendingDirectories_.clear();
}

void FatClassBase::linkEntries() {
    progress_.setRange(0, 1000);
    for (FatEntry& e : entries_) {
        e.firstChild = nullptr;
        e.nextSibling = nullptr;
    }
    // The last child of each parent so far, so appending to a sibling chain costs O(1).
    std::vector<FatEntry*> lastChild(entries_.size(), nullptr);
    const std::size_t count = entries_.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = entries_[i].parentIndex;
        if (p < count && p != i) {
            if (entries_[p].firstChild == nullptr)
                entries_[p].firstChild = &entries_[i];
            else
                lastChild[p]->nextSibling = &entries_[i];
            lastChild[p] = &entries_[i];
        }
        if (count > 1000 && i % (count / 1000) == 0)
            progress_.setPosition(static_cast<std::int64_t>(i * 1000 / count));
    }
    progress_.setPosition(1000);
}

FileExtents FatClassBase::contentExtents(const FatEntry& entry) {
    FileExtents extents;
    std::uint64_t remaining = entry.size;
    const bool directory = isDirectoryAttribute(entry.attributes);
    if (clusterLength_ == 0 || directory || remaining == 0)
        return extents;
    // Runs of consecutive clusters.
    std::vector<std::pair<std::uint32_t, std::uint64_t>> runs;
    const std::uint64_t needed = (remaining + clusterLength_ - 1) / clusterLength_;
    const std::uint32_t first = entry.firstCluster();
    if (fat_.validCluster(first)) {
        if (entry.deleted != 0 || !chainContinues()) {
            runs.emplace_back(first, std::min<std::uint64_t>(needed, fat_.clusterLimit() - first));
        } else {
            // A chain never needs more clusters than the size, and never meets one twice.
            for (const std::uint32_t c : fat_.chain(first, needed)) {
                if (!runs.empty() && runs.back().first + runs.back().second == c)
                    ++runs.back().second;
                else
                    runs.emplace_back(c, 1);
            }
        }
    }
    // Nothing is taken from beyond the volume's end: a crafted size or cluster count would
    // otherwise have the save write gigabytes of zeros. What the volume holds is kept, but a file
    // cut short there is not whole. A chain that ends early gives a shorter file.
    const std::uint64_t volumeEnd = readableBytes();
    for (const auto& [start, length] : runs) {
        const std::uint64_t runBytes = std::min<std::uint64_t>(length * clusterLength_, remaining);
        remaining -= extents.appendWithin(entry.size - remaining, runBytes, clusterOffset(start), volumeEnd);
        if (!extents.whole)
            break;
    }
    extents.length = entry.size - remaining;
    return extents;
}

std::unique_ptr<FileContent> FatClassBase::openContent(const FatEntry& entry) {
    if (source_ == nullptr)
        return nullptr;
    const ContentTimes times{OutputFile::seconds(dosDateTime(entry.accessDate, 0)),
                             OutputFile::seconds(dosDateTime(entry.writeDate, entry.writeTime))};
    return std::make_unique<ExtentContent>(*source_, contentExtents(entry), times);
}

std::uint64_t FatClassBase::readableBytes() const { return readableVolumeBytes(totalBytes, source_); }

std::vector<std::uint64_t> FatClassBase::findFatPositions(std::int64_t maxCount) {
    if (source_ == nullptr)
        return fatPositions;
    return findStructures(isFat32Reader() ? FinderKind::Fat32 : FinderKind::Fat16, *source_, totalBytes, maxCount,
                          stopFlag, progress_, fatPositions);
}

AllocationMap FatClassBase::allocationMap() {
    if (advanced_ || clusterLength_ == 0 || source_ == nullptr)
        return AllocationMap::notRead("the FAT is not known on an assumed geometry");
    // A FAT starts with the media byte (0xF0 or above) in its first entry; a table that does not
    // would make every cluster look free.
    std::uint8_t media = 0;
    if (!source_->readAt(static_cast<std::int64_t>(fat_.fatOffset()), &media, 1) || media < 0xF0)
        return AllocationMap::notRead("the FAT could not be read");
    const std::uint64_t volumeBytes = readableBytes();
    AllocationBuilder map(volumeBytes);
    map.addSpan(0, dataOffset_);
    const std::uint32_t limit = fat_.clusterLimit();
    for (std::uint32_t c = 2; c < limit; ++c) {
        if ((c & 0xFFFF) == 0 && stopFlag.isSet())
            return AllocationMap::notRead("stopped");
        if (fat_.entry(c) != 0)
            map.addSpan(clusterOffset(c), clusterLength_);
    }
    return map.finish();
}
