// The advanced scan of Partition: every 512-byte sector of the device, read in 1 MiB blocks, is
// asked of the probe table: a boot sector, or the superblock or volume header a volume holds at
// byte 1024.

#include <limits>
#include <memory>
#include <string_view>

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

/// What one sector turned out to be: nothing, or a volume to deliver and how far it reaches.
struct SectorFind {
    bool deliver = false;
    bool fatFamily = false;  ///< FAT and exFAT finds may start the next block beyond this one
    VolumeRecord record;
    std::uint64_t lengthSectors = 0;
    /// Sectors of the volume before the found one: a skipping scan goes on at the volume's end.
    std::uint64_t leadSectors = 0;
};
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

    // A header found headerOffset into its volume puts the volume's start that far before it,
    // and a skipping scan goes on at the volume's end.
    auto identify = [&](ByteView s, std::int64_t position) {
        SectorFind find;
        const boot_sector::VolumeProbe* probe = boot_sector::probeSector(s, position);
        if (probe == nullptr) {
            if (boot_sector::isFat(s))
                status("found unknown...");
            return find;
        }
        const bool counted = std::string_view(probe->foundText).find("%d") != std::string_view::npos;
        status(counted ? formatText(probe->foundText, ++ntfsCount_) : std::string(probe->foundText));
        const std::uint64_t bytes = probe->claimedBytes(s);
        const std::uint64_t megabytes = bytes / kMiB;
        if (megabytes == 0 || (probe->maxMegabytes != 0 && megabytes > probe->maxMegabytes))
            return find;
        find.deliver = true;
        find.fatFamily = probe->kind == FileSystemKind::Fat16 || probe->kind == FileSystemKind::Fat32 ||
                         probe->kind == FileSystemKind::Exfat;
        find.record.fileSystem = probe->walkName;
        find.record.kind = probe->kind;
        find.record.sizeBytes = bytes;
        find.record.sizeForm = probe->sizeForm;
        find.lengthSectors = bytes / kSector;
        find.leadSectors = probe->headerOffset / kSector;
        find.record.startSector = (position - probe->headerOffset) / kSector;
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
