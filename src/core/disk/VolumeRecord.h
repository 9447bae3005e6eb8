#pragma once
// One discovered or picked volume, as the pages pass it along.

#include <cstdint>
#include <string>

#include "common/FileSystemKind.h"

/// How the list that found a volume writes its size in whole MiB: "63   MB" (the table walks),
/// "63  MB" (boot sectors, the sector search, the system's volumes) or a bare "63" (a GPT entry
/// of no known file system, a custom volume).
enum class VolumeSizeForm : std::uint8_t { MegabytesWide, MegabytesNarrow, Megabytes };

struct VolumeRecord {
    std::string fileSystem;  ///< what the lists show: "NTFS", "FAT16", "FAT32", "FAT64", "extX", "HFS+", "Unknown", an override, ...
    std::string rootPath;    ///< a volume's mount point (or /dev path); empty for volumes found on a drive
    std::string deviceName;  ///< a volume's /dev path, or the running number of a volume found on a drive
    std::uint64_t sizeBytes = 0;  ///< the size its table entry, boot sector or device states; 0 = unknown
    std::int64_t startSector = 0;
    std::int64_t sectorCount = 0;  ///< 512-byte sectors as the table entry or boot sector states; 0 = unknown
    VolumeSizeForm sizeForm = VolumeSizeForm::MegabytesNarrow;
    /// Which reader serves it: what its first sectors or its table entry showed, or the user's
    /// choice. Set with fileSystem, which is only what the lists show.
    FileSystemKind kind = FileSystemKind::Unknown;
    bool operator==(const VolumeRecord&) const = default;
};

/// The size as the volume lists show it, in the record's form. For the front ends.
std::string volumeSizeText(const VolumeRecord& record);
