#pragma once
// The FAT32 reader: as Fat16Class, for volumes whose FAT entries are 32 bits wide and whose root
// directory is a cluster chain starting at the boot sector's root-cluster field. Also holds the
// list texts of FAT12/16 and FAT32 records.
//
// Standard mode: openVolume, readBootSector, walkRootDirectory, linkEntries.

#include <cstdint>
#include <string>
#include <vector>

#include "common/EntryTime.h"
#include "fs/fat/FatClassBase.h"

class Fat32Class : public FatClassBase {
public:
    explicit Fat32Class(const ReaderInput& input);

    /// True when the BIOS parameter block is a valid FAT32 one (the OEM name plays no part).
    bool readBootSector() override;
    /// Builds the entry list from the root chain down; returns a copy of it.
    std::vector<FatEntry> walkRootDirectory();
    std::uint32_t rootCluster() const { return rootCluster_; }

    /// Creation, last access (a date) and last write times of a FAT12/16 or FAT32 record as
    /// stored, and its attribute text.
    static EntryDetails entryDetails(const FatEntry& entry);

private:
    bool isFat32Reader() const override { return true; }
    std::uint32_t rootCluster_ = 0;
};
