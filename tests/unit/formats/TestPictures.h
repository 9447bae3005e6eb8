#pragma once
// Pictures encoded here with libjpeg and libpng, of noise (which compresses evenly, so the share
// of the data that survives a cut is the share of rows): fixtures for grading and carving tests.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace test_pictures {

using Bytes = std::vector<std::uint8_t>;
inline constexpr unsigned kWidth = 192;
inline constexpr unsigned kHeight = 160;

/// Noise compresses evenly, so the share of the data that survives is the share of rows.
inline Bytes noisePixels(unsigned channels, unsigned seed = 7, unsigned width = kWidth, unsigned height = kHeight) {
    std::mt19937 random(seed);
    Bytes pixels(std::size_t{width} * height * channels);
    for (auto& p : pixels)
        p = static_cast<std::uint8_t>(random());
    return pixels;
}

/// A JPEG of noise as a camera writes one: the standard Huffman tables (so that one photo's coded
/// data reads as another's), with a restart marker every restartRows rows of blocks when asked.
struct JpegShape {
    bool progressive = false;
    unsigned restartRows = 0;
    unsigned seed = 7;
    unsigned width = kWidth, height = kHeight;
};

inline Bytes encodeJpeg(const JpegShape& shape) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = shape.width;
    c.image_height = shape.height;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    c.restart_in_rows = static_cast<int>(shape.restartRows);
    if (shape.progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    Bytes pixels = noisePixels(3, shape.seed, shape.width, shape.height);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = pixels.data() + std::size_t{c.next_scanline} * shape.width * 3;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes bytes(out, out + outSize);
    jpeg_destroy_compress(&c);
    std::free(out);
    return bytes;
}

inline Bytes encodeJpeg(bool progressive) { return encodeJpeg(JpegShape{.progressive = progressive}); }

inline void appendPng(png_structp png, png_bytep data, png_size_t n) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

inline Bytes encodePng(bool interlaced) {
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

}  // namespace test_pictures
