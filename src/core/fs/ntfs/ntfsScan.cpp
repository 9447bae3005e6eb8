// The ntfs reader's searches over the whole volume: the MFT location of a volume whose boot
// sector is gone, the MFT finder of the Advanced mode and the Deep scan.

#include <algorithm>
#include <cstring>
#include <new>

#include "app/ProgressSink.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "fs/ntfs/NtfsLayout.h"
#include "fs/ntfs/ntfs.h"

using namespace ntfs_layout;

namespace {
constexpr std::uint64_t kChunksPerProgress = 100;  // the boot-sector fallback reports every 100 chunks
constexpr std::uint32_t kMftRecordsBeforeBoot = 7;  // $MFT is record 0, $Boot record 7

bool isPowerOfTwo(std::uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }

/// A "FILE" unit whose header offsets are plausible (each below 512).
bool isRecordCandidate(ByteView unit) {
    return unit.matches(kRecordSignature, "FILE") && unit.le16(kRecordUsaOffset) < 512 &&
           unit.le16(kRecordUsaCount) < 512 && unit.le16(kRecordFirstAttribute) < 512;
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }
}  // namespace

std::uint64_t ntfs::reachableBytes() const {
    return static_cast<std::uint64_t>(source_.volumeByteSize());
}

// Never further than the medium really reaches, whatever a size field claims.
std::uint64_t ntfs::scanLimit() const { return std::min(volumeSize, reachableBytes()); }

template <typename OnUnit>
void ntfs::scanVolume(std::uint64_t limit, std::uint64_t progressEvery, OnUnit onUnit) {
    // Units past the volume's end are zeros and never records, so a small volume gets a buffer
    // of its own size rather than a whole chunk.
    const std::uint64_t chunkBytes = std::min<std::uint64_t>(kScanChunk, (limit + kScanUnit - 1) / kScanUnit * kScanUnit);
    std::vector<std::uint8_t> buffer;
    try {
        buffer.assign(chunkBytes, 0);
    } catch (const std::bad_alloc&) {
        return;
    }
    std::uint64_t position = 0;
    for (std::uint64_t chunk = 0; position < limit && !stopFlag.isSet(); ++chunk) {
        if (chunk % progressEvery == 0)
            progress_.setPosition(static_cast<std::int64_t>(chunk));
        std::fill(buffer.begin(), buffer.end(), 0);
        const std::uint64_t want = std::min<std::uint64_t>(chunkBytes, limit - position);
        if (source_.seekTo(static_cast<std::int64_t>(position)))
            source_.read(buffer.data(), static_cast<std::uint32_t>(want));
        std::uint64_t b = 0;
        while (b + kScanUnit <= chunkBytes) {
            const ByteView unit(buffer.data() + b, chunkBytes - b);
            bool done = false;
            const bool candidate = onUnit(position + b, unit, done);
            if (done)
                return;
            b += candidate ? 2 * kScanUnit : kScanUnit;
        }
        position += b;
    }
}

NtfsEntry& ntfs::appendScannedRecord(std::uint64_t offset, ByteView unit) {
    NtfsEntry entry;
    entry.signature = {'F', 'I', 'L', 'E'};
    entry.recordOffset = offset;
    entry.selfIndex = entryList.size();
    entryList.push_back(std::move(entry));
    recordOffset = offset;
    // A record at the end of the chunk continues on the disk.
    std::vector<std::uint8_t> raw;
    if (unit.size() < recordSize && readRecord(offset, raw))
        parseRecordBytes(ByteView(raw.data(), raw.size()), entryList.size() - 1);
    else
        parseRecordBytes(unit.slice(0, recordSize), entryList.size() - 1);
    return entryList.back();
}

bool ntfs::locateMft() {
    const ByteView boot(bootSector.data(), bootSector.size());
    clusterSize = bootClusterSize();
    if (boot.matches(kBootOemName, "NTFS")) {
        mftLocated = true;
        const std::uint64_t mftCluster = boot.le64(kBootMftCluster);
        if (clusterSize == 0 || mftCluster > static_cast<std::uint64_t>(INT64_MAX) / clusterSize)
            return true;
        seekOffset = mftCluster * clusterSize;
        if (!source_.seekTo(static_cast<std::int64_t>(seekOffset)))
            return true;
        progress_.setStatus("boot sector is fine.Getting run of mft entry...");
        takeMftRunList(seekOffset);
        progress_.setStatus("Got run...");
        runPending = false;
        return true;
    }

    clusterSize = 4096;
    progress_.setStatus("boot sector corrupt.Scanning for first mft entry...");
    mftLocated = false;
    seekOffset = 0;
    progress_.setRange(0, static_cast<std::int64_t>(volumeSize / kScanChunk));
    bool found = false;
    scanVolume(scanLimit(), kChunksPerProgress, [&](std::uint64_t offset, ByteView unit, bool& done) {
        if (!unit.matches(kRecordSignature, "FILE"))
            return false;
        const NtfsEntry& entry = appendScannedRecord(offset, unit);
        // Only the $MFT record itself: $MFTMirr names a copy of four records, not the table.
        if (searchMftWhileScanning && entry.named && entry.name == "$MFT") {
            progress_.setStatus("found mft entry.getting its run ...");
            adoptScannedMft(offset, unit);
            progress_.setStatus("got run ...");
            if (!mftRunList.empty()) {
                mftLocated = true;
                runPending = false;
                clearEntries();
                found = true;
                done = true;
            }
        }
        return true;
    });
    return found;
}

