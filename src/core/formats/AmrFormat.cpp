#include "formats/AmrFormat.h"

#include <array>
#include <string_view>

#include "formats/FormatWalk.h"

namespace formats {
namespace {

// Frame bytes (with the type byte) by frame type; 0: a type no file holds.
constexpr std::array<std::uint8_t, 16> kNarrowBand{13, 14, 16, 18, 20, 21, 27, 32, 6, 0, 0, 0, 0, 0, 0, 1};
constexpr std::array<std::uint8_t, 16> kWideBand{18, 24, 33, 37, 41, 47, 51, 59, 61, 6, 0, 0, 0, 0, 1, 1};
constexpr std::string_view kNarrowMagic = "#!AMR\n";
constexpr std::string_view kWideMagic = "#!AMR-WB\n";

bool allZero(CandidateReader& r, std::uint64_t from, std::uint64_t to) {
    const ByteView v = r.view(from, static_cast<std::size_t>(to - from));
    for (std::size_t i = 0; i < v.size(); ++i)
        if (v.u8(i) != 0)
            return false;
    return true;
}

}  // namespace

Validation validateAmr(CandidateReader& r) {
    const bool wide = r.matches(0, kWideMagic);
    if (!wide && !r.matches(0, kNarrowMagic))
        return Validation::notThisType();
    const auto& sizes = wide ? kWideBand : kNarrowBand;
    std::uint64_t pos = wide ? kWideMagic.size() : kNarrowMagic.size();
    std::uint64_t frames = 0;
    for (std::uint64_t step = 0; step < kMaxWalkSteps; ++step, ++frames) {
        const ByteView b = r.view(pos, 1);
        // The type byte: no following-frame bit, the frame type, the quality bit, two zero bits.
        if (b.empty() || (b.u8(0) & 0x83) != 0 || sizes[(b.u8(0) >> 3) & 15] == 0)
            break;
        const std::uint64_t next = pos + sizes[(b.u8(0) >> 3) & 15];
        if (!reaches(r, next))
            return Validation::damaged(pos);
        if (b.u8(0) == 0 && allZero(r, pos, next))
            break;
        pos = next;
    }
    return frames == 0 ? Validation::notThisType() : Validation::approximate(pos);
}

}  // namespace formats
