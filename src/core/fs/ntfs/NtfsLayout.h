#pragma once
// NTFS on-disk layout: the fields this reader uses, with their byte offsets. Everything is
// little-endian. Public references: the NTFS documentation of the Linux-NTFS project
// ("NTFS Documentation", R. Russon and Y. Fledel) and Microsoft's [MS-XCA] for LZNT1.

#include <cstdint>

namespace ntfs_layout {

// Boot sector (sector 0 of the volume).
inline constexpr std::uint32_t kBootOemName = 0x03;          // 4 bytes "NTFS"
inline constexpr std::uint32_t kBootBytesPerSector = 0x0B;   // u16
inline constexpr std::uint32_t kBootSectorsPerCluster = 0x0D; // u8
inline constexpr std::uint32_t kBootTotalSectors = 0x28;     // u64
inline constexpr std::uint32_t kBootMftCluster = 0x30;       // u64
inline constexpr std::uint32_t kBootClustersPerRecord = 0x40; // i8: > 0 clusters, < 0 means 2^-n bytes
inline constexpr std::uint32_t kBootSectorSize = 512;

// MFT record header (FILE record).
inline constexpr std::uint32_t kRecordSignature = 0x00;     // 4 bytes "FILE"
inline constexpr std::uint32_t kRecordUsaOffset = 0x04;     // u16 update-sequence offset
inline constexpr std::uint32_t kRecordUsaCount = 0x06;      // u16 entries, the check value included
inline constexpr std::uint32_t kRecordFirstAttribute = 0x14; // u16
inline constexpr std::uint32_t kRecordFlags = 0x16;         // u16
inline constexpr std::uint32_t kRecordAllocatedSize = 0x1C; // u32 bytes allocated for the record
inline constexpr std::uint32_t kRecordBaseReference = 0x20; // u64, non-zero in extension records
inline constexpr std::uint32_t kRecordNumber = 0x2C;        // u32 (NTFS 3.1)
inline constexpr std::uint32_t kRecordHeaderSize = 48;
inline constexpr std::uint16_t kRecordInUse = 0x0001;
inline constexpr std::uint16_t kRecordIsDirectory = 0x0002;
inline constexpr std::uint32_t kDefaultRecordSize = 1024;
inline constexpr std::uint32_t kFixupStride = 512;          // the update sequence covers every 512 bytes

// Attribute header.
inline constexpr std::uint32_t kAttrType = 0x00;        // u32
inline constexpr std::uint32_t kAttrLength = 0x04;      // u32
inline constexpr std::uint32_t kAttrNonResident = 0x08; // u8
inline constexpr std::uint32_t kAttrNameLength = 0x09;  // u8, UTF-16 units; 0 for the unnamed stream
inline constexpr std::uint32_t kAttrFlags = 0x0C;       // u16
// resident
inline constexpr std::uint32_t kAttrValueLength = 0x10; // u32
inline constexpr std::uint32_t kAttrValueOffset = 0x14; // u16
inline constexpr std::uint32_t kResidentHeaderSize = 0x18;
// non-resident
inline constexpr std::uint32_t kAttrStartVcn = 0x10;        // u64
inline constexpr std::uint32_t kAttrLastVcn = 0x18;         // u64
inline constexpr std::uint32_t kAttrRunListOffset = 0x20;   // u16
inline constexpr std::uint32_t kAttrCompressionUnit = 0x22; // u8, log2 of clusters per unit
inline constexpr std::uint32_t kAttrAllocatedSize = 0x28;   // u64
inline constexpr std::uint32_t kAttrRealSize = 0x30;        // u64
inline constexpr std::uint32_t kAttrInitializedSize = 0x38; // u64
inline constexpr std::uint32_t kNonResidentHeaderSize = 0x40;

inline constexpr std::uint16_t kAttrFlagCompressionMask = 0x00FF;
inline constexpr std::uint16_t kAttrFlagEncrypted = 0x4000;

inline constexpr std::uint32_t kTypeStandardInformation = 0x10;
inline constexpr std::uint32_t kTypeAttributeList = 0x20;
inline constexpr std::uint32_t kTypeFileName = 0x30;
inline constexpr std::uint32_t kTypeData = 0x80;
inline constexpr std::uint32_t kTypeEnd = 0xFFFFFFFF;

// $STANDARD_INFORMATION value.
inline constexpr std::uint32_t kSiCreationTime = 0x00;     // u64 file time
inline constexpr std::uint32_t kSiModificationTime = 0x08; // u64
inline constexpr std::uint32_t kSiAccessTime = 0x18;       // u64
inline constexpr std::uint32_t kSiMinimumSize = 0x20;

// $FILE_NAME value.
inline constexpr std::uint32_t kFnParentReference = 0x00; // u64, low 48 bits the record number
inline constexpr std::uint32_t kFnAllocatedSize = 0x28;   // u64
inline constexpr std::uint32_t kFnRealSize = 0x30;        // u64
inline constexpr std::uint32_t kFnFlags = 0x38;           // u32 file attribute flags
inline constexpr std::uint32_t kFnNameLength = 0x40;      // u8, UTF-16 units
inline constexpr std::uint32_t kFnNameSpace = 0x41;       // u8
inline constexpr std::uint32_t kFnName = 0x42;            // UTF-16LE
inline constexpr std::uint32_t kFnDirectoryFlag = 0x10000000;
inline constexpr std::uint8_t kNameSpacePosix = 0;
inline constexpr std::uint8_t kNameSpaceWin32 = 1;
inline constexpr std::uint8_t kNameSpaceDos = 2;
inline constexpr std::uint8_t kNameSpaceWin32AndDos = 3;

// $ATTRIBUTE_LIST entry.
inline constexpr std::uint32_t kAlType = 0x00;          // u32
inline constexpr std::uint32_t kAlLength = 0x04;        // u16
inline constexpr std::uint32_t kAlNameLength = 0x06;    // u8
inline constexpr std::uint32_t kAlStartVcn = 0x08;      // u64
inline constexpr std::uint32_t kAlRecordLow = 0x10;     // u32 record number, low 32 bits
inline constexpr std::uint32_t kAlRecordHigh = 0x14;    // u16 record number, bits 32..47
inline constexpr std::uint32_t kAlMinimumLength = 0x1A;

// File attribute flags ($FILE_NAME 0x38), in the order the attribute text lists them.
inline constexpr std::uint16_t kFileReadOnly = 0x0001;
inline constexpr std::uint16_t kFileHidden = 0x0002;
inline constexpr std::uint16_t kFileSystem = 0x0004;
inline constexpr std::uint16_t kFileArchive = 0x0020;
inline constexpr std::uint16_t kFileSparse = 0x0200;
inline constexpr std::uint16_t kFileCompressed = 0x0800;
inline constexpr std::uint16_t kFileEncrypted = 0x4000;

// Whole-volume scans read the volume in chunks of this size.
inline constexpr std::uint32_t kScanChunk = 10485760;
inline constexpr std::uint32_t kScanUnit = 512;

// LZNT1 chunk header.
inline constexpr std::uint32_t kLzntChunkSize = 4096;
inline constexpr std::uint16_t kLzntCompressedFlag = 0x8000;
inline constexpr std::uint16_t kLzntSizeMask = 0x0FFF;

// Record numbers of the system files used by name.
inline constexpr std::uint64_t kRootRecord = 5;
inline constexpr std::uint64_t kNoIndex = ~std::uint64_t{0};

}  // namespace ntfs_layout
