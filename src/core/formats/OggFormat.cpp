#include "formats/OggFormat.h"

#include <algorithm>
#include <array>
#include <optional>

#include "formats/FormatWalk.h"

namespace formats {
namespace {

constexpr std::uint64_t kPageHeaderBytes = 27;
constexpr std::size_t kMaxStreams = 64; // logical streams open at once (audio, video, subtitles...)
constexpr std::uint8_t kContinued = 0x01;
constexpr std::uint8_t kBeginsStream = 0x02;
constexpr std::uint8_t kEndsStream = 0x04;

constexpr std::array<std::uint32_t, 256> makeCrc32() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i << 24;
        for (int k = 0; k < 8; ++k)
            c = (c & 0x80000000u) ? ((c << 1) ^ 0x04C11DB7u) : (c << 1);
        t[i] = c;
    }
    return t;
}
constexpr auto kCrc32 = makeCrc32();

struct Page {
    std::uint8_t flags;
    std::uint32_t serial;
    std::uint64_t length;
};

/// The page at pos when its header is sound and the whole page is readable.
std::optional<Page> readPageHeader(CandidateReader& r, std::uint64_t pos) {
    const ByteView h = r.view(pos, kPageHeaderBytes + 255);
    if (h.size() < kPageHeaderBytes || !h.matches(0, "OggS") || h.u8(4) != 0 || (h.u8(5) & ~0x07) != 0)
        return std::nullopt;
    const std::size_t segments = h.u8(26);
    if (h.size() < kPageHeaderBytes + segments)
        return std::nullopt;
    std::uint64_t body = 0;
    for (std::size_t i = 0; i < segments; ++i)
        body += h.u8(kPageHeaderBytes + i);
    const Page page{h.u8(5), h.le32(14), kPageHeaderBytes + segments + body};
    if (!reaches(r, pos + page.length)) // moves the window under h
        return std::nullopt;
    return page;
}

bool crcMatches(CandidateReader& r, std::uint64_t pos, std::uint64_t length) {
    const std::uint32_t stored = r.le32(pos + 22);
    std::uint32_t crc = 0;
    for (std::uint64_t done = 0; done < length;) {
        const ByteView piece =
            r.view(pos + done, static_cast<std::size_t>(std::min<std::uint64_t>(length - done, 65536)));
        if (piece.empty())
            return false;
        for (std::size_t i = 0; i < piece.size(); ++i) {
            const std::uint64_t at = done + i;
            const std::uint8_t b = at >= 22 && at < 26 ? 0 : piece.u8(i); // the CRC field counts as zeros
            crc = (crc << 8) ^ kCrc32[((crc >> 24) ^ b) & 0xFF];
        }
        done += piece.size();
    }
    return crc == stored;
}

}  // namespace

Validation validateOgg(CandidateReader& r) {
    std::array<std::uint32_t, kMaxStreams> open{};
    std::size_t openCount = 0;
    std::uint64_t pos = 0;
    bool inHeadPages = true;
    for (std::uint64_t step = 0; step < kMaxWalkSteps; ++step) {
        const std::optional<Page> page = readPageHeader(r, pos);
        const bool sound = page && crcMatches(r, pos, page->length);
        if (pos == 0 && (!sound || (page->flags & (kBeginsStream | kContinued)) != kBeginsStream))
            return Validation::notThisType();
        // Once its streams have all ended the file ends: a stream beginning after that is
        // taken as the next file (files stored back to back), not as a chained stream.
        if (pos > 0 && openCount == 0)
            return Validation::whole(pos);
        if (!sound)
            return Validation::damaged(pos);
        const auto found =
            std::find(open.begin(), open.begin() + static_cast<std::ptrdiff_t>(openCount), page->serial);
        const bool known = found != open.begin() + static_cast<std::ptrdiff_t>(openCount);
        if ((page->flags & kBeginsStream) != 0) {
            // Every stream of a file begins in the pages heading it.
            if (known || openCount == kMaxStreams || !inHeadPages)
                return Validation::damaged(pos);
            open[openCount++] = page->serial;
        } else if (!known) {
            return Validation::damaged(pos); // a page of a stream that never began here
        } else {
            inHeadPages = false;
        }
        pos += page->length;
        if ((page->flags & kEndsStream) != 0) {
            const auto at =
                std::find(open.begin(), open.begin() + static_cast<std::ptrdiff_t>(openCount), page->serial);
            *at = open[--openCount];
        }
    }
    return Validation::damaged(pos);
}

}  // namespace formats
