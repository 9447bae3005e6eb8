// Metadata dates: EXIF texts that are dates and those that only look like one, and movie-header
// seconds since 1904 on this machine's clock.
#include <gtest/gtest.h>

#include <cstdlib>

#include "formats/WallClock.h"

using formats::WallClock;

TEST(WallClock, ExifTexts) {
    const struct {
        const char* text;
        std::optional<WallClock> clock;
    } cases[] = {
        {"2019:06:02 12:03:00", WallClock{2019, 6, 2, 12, 3, 0}},
        {"2020:02:29 23:59:58\0", WallClock{2020, 2, 29, 23, 59, 58}},
        {"2019-06-02T12:03:00", WallClock{2019, 6, 2, 12, 3, 0}},
        {"0000:00:00 00:00:00", std::nullopt},  // what cameras write when the clock was never set
        {"    :  :     :  :  ", std::nullopt},
        {"2019:02:29 12:00:00", std::nullopt},
        {"2019:06:02 24:00:00", std::nullopt},
        {"2019:06:02 12:03", std::nullopt},
        {"2019:06:02", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formats::parseExifTime(c.text), c.clock) << c.text;
    EXPECT_EQ(WallClock({2019, 6, 2, 12, 3, 0}).nameText(), "2019-06-02 12.03.00");
}

TEST(WallClock, MovieHeaderSecondsAndTheSavedTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(formats::wallClockFromMacTime(3614405405), (WallClock{2018, 7, 14, 9, 30, 5}));
    EXPECT_EQ(formats::wallClockFromMacTime(0), std::nullopt);           // not set
    EXPECT_EQ(formats::wallClockFromMacTime(2082844800), std::nullopt);  // 1970 exactly, what zeroed clocks give
    EXPECT_EQ(formats::wallClockFromMacTime(UINT64_MAX), std::nullopt);
    EXPECT_EQ(WallClock({2018, 7, 14, 9, 30, 5}).localTime(), std::optional<std::time_t>(1531560605));
}
