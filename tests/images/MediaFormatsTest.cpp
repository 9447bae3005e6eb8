// The audio, video and picture validators on small real files made by their usual tools
// (media-samples.sh): each file is found by its row of the built-in table with its exact
// length, also amid other bytes; cut short it is damaged, never longer than what is left.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "ImageFixture.h"
#include "formats/CandidateReader.h"
#include "formats/FormatTable.h"

namespace {

struct Sample {
    const char* file;
    std::string_view category;
    std::string_view extension;
    bool tailChecked; ///< garbage over the second half is seen (a structure or CRC spans it)
};

const Sample kSamples[] = {
    {"tone.wav", "WAV", "wav", false},       {"tone.aiff", "AIFF", "aif", false},
    {"bare.mp3", "MP3", "mp3", false},       {"tagged.mp3", "MP3", "mp3", false},
    {"tone.flac", "FLAC", "flac", true},     {"stereo.flac", "FLAC", "flac", true},
    {"deep.flac", "FLAC", "flac", true},     {"streamed.flac", "FLAC", "flac", true},
    {"tone.ogg", "OGG", "ogg", true},
    {"tone.opus", "OGG", "ogg", true},       {"tone.m4a", "M4A", "m4a", true},
    {"clip.mp4", "MP4", "mp4", true},        {"faststart.mp4", "MP4", "mp4", false},
    {"fragmented.mp4", "MP4", "mp4", false}, {"clip.mov", "QuickTime", "mov", true},
    {"clip.3gp", "3GP", "3gp", true},        {"clip.avi", "AVI", "avi", true},
    {"pic.webp", "WebP", "webp", false},     {"pic.jp2", "JPEG 2000", "jp2", true},
    {"pic.j2k", "JPEG 2000", "j2k", true},   {"pic.psd", "Photoshop", "psd", false},
    {"raw.psd", "Photoshop", "psd", false},  {"pic.heic", "HEIF", "heic", false},
    {"pic.avif", "HEIF", "avif", false},
};

struct Found {
    std::string_view category;
    std::string_view extension;
    formats::Validation validation;
};

/// What the table makes of the bytes: the first row whose magic they hold and whose validator
/// takes them, as the carving engine picks.
Found findByTable(const std::vector<std::uint8_t>& bytes) {
    for (const formats::FormatRow& row : formats::builtInFormats()) {
        const std::size_t at = row.magicOffset;
        if (bytes.size() < at + row.magic.size() ||
            !std::equal(row.magic.begin(), row.magic.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at),
                        [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; }))
            continue;
        formats::SpanByteSource source(bytes);
        formats::CandidateReader reader(source, bytes.size());
        const formats::Validation v = row.validate(reader);
        if (v.verdict != formats::Verdict::NotThisType)
            return {row.category, v.extension.empty() ? row.extension : v.extension, v};
    }
    return {};
}

std::vector<std::uint8_t> noise(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> out(n);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(gen());
    return out;
}

class MediaSampleTest : public ::testing::TestWithParam<Sample> {};

TEST_P(MediaSampleTest, WholeAtItsLengthDamagedWhenCut) {
    REQUIRE_IMAGE(samples, "media-samples.sh");
    const Sample& s = GetParam();
    std::ifstream in(samples.path + "/" + s.file, std::ios::binary);
    if (!in)
        GTEST_SKIP() << s.file << " could not be made here";
    const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
    ASSERT_GT(file.size(), 64u);

    const Found alone = findByTable(file);
    EXPECT_EQ(alone.category, s.category);
    EXPECT_EQ(alone.extension, s.extension);
    EXPECT_EQ(alone.validation.verdict, formats::Verdict::Whole);
    EXPECT_EQ(alone.validation.length, file.size());

    std::vector<std::uint8_t> amid = file;
    const std::vector<std::uint8_t> after = noise(64 * 1024, 11);
    amid.insert(amid.end(), after.begin(), after.end());
    const Found followed = findByTable(amid);
    EXPECT_EQ(followed.validation.verdict, formats::Verdict::Whole);
    EXPECT_EQ(followed.validation.length, file.size());

    for (const std::size_t cut : {file.size() / 2, file.size() - 1}) {
        const std::vector<std::uint8_t> part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
        const Found f = findByTable(part);
        SCOPED_TRACE("cut at " + std::to_string(cut));
        EXPECT_EQ(f.category, s.category);
        EXPECT_LE(f.validation.length, cut);
        if (cut == file.size() / 2) {
            EXPECT_EQ(f.validation.verdict, formats::Verdict::Damaged);
        }
    }

    if (s.tailChecked) {
        std::vector<std::uint8_t> spoilt = file;
        const std::vector<std::uint8_t> junk = noise(file.size() - file.size() / 2, 5);
        std::copy(junk.begin(), junk.end(), spoilt.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
        const Found f = findByTable(spoilt);
        // A unit whose own bytes were spoilt may still be kept whole; the break shows after it.
        EXPECT_EQ(f.validation.verdict, formats::Verdict::Damaged);
        EXPECT_LT(f.validation.length, file.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Files, MediaSampleTest, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<Sample>& info) {
                             std::string name = info.param.file;
                             for (char& c : name)
                                 if (c == '.')
                                     c = '_';
                             return name;
                         });

}  // namespace
