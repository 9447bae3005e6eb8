#include <gtest/gtest.h>

#include <unordered_set>
#include <vector>

#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "fs/fat/FatTable.h"

namespace {
/// A 16-bit FAT of 16 clusters: 2 -> 3 -> 4 (end), 5 -> 6 -> 5 (a loop), 7 -> 20 (outside).
std::vector<unsigned char> fatBytes() {
    std::vector<unsigned char> fat(32, 0);
    const auto put = [&](int cluster, int next) {
        fat[static_cast<std::size_t>(2 * cluster)] = static_cast<unsigned char>(next & 0xFF);
        fat[static_cast<std::size_t>(2 * cluster + 1)] = static_cast<unsigned char>(next >> 8);
    };
    put(2, 3), put(3, 4), put(4, 0xFFFF), put(5, 6), put(6, 5), put(7, 20);
    return fat;
}
}  // namespace

// Every FAT-family walk takes its clusters from this one chain walk: it ends at the chain's end,
// a loop, a cluster outside the volume, its limit, or a cluster an earlier walk met.
TEST(FatTable, ChainsEndOnLoopsLimitsAndClustersMetBefore) {
    MemoryReadSeek medium(fatBytes());
    readWriteInterface source{SourceVolume(medium)};
    FatTable fat;
    fat.configure(&source, 0, 32, 16, 16, false);
    using Chain = std::vector<std::uint32_t>;
    EXPECT_EQ(fat.chain(2, 100), (Chain{2, 3, 4}));
    EXPECT_EQ(fat.chain(5, 100), (Chain{5, 6}));
    EXPECT_EQ(fat.chain(7, 100), (Chain{7}));
    EXPECT_EQ(fat.chain(2, 2), (Chain{2, 3}));
    EXPECT_EQ(fat.chain(1, 100), Chain{});
    EXPECT_EQ(fat.chain(13, 100, true), (Chain{13, 14, 15}));

    std::unordered_set<std::uint32_t> visited{4};
    EXPECT_EQ(fat.chain(2, 100, false, &visited), (Chain{2, 3}));
    EXPECT_EQ(fat.chain(3, 100, false, &visited), Chain{});
    EXPECT_EQ(visited, (std::unordered_set<std::uint32_t>{2, 3, 4}));
}
