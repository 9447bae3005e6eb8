// The EXIF reader over files exiftool wrote: date taken (DateTimeOriginal before DateTime), the
// camera, and the embedded thumbnail's bytes, in a JPEG's APP1 and a big-endian TIFF's IFDs; cut
// short or overwritten, what can no longer be read is left out, never read past.
#include <gtest/gtest.h>

#include <algorithm>

#include "FormatSamples.h"
#include "ImageFixture.h"
#include "formats/ExifReader.h"

using formats::ExifInfo;
using formats::WallClock;

namespace {
#define REQUIRE_METADATA_SAMPLES(dir)                            \
    const BuiltImage built = buildImage("metadata-samples.sh"); \
    if (!built.ok)                                               \
        GTEST_SKIP() << built.reason;                            \
    const std::filesystem::path dir = built.path

std::optional<ExifInfo> exifOf(const SampleBytes& bytes) { return formats::readExif(ByteView(bytes.data(), bytes.size())); }
}  // namespace

TEST(ExifReader, DateCameraAndThumbnailAsWritten) {
    REQUIRE_METADATA_SAMPLES(dir);
    const SampleBytes thumb = readSample(dir / "thumb.jpg");
    struct Case {
        const char* file;
        std::optional<WallClock> taken;
        const char* camera;
        bool thumbnail;
    };
    const Case cases[] = {
        {"canon.jpg", WallClock{2019, 6, 2, 12, 3, 0}, "Canon EOS 80D", true},  // DateTimeOriginal wins
        {"nikon.jpg", WallClock{2020, 2, 29, 23, 59, 58}, "NIKON D750", false},  // DateTime alone
        {"undated.jpg", std::nullopt, "SONY ILCE-7M3", false},
        {"sony.tif", WallClock{2021, 12, 31, 8, 15, 30}, "SONY ILCE-7M3", false},  // exiftool writes no TIFF thumbnail
    };
    for (const Case& c : cases) {
        const SampleBytes file = readSample(dir / c.file);
        const std::optional<ExifInfo> info = exifOf(file);
        ASSERT_TRUE(info) << c.file;
        EXPECT_EQ(info->taken, c.taken) << c.file;
        EXPECT_EQ(info->camera(), c.camera) << c.file;
        ASSERT_EQ(info->hasThumbnail(), c.thumbnail) << c.file;
        if (c.thumbnail) {
            ASSERT_LE(info->thumbnailOffset + info->thumbnailLength, file.size());
            const SampleBytes embedded(file.begin() + static_cast<long>(info->thumbnailOffset),
                                       file.begin() + static_cast<long>(info->thumbnailOffset + info->thumbnailLength));
            EXPECT_EQ(embedded, thumb) << c.file;
        }
    }
    EXPECT_FALSE(exifOf(readSample(dir / "bare.jpg"))) << "a JPEG without APP1";
}

TEST(ExifReader, CutOrOverwrittenFilesKeepOnlyWhatCanBeRead) {
    REQUIRE_METADATA_SAMPLES(dir);
    const SampleBytes file = readSample(dir / "canon.jpg");
    const ExifInfo whole = *exifOf(file);
    // Cut inside the thumbnail: the date and camera stand, the thumbnail is gone.
    const std::optional<ExifInfo> inThumbnail = exifOf(cut(file, whole.thumbnailOffset + whole.thumbnailLength / 2));
    ASSERT_TRUE(inThumbnail);
    EXPECT_EQ(inThumbnail->taken, whole.taken);
    EXPECT_FALSE(inThumbnail->hasThumbnail());
    // The thumbnail's first bytes overwritten: no JPEG there, none offered.
    SampleBytes overwritten = file;
    std::fill_n(overwritten.begin() + static_cast<long>(whole.thumbnailOffset), 16, 0);
    EXPECT_FALSE(exifOf(overwritten)->hasThumbnail());
    // Every cut and every byte flipped inside the APP1 segment: an answer, never a read past the bytes.
    for (std::size_t at = 0; at < whole.thumbnailOffset; ++at) {
        const std::optional<ExifInfo> partial = exifOf(cut(file, at));
        if (partial && partial->hasThumbnail())
            ADD_FAILURE() << "a thumbnail past a cut at " << at;
        SampleBytes flipped = file;
        flipped[at] ^= 0xFF;
        if (const std::optional<ExifInfo> info = exifOf(flipped); info && info->hasThumbnail()) {
            EXPECT_LE(info->thumbnailOffset + info->thumbnailLength, file.size());
        }
    }
}
