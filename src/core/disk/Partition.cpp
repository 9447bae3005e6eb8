#include "disk/Partition.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <memory>
#include <set>
#include <vector>

#include "app/ProgressSink.h"
#include "common/ByteView.h"
#include "common/TextFormat.h"
#include "disk/BootSectorProbe.h"
#include "disk/readWriteInterface.h"

namespace {
constexpr std::uint32_t kSector = 512;
constexpr std::uint32_t kMbrTable = 446;
constexpr std::uint32_t kMbrEntrySize = 16;
constexpr int kMaxExtendedRecords = 50;
constexpr std::uint32_t kGptEntryArrayBytes = 10240;  // 80 entries of 128 bytes
constexpr std::uint32_t kGptEntrySize = 128;
constexpr int kMaxGptEntries = 72;
constexpr std::uint64_t kMiB = 1024 * 1024;

struct MbrEntry {
    std::uint8_t type;
    std::uint32_t firstLba;
    std::uint32_t sectorCount;
};

MbrEntry mbrEntry(ByteView table, int index) {
    const ByteView e = table.slice(kMbrTable + index * kMbrEntrySize, kMbrEntrySize);
    return {e.u8(4), e.le32(8), e.le32(12)};
}

bool isExtendedType(std::uint8_t type) { return type == 0x05 || type == 0x0F; }

int failure(const readWriteInterface& source) { return source.lastError() != 0 ? source.lastError() : EIO; }

/// Byte count of sectors * 512, or 0 when that cannot be a real volume (negative or overflowing).
std::uint64_t sectorsToBytes(std::uint64_t sectors) {
    return sectors > std::numeric_limits<std::uint64_t>::max() / kSector ? 0 : sectors * kSector;
}
}  // namespace

void Partition::status(const std::string& text) {
    if (statusLine != nullptr)
        statusLine->setStatus(text);
}

void Partition::deliver(VolumeRecord record, bool fromScan) {
    record.deviceName = std::to_string(delivered_++);
    if (ownerPage != nullptr)
        ownerPage->volumeFound(record, fromScan);
}

int Partition::readPartitionTable(PositionedSource& medium) {
    noTable_ = false;
    delivered_ = 0;
    ntfsCount_ = 0;
    readWriteInterface source{SourceVolume(medium)};
    if (gptFlag != 0)
        return walkGpt(source);
    if (mbrFlag != 0)
        return walkMbr(source);
    std::array<std::uint8_t, 3 * kSector> first{};
    if (!source.readAt(0, first.data(), first.size()) && source.lastReadCount() < kSector)
        return failure(source);
    const ByteView firstBytes(first.data(), first.size());
    if (deliverWholeVolume(source, firstBytes))
        return 0;
    if (boot_sector::isProtectiveMbr(firstBytes))
        return walkGpt(source);
    if (!holdsPartitionTable(firstBytes.slice(0, kSector), static_cast<std::uint64_t>(source.byteSize()))) {
        noTable_ = true;
        status(firstBytes.matches(0, std::string_view("EVF\x09\x0d\x0a\xff\x00", 8))
                   ? "no partition table found: the source is an EnCase image (E01), read here as one volume of raw bytes"
                   : "no partition table found; reading it as one volume");
        return 0;
    }
    return walkMbr(source);
}

bool holdsPartitionTable(ByteView sector, std::uint64_t sourceBytes) {
    if (sector.size() < kSector || sector.le16(510) != 0xAA55)
        return false;
    // An image cut short keeps a table whose volumes run past its end; bytes taken for a table
    // put every volume far beyond it.
    const std::uint64_t sectors = sourceBytes / kSector;
    bool startsInside = sectors == 0;
    bool used = false;
    for (int index = 0; index < 4; ++index) {
        const MbrEntry entry = mbrEntry(sector, index);
        const std::uint8_t bootFlag = sector.u8(kMbrTable + index * kMbrEntrySize);
        if (entry.type == 0x00)
            continue;
        if (bootFlag != 0x00 && bootFlag != 0x80)
            return false;
        used = true;
        startsInside = startsInside || entry.firstLba < sectors;
    }
    return !used || startsInside;
}

