// The advanced scan of Partition: every 512-byte sector of the device, read in 1 MiB blocks, is
// tested for an NTFS, FAT, exFAT or HFS+ boot sector or an ext2/3/4 primary superblock.

#include <limits>
#include <memory>

#include "app/ProgressSink.h"
#include "common/ByteView.h"
#include "common/TextFormat.h"
#include "disk/BootSectorProbe.h"
#include "disk/Partition.h"
#include "disk/readWriteInterface.h"

namespace {
constexpr std::uint32_t kSector = 512;
constexpr std::uint32_t kScanBlock = 1024 * 1024;
constexpr std::int64_t kSectorsPerBlock = kScanBlock / kSector;
constexpr std::uint32_t kPieceBytes = 128 * 1024;
constexpr std::int64_t kSectorsPerPiece = kPieceBytes / kSector;
constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kHfsMaxMegabytes = 20971519;

/// What one sector turned out to be: nothing, or a volume to deliver and how far it reaches.
struct SectorFind {
    bool deliver = false;
    bool fatFamily = false;  ///< FAT and exFAT finds may start the next block beyond this one
    VolumeRecord record;
    std::uint64_t lengthSectors = 0;
    /// Sectors of the volume before the found one: a skipping scan goes on at the volume's end.
    std::uint64_t leadSectors = 0;
};

std::uint64_t sectorsToBytes(std::uint64_t sectors) {
    return sectors > std::numeric_limits<std::uint64_t>::max() / kSector ? 0 : sectors * kSector;
}
}  // namespace

