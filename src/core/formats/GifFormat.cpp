#include "formats/GifFormat.h"

#include "formats/CandidateReader.h"
#include "formats/FormatWalk.h"

namespace formats {
namespace {
constexpr std::uint8_t kExtension = 0x21;
constexpr std::uint8_t kImage = 0x2C;
constexpr std::uint8_t kTrailer = 0x3B;

/// The end of a chain of sub-blocks (size byte, data) closed by a zero size, or nothing when the
/// chain runs past the readable bytes or the step cap.
std::optional<std::uint64_t> subBlocksEnd(CandidateReader& r, std::uint64_t pos) {
    for (std::uint64_t step = 0; step < kMaxWalkSteps; ++step) {
        if (!r.has(pos, 1))
            return std::nullopt;
        const std::uint8_t size = r.u8(pos);
        pos += 1 + size;
        if (size == 0)
            return pos;
    }
    return std::nullopt;
}

std::uint64_t colourTableBytes(std::uint8_t flags) { return (flags & 0x80) ? 3u << ((flags & 7) + 1) : 0; }
}  // namespace

Validation validateGif(CandidateReader& r) {
    const ByteView head = r.view(0, 13);
    if (head.size() < 13 || !(head.matches(0, "GIF87a") || head.matches(0, "GIF89a")) || head.le16(6) == 0 ||
        head.le16(8) == 0)
        return Validation::notThisType();
    std::uint64_t pos = 13 + colourTableBytes(head.u8(10));
    bool sawImage = false;
    for (std::uint64_t step = 0; step < kMaxWalkSteps && r.has(pos, 1); ++step) {
        const std::uint8_t block = r.u8(pos);
        std::optional<std::uint64_t> next;
        if (block == kTrailer) {
            if (sawImage)
                return Validation::whole(pos + 1);
            break;
        }
        if (block == kExtension && r.has(pos + 1, 1)) {
            next = subBlocksEnd(r, pos + 2);
        } else if (block == kImage && r.has(pos, 10)) {
            const std::uint64_t data = pos + 10 + colourTableBytes(r.u8(pos + 9));
            const std::uint8_t codeSize = r.u8(data);
            if (codeSize < 2 || codeSize > 11 || !r.has(data, 1))
                break;
            next = subBlocksEnd(r, data + 1);
            if (!next)
                return Validation::damaged(readablePrefix(r, r.limit()));  // cut inside the picture's data
            sawImage = true;
        }
        if (!next)
            break;
        pos = *next;
    }
    if (!sawImage)
        return Validation::notThisType();
    return Validation::damaged(pos);
}

}  // namespace formats