// A card or partition image without a table: its one volume is the whole source, as long as its
// boot sector says, never past the source's end.
bool Partition::deliverWholeVolume(readWriteInterface& source, ByteView firstBytes) {
    const boot_sector::VolumeProbe* probe = boot_sector::probeVolume(firstBytes);
    if (probe == nullptr)
        return false;
    auto bytes = static_cast<std::uint64_t>(source.byteSize());
    const std::uint64_t claimed = probe->claimedBytes(firstBytes);
    if (claimed > 0)
        bytes = std::min(bytes, claimed);
    VolumeRecord record;
    record.fileSystem = probe->walkName;
    record.sizeBytes = bytes;
    record.sizeForm = VolumeSizeForm::MegabytesWide;
    record.sectorCount = static_cast<std::int64_t>(bytes / kSector);
    status(std::string("found ") + probe->name + "...");
    deliver(std::move(record), false);
    return true;
}

// The type code decides, except for 0x07, which is NTFS or exFAT by the volume's boot sector.
// Logical volumes differ in a few texts and in not knowing type 0x42.
void Partition::identifyByType(readWriteInterface& source, std::uint8_t type, VolumeRecord& record, bool logical) {
    switch (type) {
    case 0x01: record.fileSystem = "FAT12"; return;
    case 0x04:
    case 0x06:
    case 0x0E:
        record.fileSystem = "FAT16";
        status("found FAT 16...");
        return;
    case 0x0B:
    case 0x0C:
        record.fileSystem = "FAT32";
        status("found FAT 32...");
        return;
    case 0x07: {
        std::array<std::uint8_t, kSector> boot{};
        source.readAt(record.startSector * kSector, boot.data(), kSector);
        if (boot_sector::isExfat(ByteView(boot.data(), boot.size()))) {
            record.fileSystem = "FAT64";
            status("found FAT64...");
        } else {
            record.fileSystem = "NTFS";
            status(logical ? std::string("found NTFS...") : formatText("found NTFS %d...", ++ntfsCount_));
        }
        return;
    }
    case 0x42:
        if (!logical) {
            record.fileSystem = "NTFS";
            status("NTFS...");
            return;
        }
        break;
    case 0x83:
        record.fileSystem = "extX";
        status(logical ? "found extx..." : "found ext2...");
        return;
    default: break;
    }
    record.fileSystem = "Unknown";
    status("found UNKNOWN...");
}

// An empty or extended entry does not end the primary walk: deleting a partition in the middle
// of a table leaves an empty entry, and primaries may follow the extended one.
int Partition::walkMbr(readWriteInterface& source) {
    std::array<std::uint8_t, kSector> mbr{};
    if (!source.readAt(0, mbr.data(), kSector))
        return failure(source);
    const ByteView table(mbr.data(), mbr.size());
    int result = 0;
    for (int index = 0; index < 4; ++index) {
        const MbrEntry entry = mbrEntry(table, index);
        if (entry.type == 0x00)
            continue;
        if (isExtendedType(entry.type)) {
            const int chainResult = followExtendedChain(source, entry.firstLba);
            if (result == 0)
                result = chainResult;
            continue;
        }
        VolumeRecord record;
        record.startSector = entry.firstLba;
        record.sectorCount = entry.sectorCount;
        record.sizeBytes = sectorsToBytes(entry.sectorCount);
        record.sizeForm = VolumeSizeForm::MegabytesWide;
        identifyByType(source, entry.type, record, false);
        deliver(std::move(record), false);
    }
    return result;
}

// A chain that links back to a record already read ends there instead of listing the same
// logical volumes again and again.
int Partition::followExtendedChain(readWriteInterface& source, std::uint64_t extendedBase) {
    std::uint64_t linkOffset = 0;
    std::set<std::uint64_t> visited;
    for (int records = 0; records < kMaxExtendedRecords; ++records) {
        if (!visited.insert(linkOffset).second)
            return 0;
        std::array<std::uint8_t, kSector> ebr{};
        const std::uint64_t recordSector = extendedBase + linkOffset;
        if (recordSector > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() / kSector) ||
            !source.readAt(static_cast<std::int64_t>(recordSector * kSector), ebr.data(), kSector))
            return failure(source);
        const ByteView table(ebr.data(), ebr.size());
        bool linked = false;
        for (int index = 0; index < 4 && !linked; ++index) {
            const MbrEntry entry = mbrEntry(table, index);
            if (entry.type == 0x00)
                return 0;
            if (isExtendedType(entry.type)) {
                linkOffset = entry.firstLba;
                linked = true;
                continue;
            }
            VolumeRecord record;
            record.startSector = static_cast<std::int64_t>(recordSector + entry.firstLba);
            record.sectorCount = entry.sectorCount;
            record.sizeBytes = sectorsToBytes(entry.sectorCount);
            record.sizeForm = VolumeSizeForm::MegabytesWide;
            identifyByType(source, entry.type, record, true);
            deliver(std::move(record), false);
        }
        if (!linked)
            return 0;
    }
    return 0;
}