int Partition::scanForVolumes(PositionedSource& medium) {
    delivered_ = 0;
    ntfsCount_ = 0;
    if (ownerPage != nullptr)
        ownerPage->setFilterEntriesEnabled(false);
    stop.clear();
    readWriteInterface source{SourceVolume(medium)};
    status("Scanning partition.....");

    const std::int64_t firstSector = customStartSector > 0 ? customStartSector : 0;
    const bool hasEnd = customEndSector > 0;
    const std::int64_t endByte = hasEnd ? customEndSector * static_cast<std::int64_t>(kSector) : 0;
    if (statusLine != nullptr)
        statusLine->setRange(0, 1000);

    auto buffer = std::make_unique<std::uint8_t[]>(kPieceBytes);
    std::int64_t blockFirstByte = firstSector * kSector;
    std::int64_t currentSector = firstSector;
    int result = 1;

    auto identify = [&](ByteView s, std::int64_t position) {
        SectorFind find;
        const std::uint8_t first = s.u8(0);
        if (s.le16(boot_sector::kExtMagicOffset - 1024) == boot_sector::kExtMagic && position >= 1024 &&
            boot_sector::isPlausibleExtSuperblock(s)) {
            const std::uint64_t bytes = boot_sector::extVolumeBytes(s);
            if (bytes / kMiB > 0) {
                find.deliver = true;
                find.record.fileSystem = "extX";
                find.record.sizeBytes = bytes;
                find.lengthSectors = bytes / kSector;
                find.leadSectors = 2;
                find.record.startSector = (position - 1024) / kSector;
                status("found extX...");
                return find;
            }
        }
        if (first != 0xEB && first != 'H')
            return find;
        if (boot_sector::isNtfs(s, true)) {
            const auto total = static_cast<std::int64_t>(s.le64(40));
            const std::uint64_t bytes = total > 0 ? sectorsToBytes(static_cast<std::uint64_t>(total)) : 0;
            if (bytes / kMiB > 0) {
                find.deliver = true;
                find.record.fileSystem = "NTFS";
                find.record.sizeBytes = bytes;
                find.record.sizeForm = VolumeSizeForm::MegabytesWide;
                find.lengthSectors = static_cast<std::uint64_t>(total);
                status(formatText("found NTFS %d...", ++ntfsCount_));
            }
        } else if (boot_sector::isExfat(s)) {
            status("found FAT 64...");
            const std::uint64_t bytes = sectorsToBytes(s.le64(72));
            if (bytes / kMiB > 0) {
                find.deliver = find.fatFamily = true;
                find.record.fileSystem = "FAT64";
                find.record.sizeBytes = bytes;
                find.lengthSectors = bytes / kSector;
            }
        } else if (boot_sector::isFat(s)) {
            const FatKind kind = boot_sector::fatKind(s);
            if (kind == FatKind::Unknown) {
                status("found unknown...");
                return find;
            }
            status(kind == FatKind::Fat32 ? "found FAT 32..." : "found FAT 16...");
            const std::uint64_t bytes = boot_sector::fatVolumeBytes(s);
            if (bytes / kMiB > 0) {
                find.deliver = find.fatFamily = true;
                find.record.fileSystem = kind == FatKind::Fat32 ? "FAT32" : "FAT16";
                find.record.sizeBytes = bytes;
                find.lengthSectors = bytes / kSector;
            }
        } else if (boot_sector::isHfsPlusHeader(s) && position >= 1024) {
            const std::uint64_t bytes = static_cast<std::uint64_t>(s.be32(40)) * s.be32(44);
            const std::uint64_t megabytes = bytes / kMiB;
            if (megabytes >= 1 && megabytes <= kHfsMaxMegabytes) {
                find.deliver = true;
                find.record.fileSystem = "HFS+";
                find.record.sizeBytes = bytes;
                find.lengthSectors = bytes / kSector;
                status("found HFS+...");
                find.record.startSector = (position - 1024) / kSector;
                return find;
            }
        }
        find.record.startSector = position / kSector;
        return find;
    };

    // A block is taken in pieces: mapped in place where the source can (image files), else read
    // into a buffer small enough to stay in the processor's cache while its sectors are examined.
    // Copying whole 1 MiB blocks made the scan slower than plain sequential reading.
    bool stopped = false;
    bool lastBlock = false;
    while (!lastBlock && static_cast<std::uint64_t>(currentSector) < static_cast<std::uint64_t>(deviceSectorCount)) {
        if (hasEnd && endByte < blockFirstByte)
            break;
        std::int64_t sectorsInBlock = kSectorsPerBlock;
        std::int64_t loadedPiece = -1;
        ByteView pieceBytes;
        std::int64_t i = 0;
        while (i < sectorsInBlock) {
            const std::int64_t piece = i / kSectorsPerPiece;
            if (piece != loadedPiece) {
                const std::int64_t pieceOffset = blockFirstByte + piece * kPieceBytes;
                pieceBytes = source.mapRange(pieceOffset, kPieceBytes);
                if (pieceBytes.empty()) {
                    const bool complete = source.readAt(pieceOffset, buffer.get(), kPieceBytes);
                    pieceBytes = ByteView(buffer.get(), source.lastReadCount());
                    if (!complete && source.lastError() != kEndOfMedium)
                        result = source.lastError();
                }
                if (pieceBytes.size() < kPieceBytes) {
                    // The tail of a medium that is not a whole number of blocks is examined too.
                    sectorsInBlock = piece * kSectorsPerPiece + static_cast<std::int64_t>(pieceBytes.size() / kSector);
                    lastBlock = true;
                    if (i >= sectorsInBlock)
                        break;
                }
                loadedPiece = piece;
            }
            if (stop.isSet()) {
                stopped = true;
                break;
            }
            const std::int64_t position = blockFirstByte + i * kSector;
            const auto offsetInPiece = static_cast<std::uint64_t>(i - piece * kSectorsPerPiece) * kSector;
            SectorFind find = identify(pieceBytes.slice(offsetInPiece, kSector), position);
            if (find.deliver) {
                find.record.sectorCount = static_cast<std::int64_t>(
                    std::min<std::uint64_t>(find.lengthSectors, std::numeric_limits<std::int64_t>::max()));
                deliver(std::move(find.record), true);
            }
            if (find.deliver && skipVolume != 0) {
                // The step below moves one sector further: a volume found by a sector inside it
                // is left so that the sector after its end is the next one examined.
                const std::uint64_t back = find.leadSectors > 0 ? find.leadSectors + 1 : 0;
                const auto jump = static_cast<std::int64_t>(std::min<std::uint64_t>(
                    find.lengthSectors - std::min(back, find.lengthSectors), std::numeric_limits<std::int64_t>::max() / 1024));
                i += jump;
                if (find.fatFamily && i >= sectorsInBlock)
                    continue;
            }
            ++i;
        }
        if (stopped || stop.isSet()) {
            status("Scanned Partitions");
            break;
        }
        currentSector += i;
        blockFirstByte += i * kSector;
        if (statusLine != nullptr && deviceSectorCount > 0)
            statusLine->setPosition(
                static_cast<std::int64_t>(static_cast<double>(currentSector) * 1000.0 / deviceSectorCount));
    }
    if (ownerPage != nullptr)
        ownerPage->setFilterEntriesEnabled(true);
    return result;
}
