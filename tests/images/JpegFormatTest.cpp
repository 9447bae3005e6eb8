// The JPEG validator over real files: exact ends (also with an EXIF thumbnail, progressive scans
// and an MPO pair), cut short, overwritten, and noise that merely starts like a JPEG.
#include <gtest/gtest.h>

#include "FormatSamples.h"
#include "ImageFixture.h"
#include "formats/JpegFormat.h"

using formats::Validation;
using formats::Verdict;

namespace {
struct Sample {
    const char* file;
    std::string_view extension;  ///< the validator's narrower type, if any
};

const Sample kSamples[] = {
    {"baseline.jpg", ""}, {"progressive.jpg", ""}, {"other-encoder.jpg", ""}, {"exif.jpg", ""}, {"pair.mpo", "mpo"},
};

std::string describe(const Validation& v) {
    return std::to_string(static_cast<int>(v.verdict)) + "/" + std::to_string(v.length) + "/" + std::string(v.extension);
}

#define REQUIRE_SAMPLES(dir)                                 \
    const BuiltImage built = buildImage("picture-samples.sh"); \
    if (!built.ok)                                           \
        GTEST_SKIP() << built.reason;                        \
    const std::filesystem::path dir = built.path
}  // namespace

TEST(JpegFormat, WholeFilesEndAtTheirOwnEndWhateverFollows) {
    REQUIRE_SAMPLES(dir);
    for (const Sample& s : kSamples) {
        const SampleBytes file = readSample(dir / s.file);
        ASSERT_GT(file.size(), 500u) << s.file;
        for (const SampleBytes& bytes : {file, joined(file, noiseBytes(8192)), joined(file, file)}) {
            const Validation v = validateBytes(formats::validateJpeg, bytes);
            EXPECT_EQ(describe(v), describe(Validation::whole(file.size(), s.extension))) << s.file;
        }
    }
}

TEST(JpegFormat, CutInsideTheLastScanKeepsWhatWasThere) {
    REQUIRE_SAMPLES(dir);
    for (const Sample& s : kSamples) {
        const SampleBytes file = readSample(dir / s.file);
        const std::size_t at = file.size() - 20;
        const Validation v = validateBytes(formats::validateJpeg, cut(file, at));
        if (s.extension == "mpo") {
            // The first image is whole; the second one is what is missing.
            const std::size_t firstEnd = file.size() - readSample(dir / "progressive.jpg").size();
            EXPECT_EQ(describe(v), describe(Validation::damaged(firstEnd, "mpo")));
        } else {
            EXPECT_EQ(describe(v), describe(Validation::damaged(at))) << s.file;
            // Followed by empty space: cut where the zeros begin (the data's own last bytes may be zeros too).
            const Validation blank = validateBytes(formats::validateJpeg, joined(cut(file, at), SampleBytes(1 << 20, 0)));
            EXPECT_EQ(blank.verdict, Verdict::Damaged) << s.file;
            EXPECT_LE(blank.length, at) << s.file;
            EXPECT_GE(blank.length + 16, at) << s.file;
        }
    }
}

TEST(JpegFormat, DamageBeforeTheFrameHeaderLeavesNothingToKeep) {
    REQUIRE_SAMPLES(dir);
    for (const Sample& s : kSamples) {
        SampleBytes file = readSample(dir / s.file);
        const std::size_t second = 4 + (std::size_t{file[4]} << 8 | file[5]);  // the segment after the first
        ASSERT_EQ(file[second], 0xFF) << s.file;
        file[second] = 0x00;
        EXPECT_EQ(describe(validateBytes(formats::validateJpeg, file)), describe(Validation::notThisType())) << s.file;
        const SampleBytes whole = readSample(dir / s.file);
        EXPECT_EQ(validateBytes(formats::validateJpeg, cut(whole, second + 3)).verdict, Verdict::NotThisType) << s.file;
    }
}

TEST(JpegFormat, DamageAfterTheFrameHeaderIsKeptUpToIt) {
    REQUIRE_SAMPLES(dir);
    const SampleBytes file = readSample(dir / "baseline.jpg");
    // The scan header: the first SOS marker of a file without a thumbnail.
    std::size_t sos = 2;
    while (!(file[sos] == 0xFF && file[sos + 1] == 0xDA))
        sos += 2 + (std::size_t{file[sos + 2]} << 8 | file[sos + 3]);
    SampleBytes broken = file;
    broken[sos] = 0x12;
    EXPECT_EQ(describe(validateBytes(formats::validateJpeg, broken)), describe(Validation::damaged(sos)));
    EXPECT_EQ(describe(validateBytes(formats::validateJpeg, cut(file, sos + 5))), describe(Validation::damaged(sos)));
}

TEST(JpegFormat, NoiseAfterTheStartIsNotAJpeg) {
    const std::vector<SampleBytes> starts = {{0xFF, 0xD8, 0xFF}, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10},
                                             {0xFF, 0xD8, 0xFF, 0xDB, 0x00, 0x43}, {0xFF, 0xD8, 0xFF, 0xD9}};
    int counted = 0;
    for (unsigned seed = 1; seed <= 2000; ++seed) {
        const SampleBytes& start = starts[seed % starts.size()];
        const SampleBytes bytes = joined(start, noiseBytes(4096, seed));
        counted += validateBytes(formats::validateJpeg, bytes).verdict != Verdict::NotThisType;
    }
    EXPECT_EQ(counted, 0);
}
