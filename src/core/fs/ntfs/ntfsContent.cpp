// The ntfs reader's list texts and content writer: resident, plain, sparse, LZNT1-compressed and
// $ATTRIBUTE_LIST data, written with the file's times.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/Notifier.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "fs/ntfs/NtfsAttributes.h"
#include "fs/ntfs/NtfsLayout.h"
#include "fs/ntfs/ntfs.h"
#include "fs/ntfs/NtfsCompressedContent.h"

using namespace ntfs_layout;

namespace {
constexpr std::uint64_t kMaxUnitBytes = 64u << 20;        // a compression unit larger than this is not believed
constexpr std::uint64_t kMaxAttributeListBytes = 16u << 20;
constexpr std::uint64_t kFileTimeUnixEpoch = 116444736000000000ull;  // 1970-01-01 in 100 ns since 1601

std::string attributeText(std::uint16_t flags) {
    std::string text;
    if (flags & kFileReadOnly)
        text += "-R";
    if (flags & kFileHidden)
        text += "-H";
    if (flags & kFileSparse)
        text += "-S";
    if (flags & kFileArchive)
        text += "-A";
    if (flags & kFileCompressed)
        text += "-C";
    if (flags & kFileEncrypted)
        text += "-E";
    return text;
}

std::time_t fileTimeToUnix(std::uint64_t fileTime) {
    const auto ticks = static_cast<std::int64_t>(fileTime) - static_cast<std::int64_t>(kFileTimeUnixEpoch);
    std::int64_t seconds = ticks / 10000000;
    if (ticks % 10000000 < 0)
        --seconds;
    return static_cast<std::time_t>(seconds);
}

timespec fileTimeToTimespec(std::uint64_t fileTime) {
    const auto ticks = static_cast<std::int64_t>(fileTime) - static_cast<std::int64_t>(kFileTimeUnixEpoch);
    std::int64_t seconds = ticks / 10000000;
    std::int64_t rest = ticks % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    timespec t{};
    t.tv_sec = static_cast<time_t>(seconds);
    t.tv_nsec = static_cast<long>(rest * 100);
    return t;
}
}  // namespace

EntryDetails ntfs::details(const NtfsEntry& entry) {
    const auto instant = [](std::uint64_t fileTime) { return EntryTime::instant(fileTimeToUnix(fileTime)); };
    if (entry.baseRecord != 0) {
        const NtfsTimes times = readTimes(contentOffset(entry));
        return {instant(times.creationTime), instant(times.accessTime), instant(times.modificationTime),
                attributeText(entry.fileAttributes)};
    }
    return {instant(entry.creationTime), instant(entry.accessTime), instant(entry.modificationTime),
            attributeText(entry.fileAttributes)};
}

NtfsTimes ntfs::readTimes(std::uint64_t offset) {
    NtfsTimes times;
    std::vector<std::uint8_t> raw;
    if (!readRecord(offset, raw))
        return times;
    std::vector<std::uint8_t> fixed(recordSize);
    applyFixup(fixed.data(), ByteView(raw.data(), raw.size()), recordSize);
    forEachAttribute(ByteView(fixed.data(), fixed.size()), [&](const AttributeRef& a) {
        const ByteView value = residentValue(a);
        if (a.type == kTypeStandardInformation && value.has(0, kSiMinimumSize)) {
            times.creationTime = value.le64(kSiCreationTime);
            times.modificationTime = value.le64(kSiModificationTime);
            times.accessTime = value.le64(kSiAccessTime);
        } else if (a.type == kTypeFileName && value.has(0, kFnName)) {
            times.attributeText = attributeText(value.le16(kFnFlags));
        }
        return true;
    });
    return times;
}

DataInfo ntfs::inspectData(ByteView record) {
    DataInfo info;
    forEachAttribute(record, [&](const AttributeRef& a) {
        // Only the unnamed stream is the file's content; a named one (a download's zone mark,
        // say) must never stand in for it.
        if (a.type != kTypeData || a.bytes.u8(kAttrNameLength) != 0)
            return true;
        const std::uint16_t flags = a.bytes.le16(kAttrFlags);
        if (a.nonResident) {
            if (!a.bytes.has(0, kNonResidentHeaderSize))
                return true;
            hasData = true;
            info.dataOffset = a.bytes.le16(kAttrRunListOffset);
            info.dataLength = a.bytes.size() > info.dataOffset ? static_cast<std::uint32_t>(a.bytes.size()) - info.dataOffset : 0;
            info.compressionExponent = a.bytes.u8(kAttrCompressionUnit);
            info.startVcn = a.bytes.le64(kAttrStartVcn);
            info.lastVcn = a.bytes.le64(kAttrLastVcn);
            info.allocatedSize = a.bytes.le64(kAttrAllocatedSize);
            info.realSize = a.bytes.le64(kAttrRealSize);
            info.initializedSize = a.bytes.le64(kAttrInitializedSize);
            info.residency = 'N';
            info.status = (flags & kAttrFlagCompressionMask) != 0 ? "Compressed"
                          : flags == kAttrFlagEncrypted           ? "Encrypted"
                          : flags == 0                             ? "Normal"
                                                                   : nullptr;
            return false;
        }
        const ByteView value = residentValue(a);
        if (!a.bytes.has(0, kResidentHeaderSize) || (value.empty() && a.bytes.le32(kAttrValueLength) != 0))
            return true;
        hasData = true;
        info.dataOffset = a.offset + a.bytes.le16(kAttrValueOffset);
        info.dataLength = a.bytes.le32(kAttrValueLength);
        info.realSize = info.dataLength;
        info.initializedSize = info.dataLength;
        info.residency = 'R';
        info.status = flags == kAttrFlagEncrypted ? "Encrypted" : flags == 0 ? "Normal" : nullptr;
        return false;
    });
    return info;
}

