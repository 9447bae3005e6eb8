#include "fs/ext/ExtBlockMap.h"

#include <algorithm>

#include "common/ByteView.h"
#include "fs/ext/ExtLayout.h"

using namespace ext_layout;

void ExtBlockMap::addRun(std::vector<ExtBlockRun>& runs, std::uint64_t logical, std::uint64_t physical,
                         std::uint64_t count, bool unwritten) const {
    // Blocks outside the volume are hostile or damaged: they are left as holes.
    if (physical == 0 || physical >= blocksCount_ || count == 0)
        return;
    count = std::min(count, blocksCount_ - physical);
    if (!runs.empty()) {
        ExtBlockRun& last = runs.back();
        if (last.unwritten == unwritten && last.logical + last.count == logical && last.physical + last.count == physical) {
            last.count += count;
            return;
        }
    }
    runs.push_back({logical, physical, count, unwritten});
}

void ExtBlockMap::walkExtentNode(const std::uint8_t* node, std::size_t nodeSize, unsigned depth,
                                 std::uint64_t limitBlocks, std::vector<ExtBlockRun>& runs,
                                 std::unordered_set<std::uint64_t>& visited, std::uint64_t& budget) const {
    const ByteView view(node, nodeSize);
    if (view.le16(kEhMagic) != kExtentMagic || view.le16(kEhDepth) != depth)
        return;
    const std::size_t entries = std::min<std::size_t>(view.le16(kEhEntries), (nodeSize - kEhSize) / kEntrySize);
    std::vector<std::uint8_t> child;
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint64_t e = kEhSize + i * kEntrySize;
        if (depth == 0) {
            const std::uint64_t logical = view.le32(e + kEeBlock);
            std::uint32_t length = view.le16(e + kEeLen);
            const bool unwritten = length > kInitMaxLen;
            if (unwritten)
                length -= kInitMaxLen;
            const std::uint64_t physical =
                view.le32(e + kEeStartLo) | static_cast<std::uint64_t>(view.le16(e + kEeStartHi)) << 32;
            if (logical >= limitBlocks)
                continue;
            addRun(runs, logical, physical, std::min<std::uint64_t>(length, limitBlocks - logical), unwritten);
            continue;
        }
        const std::uint64_t block = view.le32(e + kEiLeafLo) | static_cast<std::uint64_t>(view.le16(e + kEiLeafHi)) << 32;
        if (block == 0 || block >= blocksCount_ || budget == 0 || !visited.insert(block).second)
            continue;
        --budget;
        if (!read_(block, child) || child.size() != blockSize_)
            continue;
        walkExtentNode(child.data(), child.size(), depth - 1, limitBlocks, runs, visited, budget);
    }
}

void ExtBlockMap::walkIndirect(std::uint64_t block, unsigned level, std::uint64_t& logical, std::uint64_t limitBlocks,
                               std::vector<ExtBlockRun>& runs, std::uint64_t& budget) const {
    const std::uint64_t perBlock = blockSize_ / 4;
    std::uint64_t span = 1;
    for (unsigned i = 0; i < level; ++i)
        span *= perBlock;
    if (logical >= limitBlocks)
        return;
    std::vector<std::uint8_t> pointers;
    if (block == 0 || block >= blocksCount_ || budget == 0 || !read_(block, pointers) || pointers.size() != blockSize_) {
        logical += span;  // a hole (or an unreadable map): its blocks read as zeros
        return;
    }
    --budget;
    const ByteView view(pointers.data(), pointers.size());
    for (std::uint64_t i = 0; i < perBlock && logical < limitBlocks; ++i) {
        const std::uint64_t p = view.le32(i * 4);
        if (level == 1) {
            addRun(runs, logical, p, 1, false);
            ++logical;
        } else if (p == 0) {
            logical += span / perBlock;
        } else {
            walkIndirect(p, level - 1, logical, limitBlocks, runs, budget);
        }
    }
}

std::vector<ExtBlockRun> ExtBlockMap::map(const std::uint8_t* inode, std::uint64_t limitBlocks) const {
    std::vector<ExtBlockRun> runs;
    const ByteView view(inode, kMinInodeSize);
    std::uint64_t budget = blocksCount_;
    if (view.le32(kInodeFlags) & kInodeFlagExtents) {
        const std::uint16_t depth = view.le16(kInodeBlock + kEhDepth);
        if (depth > kMaxExtentDepth)
            return runs;
        std::unordered_set<std::uint64_t> visited;
        walkExtentNode(inode + kInodeBlock, kInodeBlockBytes, depth, limitBlocks, runs, visited, budget);
        std::sort(runs.begin(), runs.end(),
                  [](const ExtBlockRun& a, const ExtBlockRun& b) { return a.logical < b.logical; });
        return runs;
    }
    std::uint64_t logical = 0;
    for (unsigned i = 0; i < kDirectBlocks && logical < limitBlocks; ++i, ++logical)
        addRun(runs, logical, view.le32(kInodeBlock + i * 4), 1, false);
    logical = kDirectBlocks;
    walkIndirect(view.le32(kInodeBlock + kSingleIndirect * 4), 1, logical, limitBlocks, runs, budget);
    walkIndirect(view.le32(kInodeBlock + kDoubleIndirect * 4), 2, logical, limitBlocks, runs, budget);
    walkIndirect(view.le32(kInodeBlock + kTripleIndirect * 4), 3, logical, limitBlocks, runs, budget);
    return runs;
}

bool ExtBlockMap::mapsBlocks(const std::uint8_t* inode) {
    const ByteView view(inode, kMinInodeSize);
    if (view.le32(kInodeFlags) & kInodeFlagExtents)
        return view.le16(kInodeBlock + kEhMagic) == kExtentMagic && view.le16(kInodeBlock + kEhEntries) > 0;
    for (unsigned i = 0; i < kInodeBlockBytes / 4; ++i)
        if (view.le32(kInodeBlock + i * 4) != 0)
            return true;
    return false;
}
