#pragma once
// One inode of an ext2/3/4 volume as the browser sees it, keyed by inode number - 1. Kept small:
// a volume of a million files holds a million of them. Its name lies in the reader's name store.

#include <cstdint>

inline constexpr std::uint32_t kExtNone = 0xFFFFFFFFu;  ///< "no parent", "no child", "no sibling"

struct ExtEntry {
    std::uint64_t size = 0;                ///< i_size_lo | i_size_high << 32
    std::uint32_t inodeIndex = kExtNone;   ///< inode number - 1 of the inode it stands for
    std::uint32_t parentIndex = kExtNone;  ///< key of the parent directory
    std::uint32_t firstChild = kExtNone;
    std::uint32_t nextSibling = kExtNone;
    std::uint32_t nameOffset = 0;          ///< where its name starts in the reader's name store
    /// The list texts' fields as the inode table held them when it was read; without them
    /// (timesKnown false) the inode is read again when the texts are asked for.
    std::uint32_t accessTime = 0;
    std::uint32_t modifyTime = 0;
    std::uint32_t createTime = 0;
    std::uint16_t nameLength = 0;          ///< 0: not named by any directory entry (not listed)
    std::uint16_t mode = 0;                ///< i_mode; 0x4000 / 0x8000 when a directory entry says dir / file
    std::uint16_t inodeMode = 0;           ///< i_mode as stored (mode above may be set from a directory entry)
    bool timesKnown = false;
    bool createKnown = false;              ///< the inode is large enough to hold a creation time (ext4)

    bool named() const { return nameLength != 0; }
};
