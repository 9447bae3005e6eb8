#include "formats/FlacFormat.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "formats/FlacFrameEnd.h"
#include "formats/FormatWalk.h"

namespace formats {
namespace {

constexpr std::uint64_t kStreamInfoBytes = 34;
constexpr std::uint64_t kMaxMetadataBlocks = 4096;
constexpr std::uint64_t kMaxFrameBytes = std::uint64_t{1} << 24; // 65535 samples x 8 channels x 32 bits fit
constexpr std::uint64_t kId3v1Bytes = 128;
constexpr std::size_t kPiece = 4096;

constexpr std::array<std::uint8_t, 256> makeCrc8() {
    std::array<std::uint8_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 0x80) ? ((c << 1) ^ 0x07) : (c << 1);
        t[i] = static_cast<std::uint8_t>(c);
    }
    return t;
}
constexpr auto kCrc8 = makeCrc8();

struct StreamInfo {
    std::uint64_t maxFrame = 0;     ///< 0: unknown
    std::uint64_t totalSamples = 0; ///< 0: unknown
    unsigned sampleBits = 0;
};

struct Frame {
    std::uint64_t number; ///< frame number (fixed block size) or first sample (variable)
    bool variable;
    std::uint32_t blockSize;
    std::uint64_t subframes;   ///< the first byte after the header
    unsigned channelCode;
    unsigned sampleBits;       ///< 0: the stream's, from STREAMINFO
};

/// Where the frame at pos ends, by its subframes' own lengths (for the frame no header follows).
std::optional<std::uint64_t> frameEnd(CandidateReader& r, std::uint64_t pos, const Frame& f, const StreamInfo& info) {
    constexpr std::array<unsigned, 8> kSampleBits{0, 8, 12, 0, 16, 20, 24, 32};
    const unsigned bits = f.sampleBits != 0 ? kSampleBits[f.sampleBits] : info.sampleBits;
    return flacFrameEnd(r, FlacFrameLayout{pos, f.subframes, f.blockSize, f.channelCode, bits});
}

/// The frame header at pos with its CRC-8 checked, or nothing.
std::optional<Frame> parseFrameHeader(CandidateReader& r, std::uint64_t pos) {
    const ByteView h = r.view(pos, 16);
    if (h.size() < 6 || h.u8(0) != 0xFF || (h.u8(1) & 0xFE) != 0xF8)
        return std::nullopt;
    const unsigned sizeCode = h.u8(2) >> 4;
    const unsigned rateCode = h.u8(2) & 15;
    const unsigned channels = h.u8(3) >> 4;
    const unsigned depth = (h.u8(3) >> 1) & 7;
    if (sizeCode == 0 || rateCode == 15 || channels > 10 || depth == 3 || (h.u8(3) & 1) != 0)
        return std::nullopt;
    // The frame or sample number, UTF-8 coded in 1 to 7 bytes.
    std::size_t at = 4;
    const std::uint8_t lead = h.u8(at++);
    unsigned extra = 0;
    std::uint64_t number = 0;
    if (lead < 0x80)
        number = lead;
    else if (lead >= 0xC0 && lead < 0xFE) {
        extra = 1;
        while (extra < 6 && (lead & (0x40 >> extra)) != 0)
            ++extra;
        number = lead & (0x3F >> extra);
    } else
        return std::nullopt;
    for (unsigned i = 0; i < extra; ++i) {
        const std::uint8_t b = h.u8(at++);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        number = (number << 6) | (b & 0x3F);
    }
    std::uint32_t blockSize = 0;
    if (sizeCode == 1)
        blockSize = 192;
    else if (sizeCode <= 5)
        blockSize = 576u << (sizeCode - 2);
    else if (sizeCode == 6)
        blockSize = h.u8(at++) + 1u;
    else if (sizeCode == 7) {
        blockSize = h.be16(at) + 1u;
        at += 2;
    } else
        blockSize = 256u << (sizeCode - 8);
    if (rateCode == 12)
        at += 1;
    else if (rateCode == 13 || rateCode == 14)
        at += 2;
    if (at >= h.size())
        return std::nullopt;
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < at; ++i)
        crc = kCrc8[crc ^ h.u8(i)];
    if (crc != h.u8(at))
        return std::nullopt;
    return Frame{number, (h.u8(1) & 1) != 0, blockSize, pos + at + 1, channels, depth};
}

