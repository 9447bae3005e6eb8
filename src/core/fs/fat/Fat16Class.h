#pragma once
// The FAT12/16 reader: lists every directory entry of the volume, live and deleted, as FatEntry
// records with parent links, and writes any listed entry's content to a file. FAT12 volumes
// (fewer than 4085 clusters) are read with their 12-bit FAT entries.
//
// Standard mode: openVolume, readBootSector, readFat, readRootDirectory, walkRootDirectory,
// linkEntries. Advanced mode (no boot sector): see FatAdvanced.h.

#include <cstdint>
#include <vector>

#include "fs/fat/FatClassBase.h"

class Fat16Class : public FatClassBase {
public:
    explicit Fat16Class(const ReaderInput& input);

    /// True when the BIOS parameter block is a valid FAT12/16 one (the OEM name plays no part).
    bool readBootSector() override;
    /// Prepares the FAT lookups of the first FAT (12- or 16-bit by cluster count).
    void readFat();
    /// Reads the fixed root directory region.
    void readRootDirectory();
    /// Builds the entry list: "DUMMY ENTRY" at index 0, the root's entries, then every
    /// directory's content; frees the root buffer. Returns a copy of the list.
    std::vector<FatEntry> walkRootDirectory();

private:
    std::vector<unsigned char> bootSector_;
    std::vector<unsigned char> rootDirectory_;
    std::uint64_t rootDirectoryOffset_ = 0;
    std::uint64_t fatOffset_ = 0;
    std::uint64_t fatBytes_ = 0;
    std::uint32_t dataClusters_ = 0;
    int fatBits_ = 16;
};