bool ntfs::collectExtensionRuns(ByteView record, std::vector<RunPair>& runs, DataInfo& info) {
    // The list itself: resident, or in clusters of its own.
    std::vector<std::uint8_t> listBytes;
    forEachAttribute(record, [&](const AttributeRef& a) {
        if (a.type != kTypeAttributeList)
            return true;
        if (!a.nonResident) {
            const ByteView value = residentValue(a);
            listBytes.assign(value.data(), value.data() + value.size());
            return false;
        }
        if (!a.bytes.has(0, kNonResidentHeaderSize))
            return false;
        const std::uint64_t startVcn = a.bytes.le64(kAttrStartVcn);
        const std::uint64_t lastVcn = a.bytes.le64(kAttrLastVcn);
        std::vector<RunPair> listRuns;
        decodeMappingPairs(a.bytes.from(a.bytes.le16(kAttrRunListOffset)),
                           lastVcn >= startVcn ? lastVcn - startVcn + 1 : 0, listRuns);
        const std::uint64_t size = std::min(a.bytes.le64(kAttrRealSize), kMaxAttributeListBytes);
        listBytes.assign(size, 0);
        std::uint64_t at = 0;
        for (const RunPair& run : listRuns) {
            if (at >= size)
                break;
            const std::uint64_t n = std::min(size - at, run.clusterCount * clusterSize);
            if (!run.sparse && source_.seekTo(static_cast<std::int64_t>(run.startCluster * clusterSize)))
                source_.read(listBytes.data() + at, static_cast<std::uint32_t>(n));
            at += n;
        }
        return false;
    });
    if (listBytes.empty())
        return false;

    struct Extent {
        std::uint64_t startVcn;
        std::uint64_t recordNumber;
    };
    std::vector<Extent> extents;
    const ByteView list(listBytes.data(), listBytes.size());
    for (std::uint64_t pos = 0; list.has(pos, kAlMinimumLength);) {
        const std::uint32_t type = list.le32(pos + kAlType);
        const std::uint16_t length = list.le16(pos + kAlLength);
        if (type == 0 || type == kTypeEnd || length < kAlMinimumLength)
            break;
        if (type == kTypeData && list.u8(pos + kAlNameLength) == 0)
            extents.push_back({list.le64(pos + kAlStartVcn),
                               list.le32(pos + kAlRecordLow) | (std::uint64_t{list.le16(pos + kAlRecordHigh)} << 32)});
        pos += length;
    }
    if (extents.empty())
        return false;
    std::stable_sort(extents.begin(), extents.end(),
                     [](const Extent& a, const Extent& b) { return a.startVcn < b.startVcn; });

    // Each extent's runs go where its starting VCN says; a missing extension record leaves a hole
    // instead of shifting everything after it.
    runs.clear();
    std::uint64_t covered = 0;
    bool gotFirst = false;
    std::uint64_t lastRecord = kNoIndex;
    std::vector<std::uint8_t> raw;
    std::vector<std::uint8_t> fixed(recordSize);
    for (const Extent& extent : extents) {
        if (extent.recordNumber == lastRecord)
            continue;
        lastRecord = extent.recordNumber;
        const std::uint64_t offset = recordOffsetOf(extent.recordNumber);
        if (offset == kNoIndex || !readRecord(offset, raw))
            continue;
        applyFixup(fixed.data(), ByteView(raw.data(), raw.size()), recordSize);
        const ByteView extension(fixed.data(), fixed.size());
        if (!extension.matches(kRecordSignature, "FILE"))
            continue;
        forEachAttribute(extension, [&](const AttributeRef& a) {
            if (a.type != kTypeData || !a.nonResident || a.bytes.u8(kAttrNameLength) != 0 ||
                !a.bytes.has(0, kNonResidentHeaderSize))
                return true;
            const std::uint64_t startVcn = a.bytes.le64(kAttrStartVcn);
            const std::uint64_t lastVcn = a.bytes.le64(kAttrLastVcn);
            if (lastVcn < startVcn || startVcn < covered)
                return true;
            if (startVcn == 0 && !gotFirst) {
                gotFirst = true;
                const bool keep = hasData;
                info = inspectData(extension);
                hasData = keep;
            }
            if (startVcn > covered)
                runs.push_back({0, startVcn - covered, true});
            const std::uint64_t span = lastVcn - startVcn + 1;
            std::vector<RunPair> pairs;
            decodeMappingPairs(a.bytes.from(a.bytes.le16(kAttrRunListOffset)), span, pairs);
            std::uint64_t decoded = 0;
            for (const RunPair& pair : pairs)
                decoded += pair.clusterCount;
            runs.insert(runs.end(), pairs.begin(), pairs.end());
            if (decoded < span)
                runs.push_back({0, span - decoded, true});
            covered = lastVcn + 1;
            return true;
        });
    }
    attrClusterCount = covered;
    return gotFirst;
}

