#include "formats/Mp3Format.h"

#include <array>
#include <optional>

#include "formats/FormatWalk.h"

namespace formats {
namespace {

constexpr std::uint64_t kId3HeaderBytes = 10;
constexpr std::uint64_t kId3v1Bytes = 128;
constexpr std::uint64_t kApeHeaderBytes = 32;
constexpr std::uint64_t kMaxLeadingPadding = 64 * 1024; // zeros some taggers leave after ID3v2
constexpr unsigned kFramesWithoutTag = 4;

// Bit rates in kbit/s by [row][index]: rows MPEG-1 layer I, II, III; MPEG-2/2.5 layer I; II and III.
constexpr std::array<std::array<std::uint16_t, 16>, 5> kBitRates{{
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
}};
constexpr std::array<std::uint32_t, 3> kMpeg1Rates{44100, 48000, 32000};

struct FrameHeader {
    unsigned version; ///< 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5 (the header's two bits)
    unsigned layer;   ///< 3: layer I, 2: layer II, 1: layer III (the header's two bits)
    unsigned rateIndex;
    std::uint32_t length;

    bool sameStream(const FrameHeader& o) const {
        return version == o.version && layer == o.layer && rateIndex == o.rateIndex;
    }
};

std::optional<FrameHeader> parseFrame(std::uint32_t h) {
    if ((h >> 21) != 0x7FF)
        return std::nullopt;
    const unsigned version = (h >> 19) & 3;
    const unsigned layer = (h >> 17) & 3;
    const unsigned bitIndex = (h >> 12) & 15;
    const unsigned rateIndex = (h >> 10) & 3;
    const unsigned padding = (h >> 9) & 1;
    // Reserved values, and free-format bit rates whose frames have no computable length.
    if (version == 1 || layer == 0 || bitIndex == 0 || bitIndex == 15 || rateIndex == 3 || (h & 3) == 2)
        return std::nullopt;
    const bool mpeg1 = version == 3;
    const unsigned row = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
    const std::uint32_t bitRate = kBitRates[row][bitIndex] * 1000u;
    const std::uint32_t sampleRate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    std::uint32_t length = 0;
    if (layer == 3)
        length = (12 * bitRate / sampleRate + padding) * 4;
    else if (layer == 1 && !mpeg1)
        length = 72 * bitRate / sampleRate + padding;
    else
        length = 144 * bitRate / sampleRate + padding;
    return FrameHeader{version, layer, rateIndex, length};
}

/// The ID3v2 tag at 0: its length, 0 when there is none, nothing when "ID3" starts no tag.
std::optional<std::uint64_t> id3v2Length(CandidateReader& r) {
    const ByteView h = r.view(0, kId3HeaderBytes);
    if (!h.matches(0, "ID3"))
        return 0;
    if (h.size() < kId3HeaderBytes || h.u8(3) < 2 || h.u8(3) > 4 || h.u8(4) == 0xFF || (h.u8(5) & 0x0F) != 0)
        return std::nullopt;
    std::uint64_t size = 0;
    for (unsigned i = 6; i < 10; ++i) {
        if (h.u8(i) & 0x80)
            return std::nullopt;
        size = (size << 7) | h.u8(i);
    }
    const std::uint64_t footer = (h.u8(5) & 0x10) != 0 ? kId3HeaderBytes : 0;
    return kId3HeaderBytes + size + footer;
}

/// Tags a file may carry after its last frame: an APEv2 tag with its header, then ID3v1.
std::uint64_t trailingTags(CandidateReader& r, std::uint64_t pos) {
    if (r.matches(pos, "APETAGEX") && (r.le32(pos + 20) & 0x20000000u) != 0) {
        const std::uint64_t size = r.le32(pos + 12); // items and footer, without the header
        if (size >= kApeHeaderBytes && size <= 16 * 1024 * 1024 && reaches(r, pos + kApeHeaderBytes + size))
            pos += kApeHeaderBytes + size;
    }
    if (r.matches(pos, "TAG") && reaches(r, pos + kId3v1Bytes))
        pos += kId3v1Bytes;
    return pos;
}

}  // namespace

Validation validateMp3(CandidateReader& r) {
    const std::optional<std::uint64_t> tag = id3v2Length(r);
    if (!tag)
        return Validation::notThisType();
    std::uint64_t pos = *tag;
    if (pos > 0) {
        if (!reaches(r, pos))
            return Validation::damaged(0);
        // Padding past the tag's size: skip zeros up to the first frame.
        const std::uint64_t stop = pos + kMaxLeadingPadding;
        while (pos < stop && r.has(pos, 1) && r.u8(pos) == 0)
            ++pos;
    }
    std::optional<FrameHeader> first;
    unsigned frames = 0;
    for (std::uint64_t step = 0; step < kMaxWalkSteps; ++step) {
        if (!r.has(pos, 4))
            break;
        const std::optional<FrameHeader> f = parseFrame(r.be32(pos));
        if (!f || (first && !f->sameStream(*first)))
            break;
        if (!reaches(r, pos + f->length)) {
            // A frame cut off where the readable bytes end: two chained frames before it make a
            // file (fewer could be any two bytes of noise near the end).
            if (*tag == 0 && frames < 2)
                return Validation::notThisType();
            return Validation::damaged(pos);
        }
        first = first ? first : f;
        pos += f->length;
        ++frames;
    }
    if (frames == 0)
        return Validation::notThisType();  // a tag without audio, or "ID3" and a size read from noise
    const std::uint64_t end = trailingTags(r, pos);
    if (*tag == 0 && frames < kFramesWithoutTag && end == pos && r.has(pos, 1))
        return Validation::notThisType();
    return Validation::whole(end);
}

}  // namespace formats
