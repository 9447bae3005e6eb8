#pragma once
// Where a FLAC frame ends, found by walking its subframes bit by bit: every subframe's coding
// (constant, verbatim, fixed or LPC prediction with Rice-coded residuals) fixes its bit count,
// so the frame's end needs no guess. The last frame of a stream is followed by no header to
// confirm a CRC match, and this gives it its exact end.

#include <array>
#include <cstdint>
#include <optional>

namespace formats {

/// The table of FLAC's frame CRC-16 (polynomial 0x8005, no reflection, starting at 0).
inline constexpr std::array<std::uint16_t, 256> kFlacCrc16 = [] {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i << 8;
        for (int k = 0; k < 8; ++k)
            c = (c & 0x8000) ? ((c << 1) ^ 0x8005) : (c << 1);
        t[i] = static_cast<std::uint16_t>(c);
    }
    return t;
}();
inline std::uint16_t flacCrc16(std::uint16_t crc, std::uint8_t byte) {
    return static_cast<std::uint16_t>((crc << 8) ^ kFlacCrc16[(crc >> 8) ^ byte]);
}

class CandidateReader;

struct FlacFrameLayout {
    std::uint64_t start = 0;       ///< the frame header's first byte
    std::uint64_t subframes = 0;   ///< the first byte after the header's CRC-8
    std::uint32_t blockSize = 0;   ///< samples per channel
    unsigned channelCode = 0;      ///< the header's channel assignment (0-7: 1-8 channels; 8-10: stereo pairs)
    unsigned sampleBits = 0;       ///< bits per sample
};

/// The first byte after the frame (its CRC-16 included) when the subframes parse and the CRC-16
/// matches; nothing otherwise.
std::optional<std::uint64_t> flacFrameEnd(CandidateReader& r, const FlacFrameLayout& frame);

}  // namespace formats
