#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "common/ListTextFormat.h"
#include "common/TextFormat.h"

TEST(ListTextFormat, HoursUpToTwelveAreAmAsTheyAreLaterOnesArePmLessTwelve) {
    EXPECT_EQ(formatListTime(3, 7, 2021, 12, 30), "03/07/2021  12:30 AM");
    EXPECT_EQ(formatListTime(3, 7, 2021, 13, 5), "03/07/2021  01:05 PM");
    EXPECT_EQ(formatListTime(3, 7, 2021, 0, 10), "03/07/2021  00:10 AM");
    EXPECT_EQ(formatListTime(12, 31, 1999, 23, 59), "12/31/1999  11:59 PM");
}

TEST(ListTextFormat, DigitByDigitTextsEqualThePrintfForm) {
    // The general rule spelled out with printf, against the fast path and its edges.
    const auto printfForm = [](int month, int day, int year, int hour, int minute) {
        return hour <= 12 ? formatText("%02d/%02d/%d  %02d:%02d AM", month, day, year, hour, minute)
                          : formatText("%02d/%02d/%d  %02d:%02d PM", month, day, year, hour - 12, minute);
    };
    for (int year : {999, 1000, 1601, 1970, 2038, 9999, 10000, -1})
        for (int month : {0, 1, 9, 10, 12, 100})
            for (int hour : {-1, 0, 9, 12, 13, 23, 111, 112, 113})
                for (int minute : {0, 7, 59})
                    EXPECT_EQ(formatListTime(month, 31, year, hour, minute), printfForm(month, 31, year, hour, minute))
                        << year << " " << month << " " << hour << " " << minute;
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

TEST(ListTextFormat, EntryTimesForTheListAndForMachines) {
    const char* saved = std::getenv("TZ");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("TZ", "CET-1", 1);
    tzset();
    // 2021-01-01 12:30:45 UTC: an instant is shown in local time, a FAT wall clock as stored;
    // machine output is UTC with seconds either way.
    const std::int64_t seconds = 1609504245;
    EXPECT_EQ(formatListTime(EntryTime::instant(seconds)), "01/01/2021  01:30 PM");
    EXPECT_EQ(formatListTime(EntryTime::wallClock(seconds)), "01/01/2021  12:30 AM");
    EXPECT_EQ(formatListTime(EntryTime::wallDate(seconds)), "01/01/2021");
    EXPECT_EQ(formatListTime(EntryTime{}), "");
    for (const EntryTime time : {EntryTime::instant(seconds), EntryTime::wallClock(seconds)})
        EXPECT_EQ(isoUtcTime(time), "2021-01-01T12:30:45Z");
    EXPECT_EQ(isoUtcTime(EntryTime{}), "");
    EXPECT_EQ(isoUtcTime(EntryTime::instant(-11644473600)), "1601-01-01T00:00:00Z");  // NTFS file time 0
    // Worked out without gmtime: the same fields as gmtime over leap days, century years, times
    // before 1970 and the ends of the four-digit years.
    const auto gmtimeText = [](std::int64_t s) {
        std::tm fields{};
        const std::time_t time = s;
        if (gmtime_r(&time, &fields) == nullptr)
            return std::string("<gmtime failed>");
        return formatText("%04d-%02d-%02dT%02d:%02d:%02dZ", fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday,
                          fields.tm_hour, fields.tm_min, fields.tm_sec);
    };
    std::vector<std::int64_t> samples{0, -1, 951782400, 951868799, 4107542400, 4102444799, 253402300799,
                                      -62167219200, -62135596801, 1709164800, 2147483647, 4294967295};
    for (std::int64_t t = -3000000000; t < 5000000000; t += 7777777)
        samples.insert(samples.end(), {t, t + 86399});
    for (const std::int64_t s : samples)
        ASSERT_EQ(isoUtcTime(EntryTime::instant(s)), gmtimeText(s)) << s;
    EXPECT_EQ(isoUtcTime(EntryTime::instant(253402300800)), "10000-01-01T00:00:00Z") << "five-digit years as before";
    if (saved != nullptr)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}
