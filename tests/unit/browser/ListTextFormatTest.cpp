#include <gtest/gtest.h>

#include <cstdlib>

#include "browser/ListTextFormat.h"

TEST(ListTextFormat, HoursUpToTwelveAreAmAsTheyAreLaterOnesArePmLessTwelve) {
    EXPECT_EQ(formatListTime(3, 7, 2021, 12, 30), "03/07/2021  12:30 AM");
    EXPECT_EQ(formatListTime(3, 7, 2021, 13, 5), "03/07/2021  01:05 PM");
    EXPECT_EQ(formatListTime(3, 7, 2021, 0, 10), "03/07/2021  00:10 AM");
    EXPECT_EQ(formatListTime(12, 31, 1999, 23, 59), "12/31/1999  11:59 PM");
}

TEST(ListTextFormat, UnixTimeIsShownInLocalTime) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(formatListTime(std::time_t{1609504200}), "01/01/2021  12:30 AM");  // 12:30 UTC
    EXPECT_EQ(formatListTime(std::time_t{1609506300}), "01/01/2021  01:05 PM");  // 13:05 UTC
    setenv("TZ", "CET-1", 1);  // POSIX rule: no zone database needed
    tzset();
    EXPECT_EQ(formatListTime(std::time_t{1609504200}), "01/01/2021  01:30 PM");  // 13:30 at UTC+1
    if (saved != nullptr)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(ListTextFormat, DatesWithoutTime) { EXPECT_EQ(formatListDate(2, 29, 2024), "02/29/2024"); }

TEST(ListTextFormat, SizesByPowersOf1024) {
    const struct {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 Bytes"},
        {1023, "1023 Bytes"},
        {1024, "1.00 KB"},
        {1536, "1.50 KB"},
        {1048575, "1024.00 KB"},
        {1048576, "1.00 MB"},
        {1073741824, "1.00 GB"},
        {5ULL << 40, "5120.00 GB"},
        {~0ULL, "17179869184.00 GB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatListSize(c.bytes), c.text) << c.bytes;
}
