#include "fs/fat/Fat64Class.h"

#include <algorithm>
#include <optional>

#include "app/ApplicationState.h"
#include "app/ProgressSink.h"
#include "browser/ListTextFormat.h"
#include "common/ByteView.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "fs/fat/FatLayout.h"
#include "fs/fat/FatStructureFinder.h"
#include "fs/fat/RecoveredFile.h"

using namespace fat_layout;

namespace {
/// The format's own limit on a directory's size.
constexpr std::uint64_t kMaxDirectoryBytes = 256ull * 1024 * 1024;
constexpr std::uint64_t kContentChunk = 4 * 1024 * 1024;

bool isExfatDirectory(std::uint16_t a) {
    return a == 0x10 || a == 0x11 || a == 0x12 || a == 0x13 || a == 0x15 || a == 0x16 || a == 0x30;
}
std::optional<std::time_t> stampTime(std::uint32_t stamp) {
    return dosDateTime(static_cast<std::uint16_t>(stamp >> 16), static_cast<std::uint16_t>(stamp & 0xFFFF));
}
std::string stampText(std::uint32_t stamp) {
    const DosStamp s = decodeDos(static_cast<std::uint16_t>(stamp >> 16), static_cast<std::uint16_t>(stamp & 0xFFFF));
    return formatListTime(s.month, s.day, s.year, s.hour, s.minute);
}
}  // namespace

Fat64Class::Fat64Class(ApplicationState& app, ProgressSink& progress) : app_(app), progress_(progress) {}

bool Fat64Class::openVolume(readWriteInterface& source) {
    source_ = &source;
    source.setOriginOffset(volume.startSector * 512);
    source.seekTo(0);
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
    std::vector<std::uint32_t> out;
    if (clusterLength_ == 0)
        return out;
    const std::uint64_t needed = (length + clusterLength_ - 1) / clusterLength_;
    std::unordered_set<std::uint32_t> seen;
    for (std::uint32_t c = first; out.size() < needed && fat_.validCluster(c);) {
        if (!seen.insert(c).second || (useVisited && !visitedClusters_.insert(c).second))
            break;
        out.push_back(c);
        c = contiguous ? c + 1 : fat_.next(c);
    }
    return out;
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
        if (isExfatDirectory(e.attributes)) {
            const bool contiguous = (e.streamFlags & kExfatNoFatChain) != 0 || e.deleted() || app_.formattedDrive != 0;
            const std::uint64_t length = std::min(std::max(e.dataLength, e.validDataLength), kMaxDirectoryBytes);
            pending_.push_back(DirectoryTask{e.selfIndex, e.firstCluster, length, contiguous});
        }
        entries_.push_back(std::move(e));
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
    walkDirectory(DirectoryTask{0, rootCluster_, kMaxDirectoryBytes, app_.formattedDrive != 0});
    while (!pending_.empty() && !stopFlag.isSet()) {
        const DirectoryTask task = pending_.front();
        pending_.pop_front();
        walkDirectory(task);
        progress_.setPosition(static_cast<std::int64_t>(std::min<std::uint64_t>(visitedClusters_.size() * 1000 / std::max<std::uint32_t>(fat_.clusterLimit(), 1), 1000)));
    }
    pending_.clear();
    return entries_;
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

bool Fat64Class::writeEntryContent(const std::string& outputPath, const ExfatEntry& entry) {
    RecoveredFile out;
    if (!out.create(outputPath))
        return false;
    std::uint64_t remaining = entry.validDataLength;
    if (!isExfatDirectory(entry.attributes) && remaining > 0) {
        const bool contiguous = (entry.streamFlags & kExfatNoFatChain) != 0 || entry.deleted() || app_.formattedDrive != 0;
        const auto clusters = clustersOf(entry.firstCluster, remaining, contiguous, false);
        std::vector<unsigned char> buffer;
        for (std::size_t i = 0; i < clusters.size() && remaining > 0;) {
            // Consecutive clusters are read together.
            std::size_t run = 1;
            while (i + run < clusters.size() && clusters[i + run] == clusters[i] + run && run * clusterLength_ < kContentChunk)
                ++run;
            const std::uint64_t piece = std::min<std::uint64_t>(run * clusterLength_, remaining);
            buffer.assign(piece, 0);
            source_->readAt(static_cast<std::int64_t>(clusterOffset(clusters[i])), buffer.data(), static_cast<std::uint32_t>(piece));
            out.write(buffer.data(), piece);
            remaining -= piece;
            i += run;
        }
    }
    return out.finish(stampTime(entry.accessTimestamp), stampTime(entry.modifyTimestamp));
}

Fat64Class::EntryTimes Fat64Class::formatEntryTimes(const ExfatEntry& e) {
    EntryTimes t{stampText(e.createTimestamp), stampText(e.accessTimestamp), stampText(e.modifyTimestamp), {}};
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

std::string Fat64Class::formatEntrySize(const ExfatEntry& e) { return formatListSize(e.validDataLength); }

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
