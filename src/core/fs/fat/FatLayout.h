#pragma once
// On-disk layout of FAT12/16, FAT32 and exFAT volumes: byte offsets of the fields we read, all
// little-endian. Public references: Microsoft's "FAT: General Overview of On-Disk Format" (FAT
// boot sector, directory entries, long-name entries) and Microsoft's published exFAT file system reference
// (boot sector, directory entry sets).

#include <cstdint>

#include "common/ByteView.h"

namespace fat_layout {
// --- FAT12/16/32 boot sector (BIOS parameter block) ---
inline constexpr std::uint32_t kOemName = 3;           // 8 bytes, free text
inline constexpr std::uint32_t kBytesPerSector = 11;   // u16
inline constexpr std::uint32_t kSectorsPerCluster = 13; // u8
inline constexpr std::uint32_t kReservedSectors = 14;  // u16
inline constexpr std::uint32_t kFatCount = 16;         // u8
inline constexpr std::uint32_t kRootEntryCount = 17;   // u16, FAT12/16 only
inline constexpr std::uint32_t kTotalSectors16 = 19;   // u16, 0 when the 32-bit field holds it
inline constexpr std::uint32_t kSectorsPerFat16 = 22;  // u16, 0 on FAT32
inline constexpr std::uint32_t kTotalSectors32 = 32;   // u32
inline constexpr std::uint32_t kSectorsPerFat32 = 36;  // u32, FAT32 only
inline constexpr std::uint32_t kRootCluster = 44;      // u32, FAT32 only

/// A FAT12/16 volume has fewer data clusters than this; its FAT entries are then 12 bits wide.
inline constexpr std::uint32_t kFat12ClusterLimit = 4085;

// --- 32-byte directory entry ---
inline constexpr std::uint32_t kSlotSize = 32;
inline constexpr std::uint32_t kShortName = 0;        // 11 bytes: 8 name + 3 extension, blank-padded
inline constexpr std::uint32_t kAttributes = 11;      // u8; 0x0F marks a long-name entry
inline constexpr std::uint32_t kCaseFlags = 12;       // u8
inline constexpr std::uint32_t kCreateTenths = 13;    // u8, 10 ms units
inline constexpr std::uint32_t kCreateTime = 14;      // u16 DOS time
inline constexpr std::uint32_t kCreateDate = 16;      // u16 DOS date
inline constexpr std::uint32_t kAccessDate = 18;      // u16 DOS date
inline constexpr std::uint32_t kFirstClusterHigh = 20; // u16
inline constexpr std::uint32_t kWriteTime = 22;       // u16 DOS time
inline constexpr std::uint32_t kWriteDate = 24;       // u16 DOS date
inline constexpr std::uint32_t kFirstClusterLow = 26; // u16
inline constexpr std::uint32_t kFileSize = 28;        // u32

inline constexpr std::uint8_t kEmptySlot = 0x00;
inline constexpr std::uint8_t kDeletedMark = 0xE5;
inline constexpr std::uint8_t kDotMark = 0x2E;
inline constexpr std::uint8_t kLongNameAttributes = 0x0F;

// --- long-name entry ---
inline constexpr std::uint32_t kLfnSequence = 0;   // u8; bit 0x40 marks the last (first stored) part
inline constexpr std::uint32_t kLfnUnits1 = 1;     // 5 UTF-16 units
inline constexpr std::uint32_t kLfnChecksum = 13;  // u8, checksum of the short name
inline constexpr std::uint32_t kLfnUnits2 = 14;    // 6 UTF-16 units
inline constexpr std::uint32_t kLfnUnits3 = 28;    // 2 UTF-16 units
inline constexpr std::uint32_t kLfnUnitsPerSlot = 13;
/// The longest run a long name can have (255 characters).
inline constexpr std::uint32_t kLfnMaxSlots = 20;

/// A volume label (0x08) or a long-name slot (0x0F): no file and no folder of the user's.
inline bool isLabelOrLongNameAttribute(std::uint32_t a) { return (a & 0x08) != 0; }

/// The directory bit makes a directory, whatever the read-only, hidden, system and archive bits.
inline bool isDirectoryAttribute(std::uint32_t a) { return (a & 0x10) != 0 && !isLabelOrLongNameAttribute(a); }

// --- exFAT boot sector ---
inline constexpr std::uint32_t kExfatName = 3;              // "EXFAT   "
inline constexpr std::uint32_t kExfatVolumeLength = 72;     // u64, sectors
inline constexpr std::uint32_t kExfatFatOffset = 80;        // u32, sectors
inline constexpr std::uint32_t kExfatFatLength = 84;        // u32, sectors
inline constexpr std::uint32_t kExfatHeapOffset = 88;       // u32, sectors
inline constexpr std::uint32_t kExfatClusterCount = 92;     // u32
inline constexpr std::uint32_t kExfatRootCluster = 96;      // u32
inline constexpr std::uint32_t kExfatBytesPerSectorShift = 108; // u8
inline constexpr std::uint32_t kExfatSectorsPerClusterShift = 109; // u8

// --- exFAT directory entries (32 bytes, type byte first) ---
inline constexpr std::uint8_t kExfatFileEntry = 0x85;
inline constexpr std::uint8_t kExfatDeletedFileEntry = 0x05;
inline constexpr std::uint8_t kExfatStreamEntry = 0xC0;
inline constexpr std::uint8_t kExfatDeletedStreamEntry = 0x40;
inline constexpr std::uint8_t kExfatNameEntry = 0xC1;
inline constexpr std::uint8_t kExfatDeletedNameEntry = 0x41;
inline constexpr std::uint8_t kExfatVolumeLabel = 0x83;
inline constexpr std::uint8_t kExfatBitmap = 0x81;
// file entry
inline constexpr std::uint32_t kExfatSecondaryCount = 1;   // u8
inline constexpr std::uint32_t kExfatAttributes = 4;       // u16
/// The attribute bits a file entry may carry: read-only, hidden, system, directory, archive.
inline constexpr std::uint16_t kExfatDefinedAttributes = 0x37;
inline bool isExfatDirectoryAttribute(std::uint16_t a) { return (a & 0x10) != 0; }
inline constexpr std::uint32_t kExfatReserved1 = 6;        // u16
inline constexpr std::uint32_t kExfatCreateTimestamp = 8;  // u32
inline constexpr std::uint32_t kExfatModifyTimestamp = 12; // u32
inline constexpr std::uint32_t kExfatAccessTimestamp = 16; // u32
inline constexpr std::uint32_t kExfatCreate10ms = 20;      // u8
inline constexpr std::uint32_t kExfatModify10ms = 21;      // u8
inline constexpr std::uint32_t kExfatCreateUtcOffset = 22; // u8
inline constexpr std::uint32_t kExfatModifyUtcOffset = 23; // u8
inline constexpr std::uint32_t kExfatAccessUtcOffset = 24; // u8
inline constexpr std::uint32_t kExfatReserved2 = 25;       // 7 bytes
// stream extension
inline constexpr std::uint32_t kExfatStreamFlags = 1;      // u8: 0x01 allocation possible, 0x02 no FAT chain
inline constexpr std::uint32_t kExfatStreamReserved1 = 2;  // u8
inline constexpr std::uint32_t kExfatNameLength = 3;       // u8, characters
inline constexpr std::uint32_t kExfatStreamReserved2 = 6;  // u16
inline constexpr std::uint32_t kExfatValidDataLength = 8;  // u64
inline constexpr std::uint32_t kExfatStreamReserved3 = 16; // u32
inline constexpr std::uint32_t kExfatFirstCluster = 20;    // u32
inline constexpr std::uint32_t kExfatDataLength = 24;      // u64
// file name entry
inline constexpr std::uint32_t kExfatNameFlags = 1;        // u8
inline constexpr std::uint32_t kExfatNameUnits = 2;        // 15 UTF-16 units
inline constexpr std::uint32_t kExfatUnitsPerNameEntry = 15;
/// Name entries collected for one set at most (a valid name needs 17).
inline constexpr std::uint32_t kExfatMaxNameEntries = 32;
inline constexpr std::uint8_t kExfatNoFatChain = 0x02;
}  // namespace fat_layout
