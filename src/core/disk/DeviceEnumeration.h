#pragma once
// The drives and volumes a user can pick, as Linux shows them in sysfs.

#include <string>
#include <vector>

#include "disk/VolumeRecord.h"

struct PhysicalDrive {
    int index = 0;            ///< position in name order; the drive's identity for later pages
    std::string devicePath;   ///< /dev/sda, /dev/nvme0n1, /dev/loop3, ...
    std::string model;        ///< vendor and model, or a loop device's backing file; may be empty
    unsigned long long sysfsBytes = 0;  ///< size as the kernel reports it (readable without opening)
    std::string displayName() const { return model.empty() ? devicePath : model; }
};

/// Whole disks (sd*, hd*, vd*, xvd*, nvme*n*, mmcblk*, and loop devices with a backing file),
/// numbered in name order. sysRoot is "/sys" except in tests.
std::vector<PhysicalDrive> enumeratePhysicalDrives(const std::string& sysRoot = "/sys");

/// Every partition, and every whole disk without partitions: deviceName = /dev path, rootPath =
/// the mount point or the /dev path, fileSystem identified from the boot sector, sizeBytes from
/// the device, startSector 0. Volumes that cannot be opened read-only are left out.
std::vector<VolumeRecord> enumerateVolumes(const std::string& sysRoot = "/sys",
                                           const std::string& mountTable = "/proc/self/mounts");

/// The "%d  MB" size text of a volume of the given bytes (the low 32 bits of the megabytes).
std::string volumeSizeText(unsigned long long bytes);
