// The picture grade on pictures encoded here with libjpeg and libpng, then cut, overwritten or
// given a header that claims more than the bytes hold.

#include <gtest/gtest.h>

#include <cstdio>

#include <jpeglib.h>
#include <png.h>

#include <chrono>
#include <random>
#include <vector>

#include "formats/PictureGrade.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using formats::Health;

constexpr unsigned kWidth = 192;
constexpr unsigned kHeight = 160;

/// Noise compresses evenly, so the share of the data that survives is the share of rows.
Bytes noisePixels(unsigned channels) {
    std::mt19937 random(7);
    Bytes pixels(std::size_t{kWidth} * kHeight * channels);
    for (auto& p : pixels)
        p = static_cast<std::uint8_t>(random());
    return pixels;
}

Bytes encodeJpeg(bool progressive) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    if (progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    Bytes pixels = noisePixels(3);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = pixels.data() + std::size_t{c.next_scanline} * kWidth * 3;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes bytes(out, out + outSize);
    jpeg_destroy_compress(&c);
    std::free(out);
    return bytes;
}

void appendPng(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

Bytes encodePng(bool interlaced) {
    Bytes bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &bytes, appendPng, nullptr);
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    Bytes pixels = noisePixels(3);
    std::vector<png_bytep> rows(kHeight);
    for (unsigned y = 0; y < kHeight; ++y)
        rows[y] = pixels.data() + std::size_t{y} * kWidth * 3;
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

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
