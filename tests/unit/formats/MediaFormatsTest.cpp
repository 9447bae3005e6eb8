// The media validators on hand-built files where no tool here writes the case (MIDI, AMR,
// 64-bit box sizes, AVI extension parts), and every built-in row on random bytes holding only its
// magic: a false start must be refused.

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/AmrFormat.h"
#include "formats/CandidateReader.h"
#include "formats/FormatTable.h"
#include "formats/IsoMediaFormat.h"
#include "formats/MidiFormat.h"
#include "formats/Mp3Format.h"
#include "formats/RiffFormat.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using formats::Verdict;

Bytes text(std::string_view s) {
    return Bytes(s.begin(), s.end());
}
Bytes be32(std::uint32_t v) {
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}
Bytes le32(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}
Bytes be64(std::uint64_t v) {
    Bytes b = be32(std::uint32_t(v >> 32)), lo = be32(std::uint32_t(v));
    b.insert(b.end(), lo.begin(), lo.end());
    return b;
}
Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes fill(std::size_t n, std::uint8_t b = 0x55) {
    return Bytes(n, b);
}
Bytes box(std::string_view type, const Bytes& body) {
    return cat({be32(std::uint32_t(8 + body.size())), text(type), body});
}
Bytes chunk(std::string_view id, const Bytes& body) {
    return cat({text(id), be32(std::uint32_t(body.size())), body});
}
Bytes riff(std::string_view form, const Bytes& body) {
    return cat({text("RIFF"), le32(std::uint32_t(4 + body.size())), text(form), body});
}
Bytes riffChunk(std::string_view id, const Bytes& body) {
    return cat({text(id), le32(std::uint32_t(body.size())), body});
}

// MIDI: format 1, two tracks.
const Bytes kMidiHeader = cat({text("MThd"), be32(6), {0, 1, 0, 2, 0x01, 0xE0}});
const Bytes kTrack1 = chunk("MTrk", {0x00, 0xFF, 0x2F, 0x00});
const Bytes kTrack2 = chunk("MTrk", {0x00, 0x90, 0x3C, 0x40, 0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00});
const Bytes kMidi = cat({kMidiHeader, kTrack1, kTrack2});

// AMR: two speech frames (type 7, 32 bytes) and a no-data frame; AMR-WB: one type-8 frame (61 bytes).
const Bytes kAmrFrame = cat({{0x3C}, fill(31)});
const Bytes kAmr = cat({text("#!AMR\n"), kAmrFrame, kAmrFrame, {0x7C}});
const Bytes kAmrWb = cat({text("#!AMR-WB\n"), {0x44}, fill(60)});

// ISO media: a 64-bit media data box, and one "to the end of the file".
const Bytes kFtyp = box("ftyp", cat({text("isom"), be32(0x200), text("isomiso2")}));
const Bytes kMoov = box("moov", box("mvhd", fill(100, 0)));
const Bytes kLargeMdat = cat({be32(1), text("mdat"), be64(16 + 300), fill(300)});
const Bytes kOpenMdat = cat({be32(0), text("mdat"), fill(300)});

// AVI over 1 GiB continues in RIFF "AVIX" parts.
const Bytes kAvi =
    riff("AVI ", cat({riffChunk("LIST", cat({text("hdrl"), fill(56)})), riffChunk("JUNK", fill(12))}));
const Bytes kAvix = riff("AVIX", riffChunk("LIST", cat({text("movi"), fill(40)})));

struct Case {
    const char* name;
    formats::ValidateFunction validate;
    Bytes bytes;
    Verdict verdict;
    std::uint64_t length;
};

