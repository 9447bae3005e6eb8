// Reads of a failing medium: failed pieces are narrowed down to sectors, what stays unreadable
// is served as zeros and mapped, known bad sectors are not asked for again, long bad regions are
// skipped and come back at the end, and a shrinking medium is told apart from its end.
#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

#include "FaultySource.h"
#include "disk/readWriteInterface.h"

namespace {
std::vector<unsigned char> pattern(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 251 + 1);  // never 0, so zeros show
    return bytes;
}

std::vector<MediumRange> bad(std::initializer_list<std::pair<std::int64_t, std::int64_t>> ranges) {
    std::vector<MediumRange> out;
    for (const auto& [offset, length] : ranges)
        out.push_back({offset, length, RangeState::Bad});
    return out;
}

/// Reads the whole medium in pieces of piece bytes, as a scan does.
std::vector<unsigned char> readAll(FaultySource& source, std::uint32_t piece) {
    std::vector<unsigned char> all(static_cast<std::size_t>(source.byteSize()));
    for (std::size_t at = 0; at < all.size(); at += piece) {
        const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(piece, all.size() - at));
        EXPECT_EQ(source.readAt(static_cast<std::int64_t>(at), {all.data() + at, n}).count, n) << at;
    }
    return all;
}

/// Every byte is the medium's, except the sectors of expected, which are zeros.
void expectServed(const std::vector<unsigned char>& served, const std::vector<unsigned char>& medium,
                  const std::vector<MediumRange>& expected) {
    ASSERT_EQ(served.size(), medium.size());
    for (std::size_t i = 0; i < served.size(); ++i) {
        const bool inBad = std::any_of(expected.begin(), expected.end(), [&](const MediumRange& r) {
            return static_cast<std::int64_t>(i) >= r.offset && static_cast<std::int64_t>(i) < r.end();
        });
        ASSERT_EQ(served[i], inBad ? 0 : medium[i]) << "byte " << i;
    }
}
}  // namespace

TEST(FailingRead, FailedSectorsAreZerosInTheMapAndTheRestIsExact) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::int64_t, std::int64_t>> faults;  // injected, any alignment
        std::vector<MediumRange> mapped;                            // whole sectors
        std::uint32_t piece;
    };
    const std::vector<Case> cases = {
        {"one sector", {{4096, 512}}, bad({{4096, 512}}), 65536},
        {"4 KiB inside a big read", {{200704, 4096}}, bad({{200704, 4096}}), 1048576},
        {"a byte rounds to its sector", {{1000, 1}}, bad({{512, 512}}), 4096},
        {"straddling two sectors", {{1500, 100}}, bad({{1024, 1024}}), 4096},
        {"two ranges, reads across sectors", {{0, 512}, {69632, 3584}}, bad({{0, 512}, {69632, 3584}}), 1000},
        {"at the last sector", {{524288 - 512, 512}}, bad({{524288 - 512, 512}}), 65536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<unsigned char> medium = pattern(1048576);
        FaultySource source(medium);
        source.open("");
        for (const auto& [offset, length] : c.faults)
            source.failRange(offset, length);
        const std::vector<unsigned char> served = readAll(source, c.piece);
        expectServed(served, medium, c.mapped);
        EXPECT_EQ(source.rangeMap().unreadable(), c.mapped);
        std::int64_t badBytes = 0;
        for (const MediumRange& r : c.mapped)
            badBytes += r.length;
        EXPECT_EQ(source.rangeMap().unreadableBytes(), badBytes);
        EXPECT_EQ(source.zeroFilledBytes(), badBytes);
    }
}

