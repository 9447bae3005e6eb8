#include "disk/Partition.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <memory>
#include <set>
#include <string_view>
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
    const std::uint64_t claimed = probe->claimedBytes(firstBytes.from(probe->headerOffset));
    if (claimed > 0)
        bytes = std::min(bytes, claimed);
    VolumeRecord record;
    record.fileSystem = probe->walkName;
    record.kind = probe->kind;
    record.sizeBytes = bytes;
    record.sizeForm = VolumeSizeForm::MegabytesWide;
    record.sectorCount = static_cast<std::int64_t>(bytes / kSector);
    status(std::string("found ") + probe->name + "...");
    deliver(std::move(record), false);
    return true;
}

namespace {
/// What a partition type code says of its volume: the name and kind the list gives it and the
/// status texts of a primary and of a logical entry (null: none). A code may stand for more
/// than one file system (0x07: NTFS or exFAT); its first row is the one assumed.
struct MbrType {
    std::uint8_t code;
    FileSystemKind kind;
    const char* name;
    const char* primaryText;
    const char* logicalText;
    bool logicalToo;  ///< whether a logical entry of this code is known
};
constexpr std::array<MbrType, 10> kMbrTypes{{
    {0x01, FileSystemKind::Fat16, "FAT12", nullptr, nullptr, true},
    {0x04, FileSystemKind::Fat16, "FAT16", "found FAT 16...", "found FAT 16...", true},
    {0x06, FileSystemKind::Fat16, "FAT16", "found FAT 16...", "found FAT 16...", true},
    {0x0E, FileSystemKind::Fat16, "FAT16", "found FAT 16...", "found FAT 16...", true},
    {0x0B, FileSystemKind::Fat32, "FAT32", "found FAT 32...", "found FAT 32...", true},
    {0x0C, FileSystemKind::Fat32, "FAT32", "found FAT 32...", "found FAT 32...", true},
    {0x07, FileSystemKind::Ntfs, "NTFS", "found NTFS %d...", "found NTFS...", true},
    {0x07, FileSystemKind::Exfat, "FAT64", "found FAT64...", "found FAT64...", true},
    {0x42, FileSystemKind::Ntfs, "NTFS", "NTFS...", nullptr, false},
    {0x83, FileSystemKind::Ext, "extX", "found ext2...", "found extx...", true},
}};
}  // namespace

// The type code names the volume; where a code stands for several file systems (0x07: NTFS or
// exFAT) or for none that the table knows (an EFI system partition, a hidden FAT), the probe
// table decides by the volume's first sectors. A code and a boot sector that disagree keep the
// code's name: a partition formatted again may keep its old boot sector (mke2fs leaves sector 0
// alone), and a volume whose boot sector is lost is rebuilt by the Advanced mode from its name.
void Partition::identifyByType(readWriteInterface& source, std::uint8_t type, VolumeRecord& record, bool logical) {
    std::array<std::uint8_t, 3 * kSector> first{};
    const bool readable = record.startSector <= std::numeric_limits<std::int64_t>::max() / kSector - 3 &&
                          (source.readAt(record.startSector * kSector, first.data(), first.size()) ||
                           source.lastReadCount() >= kSector);
    const boot_sector::VolumeProbe* probe =
        readable ? boot_sector::probeVolume(ByteView(first.data(), first.size())) : nullptr;

    const MbrType* byCode = nullptr;
    for (const MbrType& row : kMbrTypes) {
        if (row.code != type || (logical && !row.logicalToo))
            continue;
        if (byCode == nullptr || (probe != nullptr && row.kind == probe->kind))
            byCode = &row;
    }
    if (probe != nullptr && byCode == nullptr) {
        record.fileSystem = probe->walkName;
        record.kind = probe->kind;
        status(foundText(probe->foundText));
        return;
    }
    if (byCode == nullptr) {
        record.fileSystem = "Unknown";
        record.kind = FileSystemKind::Unknown;
        status("found UNKNOWN...");
        return;
    }
    record.fileSystem = byCode->name;
    record.kind = byCode->kind;
    const char* text = logical ? byCode->logicalText : byCode->primaryText;
    if (text != nullptr)
        status(foundText(text));
}

std::string Partition::foundText(const char* text) {
    return std::string_view(text).find("%d") != std::string_view::npos ? formatText(text, ++ntfsCount_) : std::string(text);
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

    // A boot sector states its volume's size, and one too small to be a volume is not listed; a
    // volume recognised by a superblock or volume header, or by nothing, is listed with its
    // entry's size and the entry's own name for nothing.
    for (const GptEntry& entry : collected) {
        std::array<std::uint8_t, 3 * kSector> first{};
        const bool bootRead = entry.start <= std::numeric_limits<std::int64_t>::max() / kSector - 3 &&
                              (source.readAt(entry.start * kSector, first.data(), first.size()) ||
                               source.lastReadCount() >= kSector);
        if (entry.name == "Microsoft reserved partition")
            continue;
        if (!bootRead)
            return failure(source);
        const ByteView firstBytes(first.data(), first.size());
        VolumeRecord record;
        record.startSector = entry.start;
        record.sectorCount = entry.end >= entry.start ? entry.end - entry.start + 1 : 0;
        const boot_sector::VolumeProbe* probe = boot_sector::probeVolume(firstBytes);
        if (probe != nullptr && probe->headerOffset == 0) {
            status(foundText(probe->foundText));
            const std::uint64_t bytes = probe->claimedBytes(firstBytes);
            if (bytes / kMiB > 0) {
                record.fileSystem = probe->walkName;
                record.kind = probe->kind;
                record.sizeBytes = bytes;
                record.sizeForm = probe->sizeForm;
                deliver(std::move(record), false);
            }
        } else if (probe == nullptr && boot_sector::isFat(firstBytes)) {
            status("found unknown...");
        } else {
            record.fileSystem = probe != nullptr ? probe->walkName : entry.name;
            record.kind = probe != nullptr ? probe->kind : FileSystemKind::Unknown;
            // The entry's size as this list has always given it: its last sector less its first.
            record.sizeBytes = entry.end > entry.start ? sectorsToBytes(static_cast<std::uint64_t>(entry.end - entry.start)) : 0;
            record.sizeForm = VolumeSizeForm::Megabytes;
            deliver(std::move(record), false);
            continue;
        }
        if (stop.isSet())
            return 0;
    }
    return 0;
}