std::vector<Case> cases() {
    const Bytes noise = {0x13, 0x37, 0xC0, 0xDE, 0xFF, 0xFF, 0x00, 0x42};
    const std::size_t midi = kMidi.size();
    const std::size_t amr = kAmr.size();
    return {
        {"midi whole", formats::validateMidi, kMidi, Verdict::Whole, midi},
        {"midi amid bytes", formats::validateMidi, cat({kMidi, noise}), Verdict::Whole, midi},
        {"midi cut in its last track", formats::validateMidi, Bytes(kMidi.begin(), kMidi.end() - 3),
         Verdict::Damaged, kMidiHeader.size() + kTrack1.size()},
        {"midi garbage for a track", formats::validateMidi, cat({kMidiHeader, kTrack1, fill(20, 0x01)}),
         Verdict::Damaged, kMidiHeader.size() + kTrack1.size()},
        {"midi format 0 with two tracks", formats::validateMidi,
         cat({text("MThd"), be32(6), {0, 0, 0, 2, 0x01, 0xE0}, kTrack1, kTrack2}), Verdict::NotThisType, 0},
        // AMR records no length: the frame chain's end is only approximate.
        {"amr whole", formats::validateAmr, kAmr, Verdict::Approximate, amr},
        {"amr before bytes no frame starts with", formats::validateAmr, cat({kAmr, {0x84}}), Verdict::Approximate,
         amr},
        {"amr before erased space (zeros pass as frames)", formats::validateAmr, cat({kAmr, fill(4096, 0)}),
         Verdict::Approximate, amr},
        {"amr cut in a frame", formats::validateAmr, Bytes(kAmr.begin(), kAmr.end() - 5), Verdict::Damaged,
         6 + 32},
        {"amr-wb whole", formats::validateAmr, kAmrWb, Verdict::Approximate, kAmrWb.size()},
        {"amr magic without frames", formats::validateAmr, cat({text("#!AMR\n"), {0xFF, 0xFF}}),
         Verdict::NotThisType, 0},
        {"mp4 with a 64-bit box", formats::validateMp4, cat({kFtyp, kMoov, kLargeMdat, noise}),
         Verdict::Whole, kFtyp.size() + kMoov.size() + kLargeMdat.size()},
        {"mp4 whose media runs to an unknown end", formats::validateMp4, cat({kFtyp, kMoov, kOpenMdat}),
         Verdict::Damaged, kFtyp.size() + kMoov.size()},
        {"mp4 without its movie box", formats::validateMp4, cat({kFtyp, kLargeMdat, noise}), Verdict::Damaged,
         kFtyp.size() + kLargeMdat.size()},
        {"mp4 64-bit size past the medium", formats::validateMp4,
         cat({kFtyp, kMoov, be32(1), text("mdat"), be64(~std::uint64_t{0} - 4), fill(64)}), Verdict::Damaged,
         kFtyp.size() + kMoov.size()},
        {"mp4 brand is not a quicktime one", formats::validateQuickTime, cat({kFtyp, kMoov}),
         Verdict::NotThisType, 0},
        {"quicktime without ftyp", formats::validateQuickTime, cat({kMoov, kLargeMdat, noise}),
         Verdict::Whole, kMoov.size() + kLargeMdat.size()},
        // "moov" in noise with a size that fits: no movie header inside, so no movie (it would
        // otherwise swallow everything up to its size).
        {"quicktime moov of noise", formats::validateQuickTime, cat({be32(4096), text("moov"), fill(4088, 0x9C)}),
         Verdict::NotThisType, 0},
        {"mp4 whose movie box holds no header", formats::validateMp4,
         cat({kFtyp, box("moov", fill(64, 0x9C)), kLargeMdat}), Verdict::Damaged,
         kFtyp.size() + 8 + 64 + kLargeMdat.size()},
        {"mp3 tag without frames", formats::validateMp3,
         cat({text("ID3"), {3, 0, 0, 0, 0, 0, 8}, fill(8, 0), fill(600, 0x9C)}), Verdict::NotThisType, 0},
        {"avi with an extension part", formats::validateAvi, cat({kAvi, kAvix, noise}), Verdict::Whole,
         kAvi.size() + kAvix.size()},
        {"avi extension part cut", formats::validateAvi, cat({kAvi, Bytes(kAvix.begin(), kAvix.end() - 1)}),
         Verdict::Damaged, kAvi.size() + 12},
        {"avi is no wav", formats::validateWav, kAvi, Verdict::NotThisType, 0},
    };
}

TEST(MediaFormatsTest, HandBuiltFiles) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        formats::SpanByteSource source(c.bytes);
        formats::CandidateReader reader(source, c.bytes.size());
        const formats::Validation v = c.validate(reader);
        EXPECT_EQ(v.verdict, c.verdict);
        if (c.verdict != Verdict::NotThisType) {
            EXPECT_EQ(v.length, c.length);
        }
    }
}

TEST(MediaFormatsTest, TheTypeAFilesStructureNamesPicksItsCategory) {
    const auto row = [](std::string_view name, std::string_view magic) -> const formats::FormatRow& {
        for (const formats::FormatRow& r : formats::builtInFormats())
            if (r.name == name && r.magic == magic)
                return r;
        throw std::runtime_error("no row");
    };
    const struct {
        const formats::FormatRow& row;
        std::string_view extension, category;
    } cases[] = {
        {row("TIFF", std::string_view("II*\0", 4)), "", "TIFF and RAW"},
        {row("TIFF", std::string_view("II*\0", 4)), "nef", "Camera RAW"},
        {row("TIFF", std::string_view("MM\0*", 4)), "pef", "Camera RAW"},
        {row("TIFF", std::string_view("II*\0", 4)), "dng", "Camera RAW"},
        {row("MP4", "ftyp"), "mov", "QuickTime"},
        {row("JPEG", "\xFF\xD8\xFF"), "mpo", "JPEG"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formats::categoryOf(c.row, c.extension), c.category) << c.extension;
}

TEST(MediaFormatsTest, EveryRowRefusesRandomBytesHoldingItsMagic) {
    std::mt19937 gen(2024);
    for (const formats::FormatRow& row : formats::builtInFormats()) {
        for (int round = 0; round < 32; ++round) {
            Bytes bytes(16 * 1024);
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(gen());
            std::copy(row.magic.begin(), row.magic.end(), bytes.begin() + row.magicOffset);
            formats::SpanByteSource source(bytes);
            formats::CandidateReader reader(source, bytes.size());
            EXPECT_EQ(row.validate(reader).verdict, Verdict::NotThisType) << row.name << " round " << round;
        }
    }
}

}  // namespace
