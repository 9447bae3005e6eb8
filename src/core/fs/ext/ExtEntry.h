#pragma once
// One inode of an ext2/3/4 volume as the browser sees it, keyed by inode number - 1.

#include <cstdint>
#include <string>

inline constexpr std::uint32_t kExtNone = 0xFFFFFFFFu;  ///< "no parent", "no child", "no sibling"

struct ExtEntry {
    std::string name;                   ///< name bytes of the directory entry naming the inode; empty until named
    std::uint32_t inodeIndex = kExtNone;  ///< inode number - 1
    std::uint32_t parentIndex = kExtNone; ///< inodeIndex of the parent directory
    std::uint16_t mode = 0;             ///< i_mode; 0x4000 / 0x8000 when a directory entry says dir / file
    std::uint64_t size = 0;             ///< i_size_lo | i_size_high << 32
    std::uint64_t tableBlock = 0;       ///< block of the inode table holding the inode (48-bit on ext4)
    std::uint32_t tableSlot = 0;        ///< the inode's position in that table
    std::uint32_t firstChild = kExtNone;
    std::uint32_t nextSibling = kExtNone;
    /// The list texts' fields as the inode table held them when it was read; without them
    /// (timesKnown false) the inode is read again when the texts are asked for.
    bool timesKnown = false;
    std::uint16_t inodeMode = 0;  ///< i_mode as stored (mode above may be set from a directory entry)
    std::uint32_t accessTime = 0;
    std::uint32_t changeTime = 0;
    std::uint32_t modifyTime = 0;
    bool createKnown = false;     ///< the inode is large enough to hold a creation time (ext4)
    std::uint32_t createTime = 0;
};