TEST(FailingRead, KnownBadSectorsAreNotAskedForAgain) {
    FaultySource source(pattern(65536));
    source.open("");
    source.failRange(8192, 1024);
    std::vector<unsigned char> buffer(65536);
    ASSERT_EQ(source.readAt(0, buffer).count, 65536u);
    const std::size_t firstPass = source.failedRequestsWithin(8192, 1024);
    EXPECT_GT(firstPass, 0u);
    for (int again = 0; again < 3; ++again)
        ASSERT_EQ(source.readAt(4096, {buffer.data(), 16384}).count, 16384u);
    EXPECT_EQ(source.failedRequestsWithin(8192, 1024), firstPass);
    // Served again as zeros each time: every copy that holds them is counted.
    EXPECT_EQ(source.zeroFilledBytes(), 4 * 1024);
    EXPECT_EQ(source.rangeMap().unreadable(), bad({{8192, 1024}}));
}

TEST(FailingRead, ALongBadRegionIsSkippedAndTriedAgainAtTheEnd) {
    const std::vector<unsigned char> medium = pattern(4 * 1048576);
    FaultySource source(medium);
    source.open("");
    source.failRange(1048576, 1048576);  // a whole MiB fails
    readAll(source, 1048576);
    // Far fewer requests than the region's 2048 sectors: after a run of bad sectors the rest of
    // the region is skipped.
    EXPECT_LT(source.failedRequestsWithin(1048576, 1048576), 100u);
    const auto skipped = source.rangeMap().skipped();
    ASSERT_FALSE(skipped.empty());
    EXPECT_EQ(source.rangeMap().unreadableBytes(), 1048576);
    // At the end the skipped sectors are read one by one: all bad, the map says so exactly.
    source.retrySkipped();
    EXPECT_TRUE(source.rangeMap().skipped().empty());
    EXPECT_EQ(source.rangeMap().unreadable(), bad({{1048576, 1048576}}));
}

TEST(FailingRead, ACopyNarrowsALongBadRegionDownToItsBadSectors) {
    // Copying out after the scan: a failing region of 128 sectors is not skipped ahead, so no
    // byte is left for a later retry to read behind a file already written with zeros.
    const std::vector<unsigned char> medium = pattern(4 * 1048576);
    FaultySource source(medium);
    source.open("");
    source.setSkipAhead(false);
    source.failRange(1048576 + 4096, 65536);
    source.failRange(2 * 1048576, 512);
    std::vector<unsigned char> copy(medium.size());
    ASSERT_EQ(source.readAt(0, copy).count, copy.size());
    EXPECT_TRUE(source.rangeMap().skipped().empty());
    EXPECT_EQ(source.rangeMap().unreadable(), bad({{1048576 + 4096, 65536}, {2 * 1048576, 512}}));
    EXPECT_EQ(source.zeroFilledBytes(), 65536 + 512);
    for (std::size_t i = 0; i < medium.size(); ++i) {
        const bool unreadable =
            (i >= 1048576 + 4096 && i < 1048576 + 4096 + 65536) || (i >= 2 * 1048576 && i < 2 * 1048576 + 512);
        if (copy[i] != (unreadable ? 0 : medium[i])) {
            ADD_FAILURE() << "byte " << i;
            break;
        }
    }
}

TEST(FailingRead, SkippedBytesThatReadLaterAreMappedAsRead) {
    FaultySource source(pattern(2 * 1048576));
    source.open("");
    source.setRetryTime(0);  // no time to narrow anything down: failed pieces are skipped whole
    source.failRange(300000, 10);
    std::vector<unsigned char> buffer(1048576);
    ASSERT_EQ(source.readAt(0, buffer).count, 1048576u);
    EXPECT_EQ(source.failedRequestsWithin(300000, 10), 1u);
    EXPECT_EQ(source.rangeMap().skipped(), (std::vector<MediumRange>{{0, 1048576, RangeState::Skipped}}));
    source.setRetryTime(60);
    source.heal();
    source.retrySkipped();
    EXPECT_TRUE(source.rangeMap().unreadable().empty());
    // Zeros served to nobody are not counted as served.
    EXPECT_EQ(source.zeroFilledBytes(), 1048576);
}

