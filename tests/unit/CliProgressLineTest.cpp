// The command line's self-updating terminal line: what it shows for a state, and that it never
// grows past the terminal's width (a wrapped line cannot be redrawn in place).
#include <gtest/gtest.h>

#include <string>

#include "CliTerminal.h"

TEST(CliProgressLine, ShowsPercentRateTimeLeftAndFiles) {
    constexpr std::int64_t MiB = 1 << 20;
    struct Case {
        double fraction, seconds;
        double bytesPerSecond;
        std::int64_t found;
        std::string status;
        std::string expected;
    };
    const Case cases[] = {
        {0.5, 10, 5 * MiB, 7, "Processing.....", " 50.0%  5.0 MB/s  0:10 left  7 files found  Processing....."},
        // No rate: none shown; under a second: no guess at the time left; no counter: no files.
        {0.25, 0.5, -1, -1, "", " 25.0%"},
        {1.0, 4, 256 * MiB, 1, "", "100.0%  256.0 MB/s  1 file found"},
        {1.7, 4, -1, 0, "", "100.0%  0 files found"},
        {0.01, 100, -1, -1, "", "  1.0%  2:45:00 left"},
        {0.0, 30, 0, 0, "Scanning", "  0.0%  0.0 MB/s  0 files found  Scanning"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StderrProgress::lineText(c.fraction, c.seconds, c.bytesPerSecond, c.found, c.status, 80), c.expected)
            << c.fraction << " at " << c.seconds << " s";
}

TEST(CliProgressLine, StaysInsideTheTerminalWidth) {
    const std::string status(200, 'x');
    for (const int width : {20, 30, 80, 132}) {
        const std::string line = StderrProgress::lineText(0.5, 10, 1 << 30, 12345, status, width);
        EXPECT_EQ(line.size(), static_cast<std::size_t>(width - 1)) << width;
        EXPECT_EQ(line.rfind(" 50.0%", 0), 0u);
    }
}
