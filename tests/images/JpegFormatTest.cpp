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

namespace {
SampleBytes bytesOf(std::string_view text) { return SampleBytes(text.begin(), text.end()); }
void putLe32(SampleBytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
/// jpeg with an APP1 XMP packet of xmp right after SOI.
SampleBytes withXmp(const SampleBytes& jpeg, const std::string& xmp) {
    const std::string name("http://ns.adobe.com/xap/1.0/\0", 29);
    const std::size_t length = 2 + name.size() + xmp.size();
    SampleBytes segment{0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)};
    const SampleBytes body = joined(bytesOf(name), bytesOf(xmp));
    SampleBytes out(jpeg.begin(), jpeg.begin() + 2);
    return joined(joined(joined(out, segment), body), SampleBytes(jpeg.begin() + 2, jpeg.end()));
}
/// A small MP4: an ftyp box and an mdat box of n bytes in all.
SampleBytes mp4(std::size_t n) {
    SampleBytes b = {0, 0, 0, 16, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm', 0, 0, 2, 0};
    const std::size_t mdat = n - b.size();
    b.insert(b.end(), {static_cast<std::uint8_t>(mdat >> 24), static_cast<std::uint8_t>(mdat >> 16),
                       static_cast<std::uint8_t>(mdat >> 8), static_cast<std::uint8_t>(mdat), 'm', 'd', 'a', 't'});
    const SampleBytes noise = noiseBytes(mdat - 8, 3);
    return joined(b, noise);
}
/// A maker trailer of two named blocks closed by its "SEFH" directory and "SEFT"; reachBack 0
/// makes the directory name the first block at its true distance.
SampleBytes makerTrailer(std::uint32_t reachBackError = 0) {
    SampleBytes blocks;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> places;
    for (const std::string_view name : {std::string_view("Image_UTC_Data"), std::string_view("MCC_Data")}) {
        const std::uint32_t at = static_cast<std::uint32_t>(blocks.size());
        blocks.insert(blocks.end(), {0, 0, 0x01, 0x0A});
        putLe32(blocks, static_cast<std::uint32_t>(name.size()));
        blocks = joined(joined(blocks, bytesOf(name)), noiseBytes(40, 5));
        places.emplace_back(at, static_cast<std::uint32_t>(blocks.size()) - at);
    }
    SampleBytes sefh = bytesOf("SEFH");
    putLe32(sefh, 107);
    putLe32(sefh, static_cast<std::uint32_t>(places.size()));
    for (const auto& [at, length] : places) {
        sefh.insert(sefh.end(), {0, 0, 0x01, 0x0A});
        putLe32(sefh, static_cast<std::uint32_t>(blocks.size()) - at + reachBackError);
        putLe32(sefh, length);
    }
    SampleBytes out = joined(blocks, sefh);
    putLe32(out, static_cast<std::uint32_t>(sefh.size()));
    return joined(out, bytesOf("SEFT"));
}
}  // namespace

// What a phone writes after the end marker belongs to the photo when the photo announces it (a
// motion photo's video) or its own structure closes it (a maker's trailer); nothing else does.
TEST(JpegFormat, AnnouncedVideosAndMakerTrailersAfterTheEndAreKept) {
    REQUIRE_SAMPLES(dir);
    const SampleBytes photo = readSample(dir / "baseline.jpg");
    const SampleBytes video = mp4(5000);
    const auto motion = [&](const std::string& xmp) { return withXmp(photo, xmp); };
    const std::string offset = "<x:xmpmeta><rdf:Description GCamera:MicroVideo=\"1\" GCamera:MicroVideoOffset=\"5000\"/>";
    const std::string items =
        "<Container:Item Item:Semantic=\"Primary\" Item:Length=\"0\" Item:Padding=\"0\"/>"
        "<Container:Item Item:Semantic=\"MotionPhoto\" Item:Mime=\"video/mp4\" Item:Length=\"5000\"/>";
    struct Case {
        const char* what;
        SampleBytes head;  ///< the photo as its bytes up to its end marker
        SampleBytes after;
        bool kept;
    };
    const Case cases[] = {
        {"a micro-video offset", motion(offset), video, true},
        {"the container's item lengths", motion(items), video, true},
        {"a maker trailer", photo, makerTrailer(), true},
        {"a video and a maker trailer", motion(offset), joined(video, makerTrailer()), true},
        {"a video nobody announces", photo, video, false},
        {"an announced length that is no MP4 there", motion(offset), noiseBytes(5000, 9), false},
        {"a trailer whose directory does not reach back to the photo", photo, makerTrailer(16), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SampleBytes file = joined(c.head, c.after);
        const std::size_t end = c.kept ? file.size() : c.head.size();
        EXPECT_EQ(describe(validateBytes(formats::validateJpeg, joined(file, noiseBytes(8192)))), describe(Validation::whole(end)));
    }
    SCOPED_TRACE("a video cut short leaves the photo whole");
    const SampleBytes cutVideo = motion(offset);
    EXPECT_EQ(describe(validateBytes(formats::validateJpeg, joined(cutVideo, cut(video, 3000)))),
              describe(Validation::whole(cutVideo.size())));
}
