// A Fujifilm RAF is named by the EXIF of the JPEG preview its header points to; a pointer that
// leaves the file, or lands on anything but a JPEG, names nothing.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/FileMetadata.h"

namespace {
using Bytes = std::vector<std::uint8_t>;

void putBe(Bytes& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * (bytes - 1 - i)));
}

/// A JPEG holding only an APP1 EXIF with IFD0 Make, Model and DateTime (big-endian TIFF).
Bytes exifJpeg() {
    const std::string make = "FUJIFILM", model = "X-T3", date = "2022:05:17 10:20:30";
    Bytes tiff(8 + 2 + 3 * 12 + 4, 0);
    tiff[0] = 'M', tiff[1] = 'M';
    putBe(tiff, 2, 42, 2);
    putBe(tiff, 4, 8, 4);
    putBe(tiff, 8, 3, 2);
    const struct {
        std::uint16_t tag;
        const std::string& text;
    } entries[] = {{0x010F, make}, {0x0110, model}, {0x0132, date}};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t e = 10 + 12 * i;
        putBe(tiff, e, entries[i].tag, 2);
        putBe(tiff, e + 2, 2, 2);  // ASCII
        putBe(tiff, e + 4, static_cast<std::uint32_t>(entries[i].text.size() + 1), 4);
        putBe(tiff, e + 8, static_cast<std::uint32_t>(tiff.size()), 4);
        tiff.insert(tiff.end(), entries[i].text.begin(), entries[i].text.end());
        tiff.push_back(0);
    }
    Bytes app1 = {'E', 'x', 'i', 'f', 0, 0};
    app1.insert(app1.end(), tiff.begin(), tiff.end());
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE1, 0, 0};
    putBe(jpeg, 4, static_cast<std::uint32_t>(app1.size() + 2), 2);
    jpeg.insert(jpeg.end(), app1.begin(), app1.end());
    const Bytes rest = {0xFF, 0xDA, 0, 2, 0x11, 0xFF, 0xD9};
    jpeg.insert(jpeg.end(), rest.begin(), rest.end());
    return jpeg;
}

/// A RAF header whose preview pointer says (offset, length), the preview at 160, raw data after.
Bytes raf(std::int64_t offsetShift = 0, std::int64_t lengthShift = 0) {
    const std::string magic = "FUJIFILMCCD-RAW 0201FF383501X-T3";
    Bytes file(160, 0);
    std::copy(magic.begin(), magic.end(), file.begin());
    const Bytes jpeg = exifJpeg();
    putBe(file, 84, static_cast<std::uint32_t>(160 + offsetShift), 4);
    putBe(file, 88, static_cast<std::uint32_t>(static_cast<std::int64_t>(jpeg.size()) + lengthShift), 4);
    file.insert(file.end(), jpeg.begin(), jpeg.end());
    file.insert(file.end(), 64, 0x55);
    return file;
}

std::string nameOf(const Bytes& bytes, std::string_view type = "raf") {
    formats::SpanByteSource source(bytes);
    formats::CandidateReader reader(source, bytes.size());
    return formats::readFileMetadata(type, reader).title;
}
}  // namespace

TEST(RafExif, NamedByThePreviewsExif) {
    const Bytes whole = raf();
    EXPECT_EQ(nameOf(whole), "2022-05-17 10.20.30 FUJIFILM X-T3");
    EXPECT_EQ(nameOf(whole, "jpg"), "");  // the RAF itself is no JPEG
    const struct {
        Bytes file;
        const char* why;
    } broken[] = {
        {raf(1), "the pointer misses the preview's first byte"},
        {raf(100000), "the pointer leaves the file"},
        {raf(0, 100000), "the preview runs past the file"},
        {Bytes(whole.begin(), whole.begin() + 88), "a header cut before the pointer"},
        {Bytes(whole.begin() + 1, whole.end()), "no RAF magic"},
    };
    for (const auto& c : broken)
        EXPECT_EQ(nameOf(c.file), "") << c.why;
}