/// The metadata blocks: the audio's first byte and the stream's figures, or nothing when the
/// blocks do not start with a STREAMINFO; damagedAt is set when they break off.
std::optional<StreamInfo> readMetadata(CandidateReader& r, std::uint64_t& pos,
                                       std::optional<std::uint64_t>& damagedAt) {
    const ByteView first = r.view(4, 4 + kStreamInfoBytes);
    if ((first.u8(0) & 0x7F) != 0 || first.be(1, 3) != kStreamInfoBytes)
        return std::nullopt;
    if (first.size() < 4 + kStreamInfoBytes)
        return damagedAt = 0, StreamInfo{};
    const ByteView info = first.slice(4, kStreamInfoBytes);
    const std::uint32_t minBlock = info.be16(0);
    const std::uint32_t maxBlock = info.be16(2);
    if (minBlock < 16 || maxBlock < minBlock)
        return std::nullopt;
    const unsigned sampleBits = (((info.u8(12) & 1u) << 4) | (info.u8(13) >> 4)) + 1;
    StreamInfo s{info.be(7, 3), info.be(13, 5) & 0xFFFFFFFFFull, sampleBits};
    bool last = (first.u8(0) & 0x80) != 0;
    pos = 4 + 4 + kStreamInfoBytes;
    for (std::uint64_t n = 1; !last && n < kMaxMetadataBlocks; ++n) {
        const ByteView h = r.view(pos, 4);
        if (h.size() < 4 || (h.u8(0) & 0x7F) == 0 || (h.u8(0) & 0x7F) == 127) {
            damagedAt = pos;
            return s;
        }
        const std::uint64_t next = pos + 4 + h.be(1, 3);
        last = (h.u8(0) & 0x80) != 0; // read before reaches() moves the window under h
        if (!reaches(r, next)) {
            damagedAt = pos;
            return s;
        }
        pos = next;
    }
    if (!last)
        damagedAt = pos;
    return s;
}

bool followsFrame(const Frame& f, const Frame& next) {
    if (next.variable != f.variable)
        return false;
    return f.variable ? next.number == f.number + f.blockSize : next.number == f.number + 1;
}

}  // namespace

Validation validateFlac(CandidateReader& r) {
    if (!r.matches(0, "fLaC"))
        return Validation::notThisType();
    std::uint64_t pos = 0;
    std::optional<std::uint64_t> damagedAt;
    const std::optional<StreamInfo> info = readMetadata(r, pos, damagedAt);
    if (!info)
        return Validation::notThisType();
    if (damagedAt)
        return Validation::damaged(*damagedAt);
    std::optional<Frame> frame = parseFrameHeader(r, pos);
    if (!frame)
        return Validation::damaged(pos); // metadata only, or its frames overwritten
    const std::uint64_t maxFrame = info->maxFrame != 0 ? info->maxFrame : kMaxFrameBytes;
    std::uint64_t samples = 0;
    for (std::uint64_t step = 0; step < kMaxWalkSteps; ++step) {
        samples += frame->blockSize;
        const bool lastFrame = info->totalSamples != 0 && samples >= info->totalSamples;
        // The running CRC-16 of the frame's bytes [pos, x) is compared with the two bytes at x;
        // a match followed by the next frame's header ends the frame.
        std::uint16_t crc = 0;
        std::optional<std::uint64_t> end;
        std::optional<Frame> next;
        std::uint64_t x = pos;
        std::array<std::uint8_t, kPiece> buffer{};
        const std::uint64_t stop = lastFrame ? pos : pos + maxFrame;
        while (x < stop && !end) {
            // Copied: looking at a next header moves the reader's window.
            const ByteView window =
                r.view(x, static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, stop + 2 - x)));
            if (window.size() < 2)
                break;
            std::memcpy(buffer.data(), window.data(), window.size());
            const ByteView piece(buffer.data(), window.size());
            for (std::size_t i = 0; i + 2 <= piece.size(); ++i) {
                const std::uint64_t at = x + i;
                if (at >= pos + 6 && crc == piece.be16(i)) {
                    const std::optional<Frame> n = parseFrameHeader(r, at + 2);
                    if (n && followsFrame(*frame, *n)) {
                        next = n;
                        end = at + 2;
                        break;
                    }
                }
                if (i + 2 == piece.size())
                    break; // the last two bytes start the next piece
                crc = flacCrc16(crc, piece.u8(i));
            }
            if (piece.size() < 3)
                break;
            x += piece.size() - 2;
        }
        if (!next) {
            // The last frame, or the stream ends early: no header follows to confirm a CRC
            // match, and the frame's subframes say where it ends.
            if (!lastFrame && info->totalSamples != 0)
                return Validation::damaged(pos);
            end = frameEnd(r, pos, *frame, *info);
            if (!end)
                return Validation::damaged(pos);
            std::uint64_t fileEnd = *end;
            if (r.matches(fileEnd, "TAG") && reaches(r, fileEnd + kId3v1Bytes))
                fileEnd += kId3v1Bytes;
            return Validation::whole(fileEnd);
        }
        pos = *end;
        frame = next;
    }
    return Validation::damaged(pos);
}

}  // namespace formats