std::uint64_t ntfs::realDataSize(std::uint64_t index) {
    if (index >= entryList.size())
        return 0;
    const NtfsEntry& entry = entryList[index];
    if (entry.kind == 'D')
        return 0;
    if (entry.dataInRecord && entry.baseRecord == 0)
        return entry.dataSize;
    if (!entry.hasAttributeListAttr && entry.baseRecord == 0)
        return 0;
    std::vector<std::uint8_t> raw;
    const std::uint64_t offset = contentOffset(entry);
    if (offset == kNoIndex || !readRecord(offset, raw))
        return 0;
    std::vector<std::uint8_t> fixed(recordSize);
    applyFixup(fixed.data(), ByteView(raw.data(), raw.size()), recordSize);
    const ByteView record(fixed.data(), fixed.size());
    const bool keep = hasData;
    DataInfo info = inspectData(record);
    hasData = keep;
    std::vector<RunPair> runs;
    collectExtensionRuns(record, runs, info);
    return info.realSize;
}

std::uint64_t ntfs::copyBudget() const { return volumeSize != 0 ? scanLimit() : reachableBytes(); }

FileExtents ntfs::plainExtents(const std::vector<RunPair>& runs, const DataInfo& info) const {
    FileExtents extents;
    const std::uint64_t total = info.realSize;
    const std::uint64_t initialized = std::min(info.initializedSize, total);
    std::uint64_t budget = copyBudget();
    std::uint64_t at = 0;  // byte of the file the current run starts at
    for (const RunPair& run : runs) {
        if (at >= total)
            break;
        const std::uint64_t remaining = total - at;
        const std::uint64_t span = run.clusterCount > remaining / clusterSize ? remaining : run.clusterCount * clusterSize;
        // Holes and bytes past the initialized size read as zeros.
        std::uint64_t readable = run.sparse ? 0 : std::min(span, initialized > at ? initialized - at : 0);
        // No file holds more allocated bytes than the volume: runs that say so are not read again and again.
        readable = std::min(readable, budget);
        budget -= readable;
        extents.append(at, readable, static_cast<std::uint64_t>(run.startCluster) * clusterSize);
        extents.append(at + readable, span - readable, std::nullopt);
        at += span;
    }
    extents.length = std::min(at, total);
    return extents;
}

std::optional<ntfs::DataStream> ntfs::findDataStream(std::uint64_t index) {
    hasData = false;
    hasAttributeList = false;
    if (index >= entryList.size())
        return std::nullopt;
    const NtfsEntry& entry = entryList[index];
    std::vector<std::uint8_t> raw;
    DataStream stream;
    stream.recordOffset = contentOffset(entry);
    if (stream.recordOffset == kNoIndex || !readRecord(stream.recordOffset, raw))
        return std::nullopt;
    std::vector<std::uint8_t> fixed(recordSize);
    applyFixup(fixed.data(), ByteView(raw.data(), raw.size()), recordSize);
    const ByteView record(fixed.data(), fixed.size());
    if (!record.matches(kRecordSignature, "FILE")) {
        notify("not a valid entry...");
        return std::nullopt;
    }
    currentName = entryName(entry);
    stream.info = inspectData(record);
    forEachAttribute(record, [&](const AttributeRef& a) {
        hasAttributeList = hasAttributeList || a.type == kTypeAttributeList;
        return true;
    });
    bool fromExtensions = false;
    if (hasAttributeList) {
        DataInfo extended;
        if (collectExtensionRuns(record, stream.runs, extended)) {
            stream.info = extended;
            hasData = true;
            fromExtensions = true;
        }
    }
    if (hasData && entry.kind == 'D') {
        notify(formatText("This is  %s directory .Please specify file names ", currentName.c_str()));
        return std::nullopt;
    }
    stream.present = hasData;
    if (hasData && stream.info.residency == 'R') {
        const ByteView value = record.slice(stream.info.dataOffset, stream.info.dataLength);
        stream.resident.assign(value.data(), value.data() + value.size());
    } else if (hasData && stream.info.residency == 'N' && clusterSize != 0 && !fromExtensions) {
        stream.runs = decodeRunLists(record, kTypeData, true, nullptr);
    }
    if (hasData && stream.info.residency == 'N' && clusterSize != 0 && stream.info.status != nullptr &&
        std::strcmp(stream.info.status, "Compressed") == 0 && (stream.info.compressionExponent & 0x1F) != 0) {
        const std::uint64_t unitClusters = std::uint64_t{1} << std::min(stream.info.compressionExponent & 0x1Fu, 31u);
        // A unit this large is not NTFS compression: the stream is read as stored.
        if (unitClusters <= kMaxUnitBytes / clusterSize) {
            stream.unitClusters = unitClusters;
            compressionUnit = static_cast<std::uint16_t>(std::min<std::uint64_t>(unitClusters, 0xFFFF));
        }
    }
    return stream;
}