// Empty entries are skipped rather than ending the walk, for the same reason as in the MBR.
int Partition::walkGpt(readWriteInterface& source) {
    std::array<std::uint8_t, 2 * kSector> head{};
    if (!source.readAt(0, head.data(), head.size()))
        return failure(source);
    const std::uint64_t entryLba = ByteView(head.data(), head.size()).le64(kSector + 72);
    if (entryLba > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max() / kSector))
        return EINVAL;
    std::vector<std::uint8_t> entries(kGptEntryArrayBytes, 0);
    if (!source.readAt(static_cast<std::int64_t>(entryLba * kSector), entries.data(), kGptEntryArrayBytes))
        return failure(source);
    const ByteView array(entries.data(), entries.size());

    struct GptEntry {
        std::int64_t start;
        std::int64_t end;
        std::string name;
    };
    std::vector<GptEntry> collected;
    for (std::uint32_t i = 0; i < kGptEntryArrayBytes / kGptEntrySize && collected.size() < kMaxGptEntries; ++i) {
        const ByteView e = array.slice(i * kGptEntrySize, kGptEntrySize);
        const auto start = static_cast<std::int64_t>(e.le64(32));
        if (start <= 2)
            continue;
        collected.push_back({start, static_cast<std::int64_t>(e.le64(40)), utf16leToUtf8(e.data() + 56, 36)});
    }

    for (const GptEntry& entry : collected) {
        std::array<std::uint8_t, kSector> boot{};
        const bool bootRead = entry.start <= std::numeric_limits<std::int64_t>::max() / kSector &&
                              source.readAt(entry.start * kSector, boot.data(), kSector);
        if (entry.name == "Microsoft reserved partition")
            continue;
        if (!bootRead)
            return failure(source);
        const ByteView b(boot.data(), boot.size());
        VolumeRecord record;
        record.startSector = entry.start;
        record.sectorCount = entry.end >= entry.start ? entry.end - entry.start + 1 : 0;
        bool knownBootSector = true;
        if (boot_sector::isNtfs(b, false)) {
            const auto bytes = sectorsToBytes(static_cast<std::int64_t>(b.le64(40)) > 0 ? b.le64(40) : 0);
            if (bytes / kMiB > 0) {
                record.fileSystem = "NTFS";
                record.sizeBytes = bytes;
                record.sizeForm = VolumeSizeForm::MegabytesWide;
                status(formatText("found NTFS %d...", ++ntfsCount_));
                deliver(std::move(record), false);
            }
        } else if (boot_sector::isExfat(b)) {
            const auto bytes = sectorsToBytes(b.le64(72));
            status("found FAT 64...");
            if (bytes / kMiB > 0) {
                record.fileSystem = "FAT64";
                record.sizeBytes = bytes;
                deliver(std::move(record), false);
            }
        } else if (boot_sector::isFat(b)) {
            const FatKind kind = boot_sector::fatKind(b);
            if (kind == FatKind::Unknown) {
                status("found unknown...");
            } else {
                status(kind == FatKind::Fat32 ? "found FAT 32..." : "found FAT 16...");
                const auto bytes = boot_sector::fatVolumeBytes(b);
                if (bytes / kMiB > 0) {
                    record.fileSystem = kind == FatKind::Fat32 ? "FAT32" : "FAT16";
                    record.sizeBytes = bytes;
                    deliver(std::move(record), false);
                }
            }
        } else {
            knownBootSector = false;
        }
        if (knownBootSector) {
            if (stop.isSet())
                return 0;
            continue;
        }
        // Neither NTFS nor the FAT family: look for an HFS+ header or an ext superblock in sector 2.
        std::array<std::uint8_t, kSector> third{};
        if (entry.start <= std::numeric_limits<std::int64_t>::max() / kSector - 2)
            source.readAt((entry.start + 2) * kSector, third.data(), kSector);
        const ByteView s2(third.data(), third.size());
        if (boot_sector::isHfsPlusHeader(s2))
            record.fileSystem = "HFS+";
        else if (boot_sector::isExtSuperblockSector(s2))
            record.fileSystem = "extX";
        else
            record.fileSystem = entry.name;
        // The entry's size as this list has always given it: its last sector less its first.
        record.sizeBytes = entry.end > entry.start ? sectorsToBytes(static_cast<std::uint64_t>(entry.end - entry.start)) : 0;
        record.sizeForm = VolumeSizeForm::Megabytes;
        deliver(std::move(record), false);
    }
    return 0;
}
