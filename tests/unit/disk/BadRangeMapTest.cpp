// The map of what a run learnt of the medium: marks replace what they cover and join neighbours
// of their state; the mapfile covers the whole medium, unread bytes as '?'.
#include <gtest/gtest.h>

#include <sstream>

#include "disk/BadRangeMap.h"

namespace {
struct Mark {
    std::int64_t offset;
    std::int64_t length;
    RangeState state;
};

/// The map's blocks as "pos size status" text lines, read back from its mapfile.
std::vector<std::string> blocks(const BadRangeMap& map, std::int64_t size) {
    std::istringstream text(map.mapfileText(size, "test"));
    std::vector<std::string> lines;
    std::string line;
    int nonComment = 0;
    while (std::getline(text, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (nonComment++ == 0)
            continue;  // the current position line
        std::istringstream fields(line);
        std::string pos, length, status;
        fields >> pos >> length >> status;
        lines.push_back(pos + " " + length + " " + status);
    }
    return lines;
}
}  // namespace

TEST(BadRangeMap, MarksReplaceAndJoin) {
    constexpr auto R = RangeState::Read;
    constexpr auto B = RangeState::Bad;
    constexpr auto S = RangeState::Skipped;
    struct Case {
        const char* name;
        std::vector<Mark> marks;
        std::vector<std::string> expected;  // mapfile blocks over 0x10000 bytes
        std::int64_t unreadable;
    };
    const std::vector<Case> cases = {
        {"nothing read", {}, {"0x00000000 0x00010000 ?"}, 0},
        {"sequential reads join",
         {{0, 0x1000, R}, {0x1000, 0x1000, R}},
         {"0x00000000 0x00002000 +", "0x00002000 0x0000E000 ?"},
         0},
        {"a bad sector inside a read",
         {{0, 0x4000, R}, {0x1000, 0x200, B}},
         {"0x00000000 0x00001000 +", "0x00001000 0x00000200 -", "0x00001200 0x00002E00 +", "0x00004000 0x0000C000 ?"},
         0x200},
        {"skipped, then read sector by sector",
         {{0, 0x10000, S}, {0, 0x8000, R}, {0x8000, 0x200, B}, {0x8200, 0x7E00, R}},
         {"0x00000000 0x00008000 +", "0x00008000 0x00000200 -", "0x00008200 0x00007E00 +"},
         0x200},
        {"bad sectors join",
         {{0x200, 0x200, B}, {0x600, 0x200, B}, {0x400, 0x200, B}},
         {"0x00000000 0x00000200 ?", "0x00000200 0x00000600 -", "0x00000800 0x0000F800 ?"},
         0x600},
        {"a range past the medium's end is cut", {{0xF000, 0x2000, R}}, {"0x00000000 0x0000F000 ?", "0x0000F000 0x00001000 +"}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BadRangeMap map;
        for (const Mark& m : c.marks)
            map.mark(m.offset, m.length, m.state);
        EXPECT_EQ(blocks(map, 0x10000), c.expected);
        EXPECT_EQ(map.unreadableBytes(), c.unreadable);
    }
}

TEST(BadRangeMap, MapfileHasTheStatusLineAndHeader) {
    BadRangeMap map;
    map.mark(0, 0x400, RangeState::Read);
    map.mark(0x400, 0x200, RangeState::Bad);
    const std::string text = map.mapfileText(0x600, "pictorva-cli carve x");
    EXPECT_EQ(text.rfind("# Mapfile.", 0), 0u);
    EXPECT_NE(text.find("# Command line: pictorva-cli carve x\n"), std::string::npos);
    EXPECT_NE(text.find("# current_pos  current_status  current_pass\n0x00000000     +               1\n"), std::string::npos);
    EXPECT_NE(text.find("0x00000400  0x00000200  -\n"), std::string::npos);
}

TEST(BadRangeMap, SummaryCountsBytesAndRangesOrSaysNothing) {
    BadRangeMap map;
    map.mark(0, 0x1000, RangeState::Read);
    EXPECT_EQ(map.unreadableSummary(), "");
    map.mark(0x200, 0x200, RangeState::Bad);
    EXPECT_EQ(map.unreadableSummary(), "512 bytes could not be read (1 range); they were taken as zeros");
    map.mark(0x800, 0x400, RangeState::Skipped);
    EXPECT_EQ(map.unreadableSummary(), "1536 bytes could not be read (2 ranges); they were taken as zeros");
}
