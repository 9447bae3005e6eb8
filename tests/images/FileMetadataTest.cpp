// Names from the files' own metadata, over files written by exiftool and ffmpeg: photos (JPEG,
// TIFF, HEIC) by date taken and camera, movies by their creation time, songs by ID3v2 (2.3 in
// UTF-16, 2.4 in UTF-8), FLAC and Ogg comments; files with no usable metadata get no name.
#include <gtest/gtest.h>

#include <cstdlib>

#include "FormatSamples.h"
#include "ImageFixture.h"
#include "formats/FileMetadata.h"

using formats::WallClock;

namespace {
formats::FileMetadata metadataOf(std::string_view type, const SampleBytes& bytes) {
    formats::SpanByteSource source(bytes);
    formats::CandidateReader reader(source, bytes.size());
    return formats::readFileMetadata(type, reader);
}
}  // namespace

TEST(FileMetadata, NamesAndDatesFromRealFiles) {
    const BuiltImage built = buildImage("metadata-samples.sh");
    if (!built.ok)
        GTEST_SKIP() << built.reason;
    const std::filesystem::path dir = built.path;
    setenv("TZ", "UTC", 1);  // movie headers hold UTC; the name shows this machine's clock
    tzset();
    struct Case {
        const char* file;
        const char* type;
        const char* title;
        std::optional<WallClock> when;
        const char* whenCut = "";  ///< also right for a cut file: the fallback date of an unreadable EXIF IFD
    };
    const Case cases[] = {
        {"canon.jpg", "jpg", "2019-06-02 12.03.00 Canon EOS 80D", WallClock{2019, 6, 2, 12, 3, 0},
         "2020-01-01 00.00.00 Canon EOS 80D"},
        {"nikon.jpg", "jpg", "2020-02-29 23.59.58 NIKON D750", WallClock{2020, 2, 29, 23, 59, 58}},
        {"sony.tif", "arw", "2021-12-31 08.15.30 SONY ILCE-7M3", WallClock{2021, 12, 31, 8, 15, 30}},
        {"phone.heic", "heic", "2023-04-05 06.07.08 Apple iPhone 12", WallClock{2023, 4, 5, 6, 7, 8}},
        {"undated.jpg", "jpg", "", std::nullopt},  // a camera but no date: not enough to tell photos apart
        {"bare.jpg", "jpg", "", std::nullopt},
        {"dated.mp4", "mp4", "2018-07-14 09.30.05", WallClock{2018, 7, 14, 9, 30, 5}},
        {"dated-faststart.mp4", "mp4", "2018-07-14 09.30.05", WallClock{2018, 7, 14, 9, 30, 5}},
        {"dated.mov", "mov", "2017-03-01 18.00.00", WallClock{2017, 3, 1, 18, 0, 0}},
        {"v24.mp3", "mp3", "Sigur Rós - Starálfur", std::nullopt},
        {"v23.mp3", "mp3", "Sigur Rós - Starálfur", std::nullopt},
        {"title-only.mp3", "mp3", "Only A Title", std::nullopt},
        {"tagged.flac", "flac", "Björk - Jóga", std::nullopt},
        {"tagged.ogg", "ogg", "Björk - Jóga", std::nullopt},
        {"tagged.opus", "ogg", "Björk - Jóga", std::nullopt},
        {"canon.jpg", "png", "", std::nullopt},  // a type with no metadata read
    };
    for (const Case& c : cases) {
        const SampleBytes file = readSample(dir / c.file);
        ASSERT_FALSE(file.empty()) << c.file;
        const formats::FileMetadata m = metadataOf(c.type, file);
        EXPECT_EQ(m.title, c.title) << c.file;
        EXPECT_EQ(m.when, c.when) << c.file;
        // Cut anywhere, a file names itself as whole, by what is left, or not at all.
        for (std::size_t at = 0; at < file.size(); at += 7) {
            const std::string title = metadataOf(c.type, cut(file, at)).title;
            if (!title.empty() && title != c.title && title != c.whenCut)
                ADD_FAILURE() << c.file << " cut at " << at << " named " << title;
        }
    }
}