void ntfs::adoptScannedMft(std::uint64_t offset, ByteView unit) {
    // Without a boot sector the record tells its own size, and the cluster size follows from
    // where record 0 lies against the first run's cluster number.
    const std::uint32_t allocated = unit.le32(kRecordAllocatedSize);
    if (isPowerOfTwo(allocated) && allocated >= kDefaultRecordSize && allocated <= kMaxRecordSize)
        recordSize = allocated;
    boundRunsByVolume_ = false;
    takeMftRunList(offset);
    boundRunsByVolume_ = true;
    if (!mftRunList.empty() && !mftRunList.front().sparse) {
        const auto first = static_cast<std::uint64_t>(mftRunList.front().startCluster);
        if (first != 0 && offset % first == 0 && isPowerOfTwo(offset / first) && offset / first >= 512 &&
            offset / first <= (2u << 20))
            clusterSize = offset / first;
    }
    takeMftRunList(offset);
}

void ntfs::startWholeVolumeSearch() {
    clusterSize = bootClusterSize();
    if (clusterSize == 0)
        clusterSize = 4096;
    mftLocated = false;
    seekOffset = 0;
    source_.seekTo(0);
}

std::uint32_t ntfs::findMftRecords(std::uint64_t maxCount) {
    startWholeVolumeSearch();
    // volumeSize stays as readBootSector found it: the boot sector's when it is still there,
    // else the volume's size text, else the medium's length.
    if (volumeSize == 0)
        return 0;
    progress_.setRange(0, static_cast<std::int64_t>(volumeSize / kScanChunk));
    std::string message;
    bool foundOne = false;
    scanVolume(scanLimit(), 1, [&](std::uint64_t offset, ByteView unit, bool& done) {
        if (foundOne && foundMftRecords.size() >= maxCount) {
            done = true;
            return false;
        }
        if (!isRecordCandidate(unit))
            return false;
        const NtfsEntry& entry = appendScannedRecord(offset, unit);
        progress_.setStatus(message);
        const std::size_t count = entryList.size();
        if (count >= kMftRecordsBeforeBoot + 1 && entry.named && startsWith(entry.name, "$Boot")) {
            const NtfsEntry& mft = entryList[count - 1 - kMftRecordsBeforeBoot];
            if (mft.named && startsWith(mft.name, "$MFT") && (mft.name.size() < 5 || mft.name[4] != 'M')) {
                foundMftRecords.push_back(mft);
                foundOne = true;
                message = formatText("MFT ENTRY %zu Found.Parsing it ...", count);
            }
        }
        return true;
    });
    stopFlag.clear();
    searchMftWhileScanning = false;
    progress_.setPosition(static_cast<std::int64_t>(volumeSize / kScanChunk));
    return static_cast<std::uint32_t>(foundMftRecords.size());
}

bool ntfs::selectFoundMft(std::uint32_t index) {
    mftLocated = false;
    if (index >= foundMftRecords.size())
        return false;
    takeMftRunList(foundMftRecords[index].recordOffset);
    if (mftRunList.empty())
        return false;
    mftLocated = true;
    runPending = false;
    return true;
}

bool ntfs::deepScan() {
    startWholeVolumeSearch();
    progress_.setRange(0, static_cast<std::int64_t>(volumeSize / kScanChunk));
    // Index 0 means "none" in the links: a placeholder takes it, so the first record found can
    // still be a child.
    if (entryList.empty()) {
        entryList.emplace_back();
        ensureLinkTables();
    }
    if (volumeSize != 0) {
        scanVolume(scanLimit(), 1, [&](std::uint64_t offset, ByteView unit, bool& done) {
            if (!isRecordCandidate(unit))
                return false;
            if (stopFlag.isSet()) {
                done = true;
                return false;
            }
            // Extension records carry no name but hold the runs of attribute-list files: their
            // places are kept by record number.
            scannedRecordOffsets_.emplace(unit.le32(kRecordNumber), offset);
            NtfsEntry& entry = appendScannedRecord(offset, unit);
            const std::string message = formatText("MFT ENTRY %zu Found.Parsing it ..", entryList.size());
            if (entry.named) {
                entry.orphaned = 1;
                progress_.setStatus(message);
            } else {
                entryList.pop_back();
                ensureLinkTables();
            }
            return true;
        });
    }
    progress_.setPosition(static_cast<std::int64_t>(volumeSize / kScanChunk));
    return false;
}
