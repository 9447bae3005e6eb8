// A rescue map read back: what the map writer wrote comes back as it was; a text that is no map
// of this medium is refused with the line that shows it.
#include <gtest/gtest.h>

#include "disk/Mapfile.h"

TEST(Mapfile, WhatTheWriterWroteReadsBack) {
    BadRangeMap written;
    written.mark(0, 4096, RangeState::Read);
    written.mark(4096, 512, RangeState::Bad);
    written.mark(8192, 65536, RangeState::Skipped);
    written.mark(1 << 20, 1 << 20, RangeState::Read);
    BadRangeMap read;
    std::string error;
    ASSERT_TRUE(readMapfile(written.mapfileText(4 << 20, "test"), 4 << 20, read, error)) << error;
    EXPECT_EQ(read.ranges(), written.ranges());
    // Another tool's map: decimal numbers, a pass number, '/' for areas not yet split.
    ASSERT_TRUE(readMapfile("# by hand\n0  +  1\n0 1024 +\n1024 512 /\n1536 512 ?\n", 2048, read, error))
        << error;
    const std::vector<MediumRange> expected{{0, 1024, RangeState::Read}, {1024, 512, RangeState::Skipped}};
    EXPECT_EQ(read.ranges(), expected);
}

TEST(Mapfile, NoMapOfThisMediumIsRefusedWithItsLine) {
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"", "no status line"},
        {"hello\n", "line 1: not the status line"},
        {"0x0 +\n0x0 0x200 x\n", "line 2: not a block"},
        {"0x0 +\n0x0 0x200 +\n0x100 0x200 -\n", "line 3: the block overlaps"},
        {"0x0 +\n0x0 0x2000 +\n", "past the end of the medium (4096 bytes)"},
        {"0x0 +\n0x0 -5 +\n", "line 2: not a block"},
        {"0x0 +\n0x0 0x0 +\n", "line 2: not a block"},
    };
    for (const auto& c : cases) {
        BadRangeMap map;
        std::string error;
        EXPECT_FALSE(readMapfile(c.text, 4096, map, error)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << ": " << error;
    }
}
