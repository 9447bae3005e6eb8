// Allocation maps and the span arithmetic of a free-space carve: bitmaps of either bit order
// become byte spans, cut to the volume; free space is what no span covers, less what listed
// files hold.
#include <gtest/gtest.h>

#include <vector>

#include "fs/AllocationMap.h"

namespace {
using Spans = std::vector<VolumeSpan>;
}

TEST(VolumeSpans, NormalisedSubtractedAndWidened) {
    EXPECT_EQ(normalSpans({{50, 10}, {0, 10}, {10, 5}, {55, 20}, {30, 0}}), (Spans{{0, 15}, {50, 25}}));
    EXPECT_EQ(normalSpans({{UINT64_MAX - 4, 100}}), (Spans{{UINT64_MAX - 4, 4}}));  // cut at 2^64, not wrapped
    EXPECT_EQ(spansOutside({{0, 15}, {50, 25}}, 100), (Spans{{15, 35}, {75, 25}}));
    EXPECT_EQ(spansOutside({}, 100), (Spans{{0, 100}}));
    EXPECT_EQ(spansOutside({{0, 200}}, 100), Spans{});
    EXPECT_EQ(spansMinus({{0, 100}, {200, 100}}, {{10, 10}, {90, 120}, {250, 10}}),
              (Spans{{0, 10}, {20, 70}, {210, 40}, {260, 40}}));
    EXPECT_EQ(spansOnUnits({{700, 100}, {1100, 10}, {4096, 1}}, 512), (Spans{{512, 1024}, {4096, 512}}));
    EXPECT_EQ(spansBytes({{0, 15}, {50, 25}}), 40u);
}

TEST(AllocationMap, BitmapsOfEitherBitOrderBecomeSpans) {
    constexpr std::uint64_t kVolume = 1 << 20;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bits;
        std::uint64_t firstUnit, count, offset, unit;
        bool msbFirst;
        Spans allocated;
    };
    const std::vector<Case> cases = {
        {"low bit first", {0b0000'0110, 0xFF, 0x00, 0x80}, 0, 32, 1000, 10, false, {{1010, 20}, {1080, 80}, {1310, 10}}},
        {"high bit first", {0b0110'0000, 0x01}, 0, 16, 0, 4096, true, {{4096, 8192}, {15 * 4096, 4096}}},
        {"from a later bit", {0xF0, 0x0F}, 4, 8, 0, 1, false, {{0, 8}}},
        {"a map shorter than the count leaves the rest free", {0xFF}, 0, 100, 0, 1, false, {{0, 8}}},
        {"all free", {0, 0, 0}, 0, 24, 0, 512, false, {}},
        {"a count beyond the volume is cut to it", {0xFF, 0xFF}, 0, 16, kVolume - 1000, 100, false, {{kVolume - 1000, 1000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AllocationBuilder builder(kVolume);
        builder.addBitmap(ByteView(c.bits.data(), c.bits.size()), c.firstUnit, c.count, c.offset, c.unit, c.msbFirst);
        const AllocationMap map = builder.finish();
        EXPECT_TRUE(map.known());
        EXPECT_EQ(map.allocated, c.allocated);
    }
}

TEST(AllocationMap, AnUnreadableMapLeavesTheWholeVolumeFree) {
    AllocationBuilder builder(1000);
    builder.addSpan(0, 100);
    builder.addSpan(900, 500);  // past the volume: cut
    const AllocationMap map = builder.finish();
    EXPECT_EQ(map.allocated, (Spans{{0, 100}, {900, 100}}));
    EXPECT_EQ(map.freeSpans(1000), (Spans{{100, 800}}));
    const AllocationMap lost = AllocationMap::notRead("the FAT could not be read");
    EXPECT_FALSE(lost.known());
    EXPECT_EQ(lost.freeSpans(1000), (Spans{{0, 1000}}));
}
