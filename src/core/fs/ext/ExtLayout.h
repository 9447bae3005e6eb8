#pragma once
// ext2/3/4 on-disk layout: byte offsets of the fields the reader uses, all little-endian.
// Reference: the kernel's Documentation/filesystems/ext4 (superblock, group descriptors, inodes,
// extent tree, linear directories).

#include <cstdint>

namespace ext_layout {

inline constexpr std::uint64_t kSuperblockOffset = 1024;  // primary superblock, from the volume's start
inline constexpr std::uint32_t kSuperblockSize = 1024;

// Superblock
inline constexpr unsigned kInodesCount = 0x00;      // u32
inline constexpr unsigned kBlocksCountLo = 0x04;    // u32
inline constexpr unsigned kFirstDataBlock = 0x14;   // u32: 1 on 1024-byte blocks, else 0
inline constexpr unsigned kLogBlockSize = 0x18;     // u32: block size = 1024 << value
inline constexpr unsigned kBlocksPerGroup = 0x20;   // u32
inline constexpr unsigned kInodesPerGroup = 0x28;   // u32
inline constexpr unsigned kMagic = 0x38;            // u16
inline constexpr unsigned kInodeSize = 0x58;        // u16
inline constexpr unsigned kFeatureCompat = 0x5C;    // u32
inline constexpr unsigned kFeatureIncompat = 0x60;  // u32
inline constexpr unsigned kFeatureRoCompat = 0x64;  // u32
inline constexpr unsigned kDescSize = 0xFE;         // u16: group descriptor size with the 64bit feature
inline constexpr unsigned kBlocksCountHi = 0x150;   // u32: with the 64bit feature

inline constexpr std::uint16_t kMagicValue = 0xEF53;
inline constexpr std::uint32_t kIncompatFileType = 0x02;  // directory entries carry a file type byte
inline constexpr std::uint32_t kIncompat64Bit = 0x80;     // 64-byte group descriptors, 64-bit block counts
inline constexpr std::uint32_t kIncompatExt4Only = 0x40 | 0x80 | 0x200;  // extents, 64bit, flex_bg
inline constexpr std::uint32_t kCompatHasJournal = 0x4;
inline constexpr std::uint32_t kMaxLogBlockSize = 6;      // 64 KiB blocks

// Group descriptor (32 bytes, or kDescSize bytes with the 64bit feature)
inline constexpr unsigned kGdBlockBitmapLo = 0x00;  // u32
inline constexpr unsigned kGdFlags = 0x12;          // u16
inline constexpr unsigned kGdBlockBitmapHi = 0x20;  // u32, only in descriptors of 64 bytes or more
inline constexpr std::uint16_t kGdBlockUninit = 0x2;  // the group's block bitmap was never written: no data in use
inline constexpr unsigned kGdInodeTableLo = 0x08;  // u32
inline constexpr unsigned kGdInodeBitmapLo = 0x04;  // u32
inline constexpr unsigned kGdInodeBitmapHi = 0x24;  // u32, only in descriptors of 64 bytes or more
inline constexpr std::uint32_t kRoCompatBigalloc = 0x200;  // bitmaps count clusters of several blocks
inline constexpr unsigned kGdInodeTableHi = 0x28;  // u32, only in descriptors of 64 bytes or more
inline constexpr unsigned kGdSmallSize = 32;
inline constexpr unsigned kGdLargeSize = 64;

// Inode
inline constexpr unsigned kInodeMode = 0x00;      // u16 i_mode
inline constexpr unsigned kInodeSizeLo = 0x04;    // u32
inline constexpr unsigned kInodeAtime = 0x08;     // u32 access time, seconds since 1970 UTC
inline constexpr unsigned kInodeCtime = 0x0C;     // u32 change time
inline constexpr unsigned kInodeMtime = 0x10;     // u32 modification time
inline constexpr unsigned kInodeDtime = 0x14;     // u32 deletion time, 0 while the inode is in use
inline constexpr unsigned kInodeLinks = 0x1A;     // u16 hard links; 0 once deleted
inline constexpr unsigned kInodeFlags = 0x20;     // u32
inline constexpr unsigned kInodeBlock = 0x28;     // 15 x u32 block map, or the extent tree's root
inline constexpr unsigned kInodeBlockBytes = 60;
inline constexpr unsigned kInodeGeneration = 0x64;  // u32: differs between two files that held the same inode
inline constexpr unsigned kInodeSizeHi = 0x6C;    // u32
inline constexpr unsigned kInodeExtraSize = 0x80; // u16 i_extra_isize: bytes in use past the first 128
inline constexpr unsigned kInodeCrtime = 0x90;    // u32 creation time (ext4 large inodes only)
inline constexpr unsigned kMinInodeSize = 128;

inline constexpr std::uint32_t kInodeFlagExtents = 0x80000;
inline constexpr std::uint16_t kModeTypeMask = 0xF000;
inline constexpr std::uint16_t kModeDirectory = 0x4000;
inline constexpr std::uint16_t kModeRegular = 0x8000;
inline constexpr std::uint16_t kModeFifo = 0x1000;
inline constexpr std::uint16_t kModeCharDevice = 0x2000;
inline constexpr std::uint16_t kModeBlockDevice = 0x6000;
inline constexpr std::uint16_t kModeSymlink = 0xA000;
inline constexpr std::uint16_t kModeSocket = 0xC000;
/// A symbolic link whose target fits here is stored in i_block itself ("fast" link).
inline constexpr std::uint64_t kFastSymlinkMax = 60;

// Block map inside i_block
inline constexpr unsigned kDirectBlocks = 12;
inline constexpr unsigned kSingleIndirect = 12;
inline constexpr unsigned kDoubleIndirect = 13;
inline constexpr unsigned kTripleIndirect = 14;

// Extent tree node: a 12-byte header, then 12-byte entries
inline constexpr unsigned kEhMagic = 0x00;    // u16 0xF30A
inline constexpr unsigned kEhEntries = 0x02;  // u16
inline constexpr unsigned kEhMax = 0x04;      // u16
inline constexpr unsigned kEhDepth = 0x06;    // u16: 0 = the entries are extents (leaves)
inline constexpr unsigned kEhSize = 12;
inline constexpr unsigned kEntrySize = 12;
inline constexpr std::uint16_t kExtentMagic = 0xF30A;
inline constexpr unsigned kMaxExtentDepth = 5;  // the deepest tree ext4 builds

// Leaf extent
inline constexpr unsigned kEeBlock = 0x00;    // u32 first logical block
inline constexpr unsigned kEeLen = 0x04;      // u16 length; above 32768 the extent is uninitialised
inline constexpr unsigned kEeStartHi = 0x06;  // u16 physical block, high 16 bits
inline constexpr unsigned kEeStartLo = 0x08;  // u32 physical block, low 32 bits
inline constexpr std::uint16_t kInitMaxLen = 32768;

// Index entry
inline constexpr unsigned kEiBlock = 0x00;   // u32 first logical block covered
inline constexpr unsigned kEiLeafLo = 0x04;  // u32 child node block, low 32 bits
inline constexpr unsigned kEiLeafHi = 0x08;  // u16 child node block, high 16 bits

// Directory entry
inline constexpr unsigned kDeInode = 0x00;     // u32
inline constexpr unsigned kDeRecLen = 0x04;    // u16
inline constexpr unsigned kDeNameLen = 0x06;   // u16, or u8 with the file type at 0x07
inline constexpr unsigned kDeFileType = 0x07;  // u8: 1 regular file, 2 directory, 3..7 the special kinds
inline constexpr unsigned kDeName = 0x08;
inline constexpr std::uint8_t kFileTypeRegular = 1;
inline constexpr std::uint8_t kFileTypeDirectory = 2;

/// The i_mode type bits a directory entry's file type byte stands for (index: the byte), 0 unknown.
inline constexpr std::uint16_t kModeOfFileType[8] = {0, kModeRegular, kModeDirectory, kModeCharDevice,
                                                      kModeBlockDevice, kModeFifo, kModeSocket, kModeSymlink};

}  // namespace ext_layout
