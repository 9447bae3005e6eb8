// The PNG, GIF, BMP, TIFF-family, RAF and CRW validators over real files: exact ends whatever
// follows, cut short, overwritten past their start, and noise behind their magic.
#include <gtest/gtest.h>

#include "FormatSamples.h"
#include "ImageFixture.h"
#include "formats/BmpFormat.h"
#include "formats/GifFormat.h"
#include "formats/PngFormat.h"
#include "formats/TiffFormat.h"

using formats::Validation;
using formats::Verdict;

namespace {
struct Sample {
    const char* file;
    formats::ValidateFunction validate;
    std::string_view extension;  ///< the validator's narrower type, if any
    SampleBytes magic;           ///< what a planted false start holds
    /// Cut short by a third: Damaged, or NotThisType where the index that finds the data (the
    /// TIFF's IFD written after its strips, the CRW's record table) stands at the end.
    Verdict cutByAThird = Verdict::Damaged;
};
constexpr Verdict kIndexLost = Verdict::NotThisType;

const Sample kSamples[] = {
    {"picture.png", formats::validatePng, "", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'}},
    {"still.gif", formats::validateGif, "", {'G', 'I', 'F', '8', '9', 'a', 10, 0, 10, 0}},
    {"anim.gif", formats::validateGif, "", {'G', 'I', 'F', '8', '9', 'a', 10, 0, 10, 0}},
    {"v3.bmp", formats::validateBmp, "", {'B', 'M'}},
    {"v5.bmp", formats::validateBmp, "", {'B', 'M', 0, 1, 0, 0, 0, 0, 0, 0, 138, 0, 0, 0, 124, 0, 0, 0}},
    {"little.tif", formats::validateTiff, "", {'I', 'I', '*', 0, 8, 0, 0, 0}, kIndexLost},
    {"big.tif", formats::validateTiff, "", {'M', 'M', 0, '*', 0, 0, 0, 8}, kIndexLost},
    {"tiled.tif", formats::validateTiff, "", {'M', 'M', 0, '*'}, kIndexLost},
    {"nikon.nef.tif", formats::validateTiff, "nef", {'I', 'I', '*', 0, 8, 0, 0, 0, 12, 0}},  // exiftool writes the IFD first
    {"coolpix.tif", formats::validateTiff, "", {'I', 'I', '*', 0, 8, 0, 0, 0, 12, 0}},
    {"camera.raf", formats::validateRaf, "", {'F', 'U', 'J', 'I', 'F', 'I', 'L', 'M', 'C', 'C', 'D', '-', 'R', 'A', 'W', ' '}},
    {"camera.crw", formats::validateCrw, "", {'I', 'I', 26, 0, 0, 0, 'H', 'E', 'A', 'P', 'C', 'C', 'D', 'R'}, kIndexLost},
};

std::string describe(const Validation& v) {
    return std::to_string(static_cast<int>(v.verdict)) + "/" + std::to_string(v.length) + "/" + std::string(v.extension);
}

#define REQUIRE_SAMPLES(dir)                                   \
    const BuiltImage built = buildImage("picture-samples.sh"); \
    if (!built.ok)                                             \
        GTEST_SKIP() << built.reason;                          \
    const std::filesystem::path dir = built.path
}  // namespace

TEST(PictureFormats, WholeFilesEndAtTheirOwnEndWhateverFollows) {
    REQUIRE_SAMPLES(dir);
    for (const Sample& s : kSamples) {
        const SampleBytes file = readSample(dir / s.file);
        ASSERT_GT(file.size(), 1000u) << s.file;
        for (const SampleBytes& bytes : {file, joined(file, noiseBytes(8192)), joined(file, file)})
            EXPECT_EQ(describe(validateBytes(s.validate, bytes)), describe(Validation::whole(file.size(), s.extension)))
                << s.file;
    }
}

TEST(PictureFormats, CutShortKeepsAValidPrefix) {
    REQUIRE_SAMPLES(dir);
    for (const Sample& s : kSamples) {
        const SampleBytes file = readSample(dir / s.file);
        const bool crw = s.validate == formats::validateCrw;  // its end is known only from its last bytes
        for (const std::size_t at : {file.size() - 1, file.size() * 2 / 3}) {
            const Validation v = validateBytes(s.validate, cut(file, at));
            const Verdict expected = at == file.size() - 1 && !crw ? Verdict::Damaged : s.cutByAThird;
            EXPECT_EQ(v.verdict, expected) << s.file << " cut at " << at;
            if (expected == Verdict::Damaged) {
                EXPECT_GT(v.length, 0u) << s.file;
                EXPECT_LE(v.length, at) << s.file;
            }
        }
    }
}

TEST(PictureFormats, ChunksAndBlocksStopAtTheFirstBrokenOne) {
    REQUIRE_SAMPLES(dir);
    {
        SCOPED_TRACE("a PNG whose chunk chain holds to IEND but whose data or length was changed is damaged, whole-length");
        const SampleBytes png = readSample(dir / "picture.png");
        const std::size_t second = 8 + 12 + 13;  // the chunk after IHDR
        SampleBytes badCrc = png, badLength = png;
        badCrc[second + 8] ^= 0x01;
        badLength[second] = 0x7F;
        for (const SampleBytes& bytes : {badCrc, badLength}) {
            EXPECT_EQ(describe(validateBytes(formats::validatePng, bytes)), describe(Validation::damaged(png.size())));
            EXPECT_EQ(describe(validateBytes(formats::validatePng, joined(bytes, noiseBytes(4096)))),
                      describe(Validation::damaged(png.size())));
        }
        SCOPED_TRACE("a damaged length does not reach over another PNG to its IEND");
        SampleBytes cut = badLength;
        cut.resize(png.size() / 2);
        EXPECT_EQ(validateBytes(formats::validatePng, joined(cut, png)).verdict, Verdict::Damaged);
        EXPECT_LT(validateBytes(formats::validatePng, joined(cut, png)).length, cut.size());
    }
    {
        SCOPED_TRACE("a GIF whose trailer is garbage keeps its blocks");
        SampleBytes gif = readSample(dir / "still.gif");
        gif.back() = 0x00;
        EXPECT_EQ(describe(validateBytes(formats::validateGif, gif)), describe(Validation::damaged(gif.size() - 1)));
    }
    {
        SCOPED_TRACE("a BMP whose size field is short is as long as its pixels");
        SampleBytes bmp = readSample(dir / "v3.bmp");
        const std::size_t size = bmp.size();
        bmp[2] = bmp[3] = bmp[4] = bmp[5] = 0;
        EXPECT_EQ(describe(validateBytes(formats::validateBmp, joined(bmp, noiseBytes(4096)))), describe(Validation::whole(size)));
    }
}

TEST(PictureFormats, NoiseBehindTheMagicIsNotTheType) {
    for (const Sample& s : kSamples) {
        int taken = 0;
        for (unsigned seed = 1; seed <= 300; ++seed)
            taken += validateBytes(s.validate, joined(s.magic, noiseBytes(4096, seed))).verdict != Verdict::NotThisType;
        EXPECT_EQ(taken, 0) << s.file;
    }
}
