// The journal index over journals built byte by byte: committed transactions are indexed newest
// first with escaped magics put back; uncommitted, overwritten and hostile ones are not, and the
// walk ends on any of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fs/ext/JournalIndex.h"
#include "fs/ext/JournalLayout.h"

using namespace journal_layout;

namespace {
constexpr std::uint32_t kBlock = 1024;

struct Journal {
    std::vector<std::vector<std::uint8_t>> blocks;
    std::uint32_t incompat = 0;

    explicit Journal(std::uint32_t length, std::uint32_t nextSequence, std::uint32_t features = 0)
        : blocks(length, std::vector<std::uint8_t>(kBlock, 0)), incompat(features) {
        header(0, kTypeSuperblockV2, 0);
        be32(0, kJsBlockSize, kBlock);
        be32(0, kJsMaxLen, length);
        be32(0, kJsFirst, 1);
        be32(0, kJsSequence, nextSequence);
        be32(0, kJsFeatureIncompat, features);
    }
    void be32(std::uint32_t block, std::uint32_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            blocks[block][at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
    void header(std::uint32_t block, std::uint32_t type, std::uint32_t sequence) {
        be32(block, kMagic, kMagicValue);
        be32(block, kBlockType, type);
        be32(block, kSequence, sequence);
    }
    std::uint32_t next(std::uint32_t p) const { return p + 1 < blocks.size() ? p + 1 : 1; }
    /// A descriptor at `at` naming fsBlocks, their copies (filled with the block number), a commit.
    /// Returns the position after the commit.
    std::uint32_t transaction(std::uint32_t at, std::uint32_t sequence, const std::vector<std::uint32_t>& fsBlocks,
                              bool commit = true, bool escapeFirst = false) {
        header(at, kTypeDescriptor, sequence);
        const bool v3 = (incompat & kIncompatCsumV3) != 0;
        const std::uint32_t tagSize = v3 ? kTagV3Size : kTagSmallSize + ((incompat & kIncompat64Bit) ? 4 : 0);
        std::uint32_t tag = kHeaderSize, p = at;
        for (std::size_t i = 0; i < fsBlocks.size(); ++i) {
            std::uint32_t flags = i == 0 ? 0 : kTagSameUuid;
            if (i + 1 == fsBlocks.size())
                flags |= kTagLast;
            if (i == 0 && escapeFirst)
                flags |= kTagEscaped;
            be32(at, tag + kTagBlock, fsBlocks[i]);
            if (v3)
                be32(at, tag + kTagFlags32, flags);
            else {
                blocks[at][tag + kTagFlags16] = static_cast<std::uint8_t>(flags >> 8);
                blocks[at][tag + kTagFlags16 + 1] = static_cast<std::uint8_t>(flags);
            }
            tag += tagSize + (i == 0 ? kTagUuidSize : 0);
            p = next(p);
            std::fill(blocks[p].begin(), blocks[p].end(), static_cast<std::uint8_t>(fsBlocks[i]));
            if (i == 0 && escapeFirst)
                std::fill(blocks[p].begin(), blocks[p].begin() + 4, 0);  // the magic, stored zeroed
        }
        p = next(p);
        if (commit)
            header(p, kTypeCommit, sequence);
        return next(p);
    }
    JournalIndex index(std::uint64_t fsBlocks = 1000) const {
        return JournalIndex(
            [this](std::uint64_t p, std::vector<std::uint8_t>& out) {
                if (p >= blocks.size())
                    return false;
                out = blocks[p];
                return true;
            },
            kBlock, blocks.size(), fsBlocks);
    }
};

TEST(JournalIndex, IndexesCommittedCopiesNewestFirst) {
    for (std::uint32_t features : {0u, kIncompat64Bit, kIncompat64Bit | kIncompatCsumV3}) {
        Journal journal(64, 12, features);
        std::uint32_t p = journal.transaction(1, 9, {100, 200});
        p = journal.transaction(p, 10, {100, 300}, true, true);
        journal.transaction(p, 11, {400}, false);  // never committed
        const JournalIndex index = journal.index();
        ASSERT_TRUE(index.valid()) << index.problem();
        EXPECT_EQ(index.transactions(), 2u);
        const auto& copies = index.copiesOf(100);
        ASSERT_EQ(copies.size(), 2u) << features;
        EXPECT_EQ(copies[0].sequence, 10u);
        EXPECT_EQ(copies[0].age, 2u);
        EXPECT_EQ(copies[1].sequence, 9u);
        std::vector<std::uint8_t> bytes;
        ASSERT_TRUE(index.readCopy(copies[0], bytes));
        EXPECT_EQ(bytes[0], 0xC0);  // the escaped magic put back
        EXPECT_EQ(bytes[4], 100);
        EXPECT_EQ(index.copiesOf(300).size(), 1u);
        EXPECT_TRUE(index.copiesOf(400).empty());
    }
}

TEST(JournalIndex, FollowsATransactionRoundTheJournalsEnd) {
    Journal journal(16, 30);
    journal.transaction(1, 27, {5});
    journal.transaction(13, 28, {7, 8, 9});  // its copies and commit wrap to positions 1..
    const JournalIndex index = journal.index();
    EXPECT_EQ(index.copiesOf(9).size(), 1u);
    EXPECT_TRUE(index.copiesOf(5).empty());  // its blocks were overwritten by the wrapped transaction
}

TEST(JournalIndex, RefusesOrBoundsHostileJournals) {
    {
        Journal journal(8, 1);
        journal.be32(0, kJsBlockSize, 4096);
        EXPECT_FALSE(journal.index().valid());
    }
    {
        Journal journal(8, 1);
        journal.be32(0, kJsFirst, 8);
        EXPECT_FALSE(journal.index().valid());
    }
    {
        // Every block a descriptor of one transaction whose tags never end: no commit, nothing kept.
        Journal journal(4096, 5);
        for (std::uint32_t b = 1; b < 4096; ++b) {
            journal.header(b, kTypeDescriptor, 4);
            for (std::uint32_t tag = kHeaderSize; tag + kTagSmallSize <= kBlock; tag += kTagSmallSize) {
                journal.be32(b, tag, b);
                journal.blocks[b][tag + kTagFlags16 + 1] = kTagSameUuid;
            }
        }
        const JournalIndex index = journal.index();
        EXPECT_TRUE(index.allCopies().empty());
    }
    {
        // Tags naming blocks past the volume are dropped.
        Journal journal(16, 3);
        journal.transaction(1, 2, {5, 5000});
        const JournalIndex index = journal.index(1000);
        EXPECT_EQ(index.copiesOf(5).size(), 1u);
        EXPECT_TRUE(index.copiesOf(5000).empty());
    }
}
}  // namespace
