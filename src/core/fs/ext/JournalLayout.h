#pragma once
// jbd2 journal layout (the ext3/ext4 journal): byte offsets of the fields the journal index
// reads. Every journal field is big-endian, unlike the rest of ext. Reference: the kernel's
// Documentation/filesystems/ext4/journal.rst.

#include <cstdint>

namespace journal_layout {

// Where the file system's superblock names its journal (it says it has one in ext_layout::kFeatureCompat)
inline constexpr unsigned kSbJournalInode = 0xE0;    // u32: usually 8
inline constexpr unsigned kSbJournalDevice = 0xE4;   // u32: an external journal's device

// Every journal metadata block starts with this header
inline constexpr unsigned kMagic = 0x00;      // be32
inline constexpr unsigned kBlockType = 0x04;  // be32
inline constexpr unsigned kSequence = 0x08;   // be32: the transaction
inline constexpr unsigned kHeaderSize = 12;
inline constexpr std::uint32_t kMagicValue = 0xC03B3998u;

inline constexpr std::uint32_t kTypeDescriptor = 1;
inline constexpr std::uint32_t kTypeCommit = 2;
inline constexpr std::uint32_t kTypeSuperblockV1 = 3;
inline constexpr std::uint32_t kTypeSuperblockV2 = 4;
inline constexpr std::uint32_t kTypeRevoke = 5;

// Journal superblock (journal block 0)
inline constexpr unsigned kJsBlockSize = 0x0C;        // be32
inline constexpr unsigned kJsMaxLen = 0x10;           // be32: blocks in the journal
inline constexpr unsigned kJsFirst = 0x14;            // be32: first log block
inline constexpr unsigned kJsSequence = 0x18;         // be32: first transaction expected
inline constexpr unsigned kJsStart = 0x1C;            // be32: first block of the log, 0 = clean
inline constexpr unsigned kJsFeatureIncompat = 0x28;  // be32 (v2 superblock only)

inline constexpr std::uint32_t kIncompatRevoke = 0x1;
inline constexpr std::uint32_t kIncompat64Bit = 0x2;
inline constexpr std::uint32_t kIncompatAsyncCommit = 0x4;
inline constexpr std::uint32_t kIncompatCsumV2 = 0x8;
inline constexpr std::uint32_t kIncompatCsumV3 = 0x10;

// Descriptor block tags, from kHeaderSize on. With checksum v3 a tag is
// {be32 block, be32 flags, be32 block_high, be32 checksum}; otherwise
// {be32 block, be16 checksum, be16 flags, [be32 block_high with 64bit]} and 2 more bytes with v2.
// A tag without kTagSameUuid is followed by the journal's 16-byte UUID.
inline constexpr unsigned kTagBlock = 0x00;
inline constexpr unsigned kTagFlags16 = 0x06;  // be16, tags other than v3
inline constexpr unsigned kTagFlags32 = 0x04;  // be32, v3 tags
inline constexpr unsigned kTagBlockHigh = 0x08;
inline constexpr unsigned kTagV3Size = 16;
inline constexpr unsigned kTagSmallSize = 8;
inline constexpr unsigned kTagUuidSize = 16;
inline constexpr unsigned kBlockTailSize = 4;  // checksum at the end of descriptor and revoke blocks (v2, v3)

inline constexpr std::uint32_t kTagEscaped = 0x1;   // the copy's first four bytes were the journal magic, stored zeroed
inline constexpr std::uint32_t kTagSameUuid = 0x2;
inline constexpr std::uint32_t kTagLast = 0x8;

}  // namespace journal_layout
