#pragma once
// HFS+ / HFSX on-disk layout: byte offsets of the fields the reader uses. Everything is
// big-endian. Reference: Apple Technical Note TN1150 "HFS Plus Volume Format".

#include <cstdint>

namespace hfs_layout {

inline constexpr std::uint64_t kVolumeHeaderOffset = 1024;
inline constexpr std::uint32_t kVolumeHeaderSize = 512;

// Volume header
inline constexpr unsigned kSignature = 0x00;     // u16 "H+" or "HX"
inline constexpr unsigned kBlockSize = 0x28;     // u32
inline constexpr unsigned kTotalBlocks = 0x2C;   // u32
inline constexpr unsigned kAllocationFork = 0x70;  // fork data of the allocation file (one bit per block)
inline constexpr unsigned kExtentsFork = 0xC0;   // fork data of the extents overflow file
inline constexpr unsigned kCatalogFork = 0x110;  // fork data of the catalog file
inline constexpr std::uint16_t kSignaturePlus = 0x482B;  // "H+"
inline constexpr std::uint16_t kSignatureX = 0x4858;     // "HX"

// Fork data (80 bytes)
inline constexpr unsigned kForkLogicalSize = 0x00;  // u64
inline constexpr unsigned kForkTotalBlocks = 0x0C;  // u32
inline constexpr unsigned kForkExtents = 0x10;      // 8 x (start block u32, block count u32)
inline constexpr unsigned kExtentCount = 8;
inline constexpr unsigned kExtentSize = 8;

// B-tree node descriptor (14 bytes at the node's start)
inline constexpr unsigned kNodeKind = 0x08;        // s8: -1 leaf, 0 index, 1 header, 2 map
inline constexpr unsigned kNodeHeight = 0x09;      // u8
inline constexpr unsigned kNodeNumRecords = 0x0A;  // u16
inline constexpr unsigned kNodeDescriptorSize = 14;
inline constexpr std::int8_t kKindLeaf = -1;
inline constexpr std::int8_t kKindIndex = 0;
inline constexpr std::int8_t kKindHeader = 1;
inline constexpr std::int8_t kKindMap = 2;

// Header record (record 0 of node 0, at 0x0E)
inline constexpr unsigned kHeaderRecord = 0x0E;
inline constexpr unsigned kHeaderNodeSize = 0x12;    // u16, from the header record
inline constexpr unsigned kHeaderTotalNodes = 0x16;  // u32, from the header record
inline constexpr std::uint32_t kMinNodeSize = 512;
inline constexpr std::uint32_t kMaxNodeSize = 32768;

// Catalog key (at a record offset)
inline constexpr unsigned kKeyLength = 0x00;  // u16, not counting itself
inline constexpr unsigned kKeyParentId = 0x02;  // u32
inline constexpr unsigned kKeyNameLength = 0x06;  // u16, UTF-16 units
inline constexpr unsigned kKeyName = 0x08;        // UTF-16BE
inline constexpr unsigned kMinCatalogKeyLength = 6;
inline constexpr unsigned kMaxNameLength = 255;

// Catalog records (at key + key length + 2)
inline constexpr unsigned kRecordType = 0x00;  // u16: 1 folder, 2 file, 3/4 threads
inline constexpr unsigned kRecordId = 0x08;    // u32 folder ID / file ID
inline constexpr unsigned kCreateDate = 0x0C;  // u32 seconds since 1904-01-01 UTC
inline constexpr unsigned kContentModDate = 0x10;
inline constexpr unsigned kAttributeModDate = 0x14;
inline constexpr unsigned kAccessDate = 0x18;
inline constexpr unsigned kFileMode = 0x2A;    // u16 permission bits
inline constexpr unsigned kDataFork = 0x58;    // fork data of a file record
inline constexpr unsigned kFolderRecordSize = 88;
inline constexpr unsigned kFileRecordSize = 248;
inline constexpr std::uint16_t kRecordFolder = 1;
inline constexpr std::uint16_t kRecordFile = 2;
inline constexpr std::uint16_t kRecordFolderThread = 3;
inline constexpr std::uint16_t kRecordFileThread = 4;
inline constexpr unsigned kThreadNameLength = 0x08;  // u16 units, the name following
inline constexpr unsigned kThreadRecordBaseSize = 10;  // before the name's units

// Extents overflow key (12 bytes) followed by 8 extents
inline constexpr unsigned kExtKeyForkType = 0x02;  // u8: 0 data fork, 0xFF resource fork
inline constexpr unsigned kExtKeyFileId = 0x04;    // u32
inline constexpr unsigned kExtKeyStartBlock = 0x08;  // u32, file-relative
inline constexpr unsigned kExtKeySize = 12;

inline constexpr std::uint32_t kRootFolderId = 2;
inline constexpr std::uint32_t kCatalogFileId = 4;
inline constexpr std::uint32_t kNoLink = 0xFFFFFFFFu;
inline constexpr std::int64_t kHfsEpochToUnix = 2082844800;  // seconds from 1904 to 1970

}  // namespace hfs_layout
