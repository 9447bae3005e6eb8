#pragma once
// Byte builders for disk-layout fixtures: each field named where it is written.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace disk_bytes {
inline void putLe(std::vector<unsigned char>& b, std::size_t offset, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        b.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
}
inline void putBe(std::vector<unsigned char>& b, std::size_t offset, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i)
        b.at(offset + i) = static_cast<unsigned char>(value >> (8 * (width - 1 - i)));
}
inline void putText(std::vector<unsigned char>& b, std::size_t offset, const std::string& text) {
    std::memcpy(&b.at(offset), text.data(), text.size());
}

/// One 16-byte MBR or EBR entry of the table in the sector at sectorByte.
inline void putMbrEntry(std::vector<unsigned char>& b, std::size_t sectorByte, int index, std::uint8_t type,
                        std::uint32_t firstLba, std::uint32_t sectorCount) {
    const std::size_t e = sectorByte + 446 + 16 * index;
    b.at(e + 4) = type;
    putLe(b, e + 8, firstLba, 4);
    putLe(b, e + 12, sectorCount, 4);
    putLe(b, sectorByte + 510, 0xAA55, 2);
}

/// An NTFS boot sector at byte offset with the given total sectors.
inline void putNtfsBoot(std::vector<unsigned char>& b, std::size_t offset, std::uint64_t totalSectors) {
    b.at(offset) = 0xEB;
    b.at(offset + 1) = 0x52;
    b.at(offset + 2) = 0x90;
    putText(b, offset + 3, "NTFS    ");
    putLe(b, offset + 11, 512, 2);
    b.at(offset + 13) = 8;
    putLe(b, offset + 40, totalSectors, 8);
}

/// A FAT boot sector as mkfs.fat writes it: OEM "mkfs.fat", a plausible BIOS parameter block.
inline void putFatBoot(std::vector<unsigned char>& b, std::size_t offset, bool fat32, std::uint32_t totalSectors,
                       std::uint16_t sectorsPerFat16 = 32, const std::string& oem = "mkfs.fat") {
    b.at(offset) = 0xEB;
    b.at(offset + 1) = fat32 ? 0x58 : 0x3C;
    b.at(offset + 2) = 0x90;
    putText(b, offset + 3, oem);
    putLe(b, offset + 11, 512, 2);  // bytes per sector
    b.at(offset + 13) = 4;          // sectors per cluster
    putLe(b, offset + 14, fat32 ? 32 : 4, 2);  // reserved sectors
    b.at(offset + 16) = 2;                     // FATs
    if (fat32) {
        putLe(b, offset + 22, 0, 2);
        putLe(b, offset + 32, totalSectors, 4);
        putLe(b, offset + 36, 1000, 4);  // 32-bit sectors per FAT
    } else {
        putLe(b, offset + 22, sectorsPerFat16, 2);
        if (totalSectors < 0x8000)
            putLe(b, offset + 19, totalSectors, 2);
        else
            putLe(b, offset + 32, totalSectors, 4);
    }
    putLe(b, offset + 510, 0xAA55, 2);
}

/// An exFAT boot sector with the volume length in sectors.
inline void putExfatBoot(std::vector<unsigned char>& b, std::size_t offset, std::uint64_t volumeSectors) {
    b.at(offset) = 0xEB;
    b.at(offset + 1) = 0x76;
    b.at(offset + 2) = 0x90;
    putText(b, offset + 3, "EXFAT   ");
    putLe(b, offset + 72, volumeSectors, 8);
}

/// An HFS+ volume header for a volume starting at byte volumeOffset (the header is 1024 further).
inline void putHfsHeader(std::vector<unsigned char>& b, std::size_t volumeOffset, std::uint32_t blockSize,
                         std::uint32_t totalBlocks) {
    const std::size_t h = volumeOffset + 1024;
    putText(b, h, "H+");
    putBe(b, h + 2, 4, 2);
    putBe(b, h + 40, blockSize, 4);
    putBe(b, h + 44, totalBlocks, 4);
}

/// An ext4 superblock as mke2fs writes it for a volume at byte offset of blocks 1 KiB blocks.
inline void putExtSuperblock(std::vector<unsigned char>& d, std::size_t offset, std::uint32_t blocks, std::uint16_t group = 0) {
    const std::size_t s = offset + 1024;
    putLe(d, s + 0x00, 1024, 4);    // inodes
    putLe(d, s + 0x04, blocks, 4);  // blocks
    putLe(d, s + 0x14, 1, 4);       // first data block (1 KiB blocks)
    putLe(d, s + 0x18, 0, 4);       // log block size
    putLe(d, s + 0x20, 8192, 4);    // blocks per group
    putLe(d, s + 0x28, 1024, 4);    // inodes per group
    putLe(d, s + 0x38, 0xEF53, 2);
    putLe(d, s + 0x5A, group, 2);   // block group of this copy
}

/// A GPT header at LBA 1 pointing at an entry array at LBA 2, and one entry there.
inline void putGptHeader(std::vector<unsigned char>& b) {
    putText(b, 512, "EFI PART");
    putLe(b, 512 + 72, 2, 8);
}
inline void putGptEntry(std::vector<unsigned char>& b, int index, std::uint64_t firstLba, std::uint64_t lastLba,
                        const std::u16string& name) {
    const std::size_t e = 1024 + 128 * index;
    b.at(e) = 0xA2;  // a non-zero type GUID
    putLe(b, e + 32, firstLba, 8);
    putLe(b, e + 40, lastLba, 8);
    for (std::size_t i = 0; i < name.size() && i < 36; ++i)
        putLe(b, e + 56 + 2 * i, name[i], 2);
}
}  // namespace disk_bytes
