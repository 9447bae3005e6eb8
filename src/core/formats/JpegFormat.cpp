#include "formats/JpegFormat.h"

#include <algorithm>
#include <optional>

#include "formats/CandidateReader.h"
#include "formats/FormatWalk.h"

namespace formats {
namespace {
constexpr std::uint8_t kSoi = 0xD8;
constexpr std::uint8_t kEoi = 0xD9;
constexpr std::uint8_t kSos = 0xDA;
constexpr std::uint8_t kTem = 0x01;
constexpr std::uint32_t kMaxMpEntries = 64;
constexpr std::uint64_t kLongStretch = 64 * 1024;  ///< coded data this long without an FF is suspect
constexpr std::uint64_t kBlankBlock = 4096;

bool isRestart(std::uint8_t m) { return m >= 0xD0 && m <= 0xD7; }

/// Start-of-frame markers: C0..CF except DHT (C4), JPG (C8) and DAC (CC).
bool isFrame(std::uint8_t m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

/// Markers followed by a length field: everything from C0 to FE except SOI, EOI and the restarts.
bool hasLength(std::uint8_t m) { return m >= 0xC0 && m <= 0xFE && !isRestart(m) && m != kSoi && m != kEoi; }

/// What a real file puts right after SOI: an application segment, tables, a frame or a comment.
/// Kept strict, as random bytes reach this test thousands of times per GiB.
bool canOpen(std::uint8_t m) { return (m >= 0xE0 && m <= 0xEF) || m == 0xDB || m == 0xC4 || m == 0xDD || m == 0xFE || isFrame(m); }

/// The MP index of an APP2 "MPF" segment: where each further image of an MPO starts and ends.
struct MpIndex {
    std::uint64_t header = 0;  ///< the MP header's first byte; image offsets count from it
    bool present = false;
};

/// The end of the last image the MP index names, or nothing when one of them is not a JPEG start
/// within the readable bytes. firstEnd is where the first image ended.
std::optional<std::uint64_t> mpoEnd(CandidateReader& r, const MpIndex& mp, std::uint64_t firstEnd) {
    const std::uint64_t h = mp.header;
    const bool little = r.matches(h, "II*\0");
    if (!little && !r.matches(h, "MM\0*"))
        return firstEnd;  // an index we cannot read: the first image stands alone
    const auto u16 = [&](std::uint64_t o) { return little ? r.le16(h + o) : r.be16(h + o); };
    const auto u32 = [&](std::uint64_t o) { return little ? r.le32(h + o) : r.be32(h + o); };
    const std::uint64_t ifd = u32(4);
    const std::uint32_t tags = std::min<std::uint32_t>(u16(ifd), 32);
    std::uint64_t end = firstEnd;
    for (std::uint32_t t = 0; t < tags; ++t) {
        const std::uint64_t tag = ifd + 2 + 12 * std::uint64_t{t};
        if (u16(tag) != 0xB002)
            continue;
        const std::uint32_t entries = std::min(u32(tag + 4) / 16, kMaxMpEntries);
        const std::uint64_t list = u32(tag + 8);
        for (std::uint32_t e = 1; e < entries; ++e) {
            const std::uint64_t size = u32(list + 16 * std::uint64_t{e} + 4);
            const std::uint64_t offset = u32(list + 16 * std::uint64_t{e} + 8);
            if (offset == 0 || size == 0)
                continue;  // an entry for an image kept elsewhere
            const std::uint64_t at = h + offset;
            if (at < firstEnd || !r.has(at, 3) || r.u8(at) != 0xFF || r.u8(at + 1) != kSoi || !r.has(at + size - 1, 1))
                return std::nullopt;
            end = std::max(end, at + size);
        }
    }
    return end;
}
/// The first 4 KiB of zero bytes in [from, to), from where the zeros begin, or nothing.
std::optional<std::uint64_t> firstBlankBlock(CandidateReader& r, std::uint64_t from, std::uint64_t to) {
    std::uint64_t zerosFrom = from;
    for (std::uint64_t at = from; at < to;) {
        const ByteView piece = r.view(at, static_cast<std::size_t>(std::min<std::uint64_t>(to - at, 65536)));
        if (piece.empty())
            break;
        for (std::size_t i = 0; i < piece.size(); ++i) {
            if (piece.data()[i] != 0)
                zerosFrom = at + i + 1;
            else if (at + i + 1 - zerosFrom >= kBlankBlock)
                return zerosFrom;
        }
        at += piece.size();
    }
    return std::nullopt;
}
}  // namespace

Validation validateJpeg(CandidateReader& r) {
    if (!r.has(0, 4) || r.u8(0) != 0xFF || r.u8(1) != kSoi || r.u8(2) != 0xFF || !canOpen(r.u8(3)))
        return Validation::notThisType();
    bool sawFrame = false;
    bool sawScan = false;
    MpIndex mp;
    // The segments before the first scan's data name what they hold (an EXIF thumbnail): a JPEG
    // found there is a part of this one.
    std::uint64_t header = 0;
    const auto damagedAt = [&header](std::uint64_t k, std::string_view extension = {}) {
        Validation v = Validation::damaged(k, extension);
        v.owned = std::min(header, k);
        return v;
    };
    std::uint64_t pos = 2;  // always the start of a marker that has to be there
    // Every turn moves pos forward, and reads stop at the reader's limit: the walk ends.
    for (;;) {
        if (!r.has(pos, 2) || r.u8(pos) != 0xFF)
            break;
        std::uint64_t at = pos;
        while (r.u8(at + 1) == 0xFF && r.has(at + 2, 1))
            ++at;  // fill bytes before a marker
        const std::uint8_t m = r.u8(at + 1);
        if (m == kEoi) {
            if (!sawScan)
                break;
            const std::uint64_t end = at + 2;
            if (!mp.present)
                return Validation::whole(end);
            const auto whole = mpoEnd(r, mp, end);
            if (!whole)
                return damagedAt(end, "mpo");
            return Validation::whole(*whole, *whole > end ? "mpo" : "");
        }
        if (m == kTem) {
            pos = at + 2;
            continue;
        }
        if (!hasLength(m) || !r.has(at + 2, 2))
            break;
        const std::uint64_t length = r.be16(at + 2);
        const std::uint64_t next = at + 2 + length;
        if (length < 2 || !r.has(next - 1, 1))
            break;
        if (isFrame(m)) {
            // A frame header's length follows from its component count; precision and size are
            // never zero. Random bytes seldom agree, real files always do.
            const ByteView frame = r.view(at + 4, 6);
            const std::uint8_t components = frame.u8(5);
            if (components == 0 || components > 4 || length != 8 + 3u * components || frame.u8(0) == 0 || frame.be16(3) == 0)
                break;
            sawFrame = true;
        }
        if (m == 0xE2 && !mp.present && length >= 16 && r.matches(at + 4, std::string_view("MPF\0", 4)))
            mp = {at + 8, true};
        if (m != kSos) {
            pos = next;
            continue;
        }
        if (!sawFrame)
            break;  // a scan before its frame header
        sawScan = true;
        header = header == 0 ? next : header;
        // Entropy-coded data: FF is followed by 00 (a stuffed byte), a restart marker or fill
        // bytes; any other marker ends the scan.
        std::uint64_t q = next;
        for (;;) {
            const auto hit = r.find(0xFF, q, r.limit());
            const std::uint64_t stretch = (hit ? *hit : readablePrefix(r, r.limit())) - q;
            if (stretch >= kLongStretch) {
                // Coded data holds an FF every few hundred bytes; a long stretch without one may be
                // empty space the photo's lost end left behind: the photo is cut where that begins.
                if (const auto blank = firstBlankBlock(r, q, q + stretch))
                    return damagedAt(*blank);
            }
            if (!hit || !r.has(*hit + 1, 1))
                return damagedAt(readablePrefix(r, r.limit()));  // cut inside the scan
            const std::uint8_t b = r.u8(*hit + 1);
            if (b == 0x00 || isRestart(b)) {
                q = *hit + 2;
            } else if (b == 0xFF) {
                q = *hit + 1;
            } else {
                pos = *hit;
                break;
            }
        }
    }
    // The walk met something that is no marker, or ran out of bytes, at pos.
    if (!sawFrame)
        return Validation::notThisType();
    return damagedAt(pos);
}

}  // namespace formats
