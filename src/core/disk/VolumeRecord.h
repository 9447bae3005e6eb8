#pragma once
// One discovered or picked volume, as the pages pass it along.

#include <cstdint>
#include <string>

struct VolumeRecord {
    std::string fileSystem;  ///< "NTFS", "FAT16", "FAT32", "FAT64", "extX", "HFS+", "Unknown", an override, ...
    std::string rootPath;    ///< a volume's mount point (or /dev path); empty for volumes found on a drive
    std::string deviceName;  ///< a volume's /dev path, or the running number of a volume found on a drive
    std::string sizeText;    ///< size as listed; its format depends on how the volume was found
    std::int64_t startSector = 0;
    std::int64_t sectorCount = 0;  ///< 512-byte sectors as the table entry or boot sector states; 0 = unknown
    bool operator==(const VolumeRecord&) const = default;
};
