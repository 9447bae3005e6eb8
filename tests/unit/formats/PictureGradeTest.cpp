// The picture grade on pictures encoded here with libjpeg and libpng, then cut, overwritten or
// given a header that claims more than the bytes hold.

#include <gtest/gtest.h>

#include <cstdio>

#include <chrono>
#include <random>
#include <vector>

#include "formats/PictureGrade.h"
#include "formats/TestPictures.h"

namespace {

using formats::Health;
using test_pictures::Bytes;
using test_pictures::encodeJpeg;
using test_pictures::encodePng;
using test_pictures::kHeight;

formats::PictureGrade grade(const Bytes& bytes) {
    formats::SpanByteSource source(bytes);
    return formats::gradePicture(source, bytes.size());
}

/// The bytes with everything from at on replaced: cut off, or overwritten by other data.
enum class Harm { None, CutAt, RandomFrom, ZerosFrom };
Bytes harmed(Bytes bytes, Harm harm, double at) {
    const auto from = static_cast<std::size_t>(static_cast<double>(bytes.size()) * at);
    std::mt19937 random(11);
    switch (harm) {
    case Harm::None:
        break;
    case Harm::CutAt:
        bytes.resize(from);
        break;
    case Harm::RandomFrom:
        for (std::size_t i = from; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(random());
        break;
    case Harm::ZerosFrom:
        std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(), 0);
        break;
    }
    return bytes;
}

struct Case {
    const char* name;
    Bytes (*encode)(bool);
    bool variant;  ///< progressive JPEG, interlaced PNG
    Harm harm;
    double at;
    Health expected;
    /// Damaged: the decoded rows lie in [lo, hi] as a share of all rows.
    double lo = 0, hi = 0;
};

TEST(PictureGrade, DecodedPicturesByHowMuchOfTheirDataSurvives) {
    const Case cases[] = {
        {"baseline whole", encodeJpeg, false, Harm::None, 0, Health::Whole},
        {"progressive whole", encodeJpeg, true, Harm::None, 0, Health::Whole},
        {"baseline cut at 60%", encodeJpeg, false, Harm::CutAt, 0.6, Health::Damaged, 0.45, 0.65},
        {"baseline random from 50%", encodeJpeg, false, Harm::RandomFrom, 0.5, Health::Damaged, 0.35, 0.55},
        {"baseline without its last two bytes (EOI)", encodeJpeg, false, Harm::CutAt, 0.99999, Health::Damaged, 0.85, 1},
        {"progressive cut at 30%", encodeJpeg, true, Harm::CutAt, 0.3, Health::Damaged, 0, 1},
        {"baseline header only", encodeJpeg, false, Harm::CutAt, 0.002, Health::Unreadable},
        {"png whole", encodePng, false, Harm::None, 0, Health::Whole},
        {"interlaced png whole", encodePng, true, Harm::None, 0, Health::Whole},
        {"png cut at 70%", encodePng, false, Harm::CutAt, 0.7, Health::Damaged, 0.6, 0.72},
        {"png random from 40%", encodePng, false, Harm::RandomFrom, 0.4, Health::Damaged, 0.25, 0.42},
        // Zeros can inflate as literals for a while before the stream breaks.
        {"png zeros from 40%", encodePng, false, Harm::ZerosFrom, 0.4, Health::Damaged, 0.25, 0.5},
        {"png signature only", encodePng, false, Harm::CutAt, 0.0005, Health::Unreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = harmed(c.encode(c.variant), c.harm, c.at);
        const formats::PictureGrade g = grade(bytes);
        EXPECT_EQ(g.health, c.expected) << formats::healthText(g.health) << " " << g.decodedRows << "/" << g.rows;
        EXPECT_TRUE(g.decoded);
        if (c.expected == Health::Whole) {
            EXPECT_EQ(g.rows, kHeight);
            EXPECT_EQ(g.decodedRows, kHeight);
        }
        if (c.expected == Health::Damaged) {
            EXPECT_EQ(g.rows, kHeight);
            EXPECT_GE(g.decodedRows, c.lo * kHeight);
            EXPECT_LE(g.decodedRows, c.hi * kHeight);
        }
    }
}

/// The offset of a JPEG's SOF marker, or of a PNG's IHDR body.
std::size_t findBytes(const Bytes& bytes, std::initializer_list<std::uint8_t> pattern) {
    return static_cast<std::size_t>(std::search(bytes.begin(), bytes.end(), pattern.begin(), pattern.end()) - bytes.begin());
}

std::uint32_t crc32(const std::uint8_t* p, std::size_t n) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

/// The JPEG with its SOF claiming 65000 x 65000 (libjpeg's limit is 65500).
Bytes hugeJpeg(bool progressive) {
    Bytes bytes = encodeJpeg(progressive);
    const std::size_t sof = findBytes(bytes, {0xFF, std::uint8_t(progressive ? 0xC2 : 0xC0)});
    bytes.at(sof + 5) = bytes.at(sof + 7) = 0xFD;
    bytes.at(sof + 6) = bytes.at(sof + 8) = 0xE8;
    return bytes;
}

/// The PNG with its IHDR claiming 65535 x 65535, its CRC made right again.
Bytes hugePng() {
    Bytes bytes = encodePng(false);
    const std::size_t type = findBytes(bytes, {'I', 'H', 'D', 'R'});
    for (std::size_t i = 4; i < 12; ++i)
        bytes.at(type + i) = i % 4 < 2 ? 0 : 0xFF;
    const std::uint32_t crc = crc32(bytes.data() + type, 4 + 13);
    for (int i = 0; i < 4; ++i)
        bytes.at(type + 17 + i) = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    return bytes;
}

TEST(PictureGrade, HeadersClaimingHugePicturesCostNeitherMemoryNorTime) {
    // The baseline decode runs out of data within the first row of blocks; the progressive one would need its
    // coefficients in gigabytes and the PNG is past the pixel cap, so their structure grades them.
    struct Huge {
        const char* name;
        Bytes bytes;
        bool decoded;
    };
    const Huge cases[] = {
        {"baseline", hugeJpeg(false), true},
        {"progressive", hugeJpeg(true), false},
        {"png", hugePng(), false},
    };
    for (const Huge& c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = std::chrono::steady_clock::now();
        const formats::PictureGrade g = grade(c.bytes);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(g.decoded, c.decoded);
        if (c.decoded) {
            EXPECT_EQ(g.health, Health::Unreadable);
            EXPECT_EQ(g.rows, 65000u);
        }
    }
}

TEST(PictureGrade, NamesThatArePictures) {
    EXPECT_TRUE(formats::isPictureName("IMG_0001.JPG"));
    EXPECT_TRUE(formats::isPictureName("1048576 .cr2"));
    EXPECT_TRUE(formats::isPictureName("scan.Png"));
    EXPECT_FALSE(formats::isPictureName("song.mp3"));
    EXPECT_FALSE(formats::isPictureName("jpg"));
    EXPECT_FALSE(formats::isPictureName("notes.txt"));
}

}  // namespace
