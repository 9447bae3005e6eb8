#pragma once
// Where an inode's data lies: its block map (ext2/ext3 direct and indirect pointers) or its
// extent tree (ext4), as runs of blocks in logical order. The map's own blocks (indirect blocks,
// extent index and leaf nodes) are read through a function, so that they can come from the
// volume or from older copies of them in the journal.

#include <cstdint>
#include <functional>
#include <unordered_set>
#include <vector>

/// One mapped run of a file: count blocks from logical block `logical` at physical `physical`;
/// unwritten runs read as zeros.
struct ExtBlockRun {
    std::uint64_t logical = 0;
    std::uint64_t physical = 0;
    std::uint64_t count = 0;
    bool unwritten = false;
};

class ExtBlockMap {
public:
    /// Reads file-system block `block` into `bytes` (one block long); false when it cannot.
    using ReadBlock = std::function<bool(std::uint64_t block, std::vector<std::uint8_t>& bytes)>;

    ExtBlockMap(std::uint32_t blockSize, std::uint64_t blocksCount, ReadBlock read)
        : blockSize_(blockSize), blocksCount_(blocksCount), read_(std::move(read)) {}

    /// The runs of an inode's data (at least its first 128 bytes), each inside the volume;
    /// logical blocks at or past limitBlocks are dropped. Each map block is read at most once, and
    /// never more of them than the volume holds; an extent tree deeper than ext4 builds maps nothing.
    std::vector<ExtBlockRun> map(const std::uint8_t* inode, std::uint64_t limitBlocks) const;

    /// True when the inode's i_block maps anything at all: a valid extent root with entries, or a
    /// non-zero block pointer. Deleted ext4 and ext3 inodes have theirs cleared.
    static bool mapsBlocks(const std::uint8_t* inode);

private:
    void walkExtentNode(const std::uint8_t* node, std::size_t nodeSize, unsigned depth, std::uint64_t limitBlocks,
                        std::vector<ExtBlockRun>& runs, std::unordered_set<std::uint64_t>& visited,
                        std::uint64_t& budget) const;
    void walkIndirect(std::uint64_t block, unsigned level, std::uint64_t& logical, std::uint64_t limitBlocks,
                      std::vector<ExtBlockRun>& runs, std::uint64_t& budget) const;
    void addRun(std::vector<ExtBlockRun>& runs, std::uint64_t logical, std::uint64_t physical, std::uint64_t count,
                bool unwritten) const;

    std::uint32_t blockSize_;
    std::uint64_t blocksCount_;
    ReadBlock read_;
};