std::optional<FileExtents> ntfs::contentExtents(std::uint64_t index) {
    const std::optional<DataStream> stream = findDataStream(index);
    if (!stream)
        return std::nullopt;
    FileExtents extents;
    if (!stream->present)
        return extents;
    if (stream->info.residency == 'R') {
        // The bytes lie in the MFT record itself.
        extents.length = stream->resident.size();
        extents.encoded = true;
    } else if (stream->info.residency == 'N' && clusterSize != 0) {
        if (stream->unitClusters == 0)
            return plainExtents(stream->runs, stream->info);
        // The stored clusters at their VCN's place: the content decodes them unit by unit.
        std::uint64_t vcn = 0;
        for (const RunPair& run : stream->runs) {
            const std::uint64_t bytes = run.clusterCount * clusterSize;
            extents.append(vcn, bytes, run.sparse ? std::nullopt : std::optional(static_cast<std::uint64_t>(run.startCluster) * clusterSize));
            vcn += bytes;
        }
        extents.length = stream->info.realSize;
        extents.encoded = true;
    }
    return extents;
}

std::unique_ptr<FileContent> ntfs::openContent(std::uint64_t index) {
    std::optional<DataStream> stream = findDataStream(index);
    if (!stream)
        return nullptr;
    // Linux keeps no creation time: access and modification times are restored.
    const NtfsTimes stamps = readTimes(stream->recordOffset);
    const ContentTimes times{fileTimeToTimespec(stamps.accessTime), fileTimeToTimespec(stamps.modificationTime)};
    if (stream->present && stream->info.residency == 'N' && clusterSize != 0) {
        if (stream->unitClusters != 0)
            return std::make_unique<NtfsCompressedContent>(source_, stream->runs, clusterSize, stream->unitClusters,
                                                           stream->info.realSize, copyBudget(), times);
        return std::make_unique<ExtentContent>(source_, plainExtents(stream->runs, stream->info), times);
    }
    if (stream->present && stream->info.residency == 'R')
        return std::make_unique<MemoryContent>(std::move(stream->resident), times);
    return std::make_unique<MemoryContent>(std::vector<std::uint8_t>{}, times);
}

bool ntfs::writeEntry(std::uint64_t index, OutputFile& out) { return writeFileContent(openContent(index).get(), out); }

AllocationMap ntfs::allocationMap() {
    constexpr std::uint64_t kBitmapRecord = 6;
    if (!mftLocated || scanMode != 1 || entryList.size() <= kBitmapRecord || entryName(entryList[kBitmapRecord]) != "$Bitmap")
        return AllocationMap::notRead("$Bitmap is not known for this MFT");
    const std::uint64_t clusters = volumeClusters();
    const std::uint64_t cluster = clusterSize != 0 ? clusterSize : bootClusterSize();
    std::unique_ptr<FileContent> content = openContent(kBitmapRecord);
    if (!content || clusters == 0 || cluster == 0)
        return AllocationMap::notRead("$Bitmap could not be read");
    const std::uint64_t wanted = std::min<std::uint64_t>(content->length(), (clusters + 7) / 8);
    std::vector<std::uint8_t> bits(wanted, 0);
    if (content->read(0, bits.data(), bits.size()) < bits.size())
        return AllocationMap::notRead("$Bitmap could not be read");
    AllocationBuilder map(volumeSize != 0 ? volumeSize : clusters * cluster);
    map.addBitmap(ByteView(bits.data(), bits.size()), 0, clusters, 0, cluster);
    return map.finish();
}