TEST(FailingRead, AMediumThatShrinksIsToldApartFromItsEnd) {
    FaultySource source(pattern(65536));
    source.open("");
    std::vector<unsigned char> buffer(4096);
    ASSERT_EQ(source.readAt(65536 - 4096, buffer).count, 4096u);
    const SourceRead atEnd = source.readAt(65536, buffer);
    EXPECT_EQ(atEnd.count, 0u);
    EXPECT_EQ(atEnd.error, kEndOfMedium);
    EXPECT_FALSE(source.mediumShrank());

    source.shrinkAt(16384);
    const SourceRead shrunk = source.readAt(32768, buffer);
    EXPECT_EQ(shrunk.count, 0u);
    EXPECT_EQ(shrunk.error, kEndOfMedium);
    EXPECT_TRUE(source.mediumShrank());
}

// Walks read the one medium at once, each through a cursor of its own on a volume of it: every
// walk gets the medium's bytes, zeros exactly where sectors fail, and the map comes out the same
// as after reading alone.
TEST(FailingRead, WalksReadingAtOnceGetExactBytesAndOneMap) {
    const std::vector<unsigned char> medium = pattern(4 * 1048576);
    FaultySource source(medium);
    source.open("");
    const std::vector<MediumRange> expected = bad({{4096, 512}, {1048576 + 1024, 2048}, {3 * 1048576 - 512, 1024}});
    for (const MediumRange& r : expected)
        source.failRange(r.offset, r.length);

    constexpr int kWalks = 4;
    const std::int64_t volumeStart = 1048576 / 2;
    std::vector<std::vector<unsigned char>> got(kWalks);
    std::vector<std::int64_t> zeros(kWalks);
    std::vector<std::thread> walks;
    for (int w = 0; w < kWalks; ++w) {
        walks.emplace_back([&, w] {
            // Odd walks read a volume from its middle, by seek and read in pieces of an odd size;
            // even ones the whole medium backwards, in pieces of another.
            readWriteInterface cursor(w % 2 ? SourceVolume(source, volumeStart) : SourceVolume(source));
            const auto size = static_cast<std::size_t>(cursor.volumeByteSize());
            std::vector<unsigned char>& bytes = got[static_cast<std::size_t>(w)];
            bytes.assign(size, 0xCC);
            const std::size_t piece = w % 2 ? 12345 : 65536 + 512 * static_cast<std::size_t>(w);
            for (std::size_t i = 0; i * piece < size; ++i) {
                const std::size_t at = w % 2 ? i * piece : (size - 1) / piece * piece - i * piece;
                const auto n = static_cast<std::uint32_t>(std::min(piece, size - at));
                EXPECT_TRUE(cursor.readAt(static_cast<std::int64_t>(at), bytes.data() + at, n));
            }
            zeros[static_cast<std::size_t>(w)] = cursor.zeroFilledBytes();
        });
    }
    for (std::thread& walk : walks)
        walk.join();

    std::int64_t badBytes = 0;
    for (const MediumRange& r : expected)
        badBytes += r.length;
    for (int w = 0; w < kWalks; ++w) {
        SCOPED_TRACE(w);
        const std::size_t first = w % 2 ? static_cast<std::size_t>(volumeStart) : 0;
        const std::vector<unsigned char> part(medium.begin() + static_cast<std::ptrdiff_t>(first), medium.end());
        std::vector<MediumRange> inPart;
        for (const MediumRange& r : expected)
            inPart.push_back({r.offset - static_cast<std::int64_t>(first), r.length, r.state});
        if (w % 2)
            inPart.erase(inPart.begin());  // the first bad sector lies before the volume
        expectServed(got[static_cast<std::size_t>(w)], part, inPart);
        EXPECT_EQ(zeros[static_cast<std::size_t>(w)], w % 2 ? badBytes - 512 : badBytes) << "each walk counts its own";
    }
    EXPECT_EQ(source.rangeMap().unreadable(), expected);
    EXPECT_TRUE(source.rangeMap().skipped().empty());
    EXPECT_EQ(source.zeroFilledBytes(), kWalks * badBytes - (kWalks / 2) * 512);
}
