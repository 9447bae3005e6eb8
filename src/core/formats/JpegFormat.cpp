#include "formats/JpegFormat.h"

#include <algorithm>
#include <optional>
#include <string_view>

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

/// What the frame header says of the picture's blocks, for the count of restart markers a scan
/// holds. Only Huffman-coded sequential frames (SOF0, SOF1) are counted.
struct FrameShape {
    bool counted = false;
    std::uint32_t width = 0, height = 0;
    std::uint8_t components = 0, hMax = 1, vMax = 1;
    std::uint8_t id[4] = {}, h[4] = {}, v[4] = {};
};

FrameShape readFrame(const ByteView frame, std::uint8_t marker) {
    FrameShape f;
    f.height = frame.be16(1);
    f.width = frame.be16(3);
    f.components = std::min<std::uint8_t>(frame.u8(5), 4);
    f.counted = marker == 0xC0 || marker == 0xC1;
    for (std::uint8_t c = 0; c < f.components; ++c) {
        f.id[c] = frame.u8(6 + 3u * c);
        f.h[c] = static_cast<std::uint8_t>(frame.u8(7 + 3u * c) >> 4);
        f.v[c] = static_cast<std::uint8_t>(frame.u8(7 + 3u * c) & 15);
        if (f.h[c] == 0 || f.v[c] == 0 || f.h[c] > 4 || f.v[c] > 4)
            f.counted = false;
        f.hMax = std::max(f.hMax, f.h[c]);
        f.vMax = std::max(f.vMax, f.v[c]);
    }
    return f;
}

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

/// The restart markers a scan of the frame holds with a restart interval of interval units: one
/// after every interval units but the last. Nothing when it cannot be told.
std::optional<std::uint64_t> restartsInScan(const FrameShape& f, std::uint16_t interval, std::uint8_t scanComponents,
                                            std::uint8_t firstId) {
    if (!f.counted || interval == 0 || f.width == 0 || f.height == 0 || scanComponents == 0)
        return std::nullopt;
    std::uint64_t units = 0;
    if (scanComponents == 1 && f.components > 1) {
        // A scan of one component codes its blocks one by one.
        const auto c = static_cast<std::size_t>(std::find(f.id, f.id + f.components, firstId) - f.id);
        if (c >= f.components)
            return std::nullopt;
        units = ceilDiv(ceilDiv(std::uint64_t{f.width} * f.h[c], f.hMax), 8) * ceilDiv(ceilDiv(std::uint64_t{f.height} * f.v[c], f.vMax), 8);
    } else if (scanComponents == f.components) {
        units = ceilDiv(f.width, 8u * f.hMax) * ceilDiv(f.height, 8u * f.vMax);
    } else {
        return std::nullopt;
    }
    return ceilDiv(units, interval) - 1;
}

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
/// The XMP packet of an APP1 segment: where its text starts and how long it is.
struct XmpPacket {
    std::uint64_t at = 0, length = 0;
};
constexpr std::string_view kXmpName("http://ns.adobe.com/xap/1.0/\0", 29);

/// The decimal numbers given for name in the XMP text, as an attribute (name="12") or an element
/// (<name>12</name>), added up; nothing when none is given.
std::optional<std::uint64_t> xmpNumbers(std::string_view xmp, std::string_view name) {
    std::optional<std::uint64_t> sum;
    for (std::size_t at = xmp.find(name); at != std::string_view::npos; at = xmp.find(name, at + 1)) {
        std::size_t p = at + name.size();
        if (p < xmp.size() && xmp[p] == '=')
            ++p;
        if (p < xmp.size() && (xmp[p] == '"' || xmp[p] == '\'' || xmp[p] == '>'))
            ++p;
        std::uint64_t n = 0;
        std::size_t digits = 0;
        for (; p < xmp.size() && xmp[p] >= '0' && xmp[p] <= '9' && digits < 12; ++p, ++digits)
            n = n * 10 + static_cast<std::uint64_t>(xmp[p] - '0');
        if (digits > 0)
            sum = sum.value_or(0) + n;
    }
    return sum;
}

/// Where what the XMP announces after the JPEG's end ends: a motion photo's video (its length
/// given as the micro-video offset, or as the lengths and paddings of the container's items),
/// when an MP4 or QuickTime box starts right at end. Nothing when it announces nothing there.
std::optional<std::uint64_t> announcedEnd(CandidateReader& r, const XmpPacket& xmp, std::uint64_t end) {
    if (xmp.length == 0 || !r.matches(end + 4, "ftyp"))
        return std::nullopt;
    const ByteView v = r.view(xmp.at, static_cast<std::size_t>(xmp.length));
    const std::string_view text(reinterpret_cast<const char*>(v.data()), v.size());
    std::optional<std::uint64_t> video = xmpNumbers(text, "MicroVideoOffset");
    if (!video) {
        const auto lengths = xmpNumbers(text, "Item:Length");
        if (lengths)
            video = *lengths + xmpNumbers(text, "Item:Padding").value_or(0);
    }
    if (!video || *video < 8 || !r.has(end + *video - 1, 1))
        return std::nullopt;
    return end + *video;
}

/// Where a maker's trailer right after end closes: data blocks (each 00 00, a type, a name's
/// length and the name), then a directory "SEFH" giving each block's distance back from it, its
/// length, and "SEFT". Nothing when no such trailer starts at end.
std::optional<std::uint64_t> makerTrailerEnd(CandidateReader& r, std::uint64_t end) {
    constexpr std::uint64_t kMaxTrailer = 64 * 1024 * 1024;
    const ByteView block = r.view(end, 8);
    if (block.size() < 8 || block.le16(0) != 0 || block.le32(4) == 0 || block.le32(4) > 64)
        return std::nullopt;
    for (std::uint64_t i = 0; i < block.le32(4); ++i) {
        const std::uint8_t c = r.u8(end + 8 + i);
        if (c < 0x20 || c > 0x7E)
            return std::nullopt;
    }
    const std::uint64_t to = std::min(r.limit(), end + kMaxTrailer);
    for (std::uint64_t at = end + 8; at < to;) {
        const auto hit = r.find('S', at, to);
        if (!hit)
            return std::nullopt;
        at = *hit + 1;
        if (!r.matches(*hit, "SEFT") || *hit < end + 4)
            continue;
        const std::uint64_t directory = r.le32(*hit - 4);
        if (directory < 12 || directory + 4 > *hit - end)
            continue;
        const std::uint64_t sefh = *hit - 4 - directory;
        if (!r.matches(sefh, "SEFH"))
            continue;
        // The first block begins right at end: the furthest distance back reaches it.
        const std::uint64_t blocks = std::min<std::uint64_t>(r.le32(sefh + 8), (directory - 12) / 12);
        std::uint64_t furthest = 0;
        for (std::uint64_t b = 0; b < blocks; ++b)
            furthest = std::max<std::uint64_t>(furthest, r.le32(sefh + 12 + 12 * b + 4));
        if (furthest == sefh - end)
            return *hit + 4;
    }
    return std::nullopt;
}

/// The file's end after its last image ended at end: what the XMP announces, then a maker's trailer.
std::uint64_t trailersEnd(CandidateReader& r, const XmpPacket& xmp, std::uint64_t end) {
    if (const auto video = announcedEnd(r, xmp, end))
        end = *video;
    if (const auto trailer = makerTrailerEnd(r, end))
        end = *trailer;
    return end;
}
}  // namespace

Validation validateJpeg(CandidateReader& r) {
    if (!r.has(0, 4) || r.u8(0) != 0xFF || r.u8(1) != kSoi || r.u8(2) != 0xFF || !canOpen(r.u8(3)))
        return Validation::notThisType();
    bool sawFrame = false;
    bool sawScan = false;
    FrameShape shape;
    std::uint16_t restartInterval = 0;
    MpIndex mp;
    XmpPacket xmp;
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
                return Validation::whole(trailersEnd(r, xmp, end));
            const auto whole = mpoEnd(r, mp, end);
            if (!whole)
                return damagedAt(end, "mpo");
            return Validation::whole(trailersEnd(r, xmp, *whole), *whole > end ? "mpo" : "");
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
            if (!sawFrame)
                shape = readFrame(r.view(at + 4, 6 + 3u * components), m);
            sawFrame = true;
        }
        // The restart interval and a scan header have lengths of their own: another one is no
        // photo's segment.
        if ((m == 0xDD && length != 4) || (m == kSos && (length < 8 || length != 6 + 2u * r.u8(at + 4) || length > 14)))
            break;
        if (m == 0xDD)
            restartInterval = r.be16(at + 4);
        if (m == 0xE1 && xmp.length == 0 && length > 2 + kXmpName.size() && r.matches(at + 4, kXmpName))
            xmp = {at + 4 + kXmpName.size(), length - 2 - kXmpName.size()};
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
        // bytes; any other marker ends the scan. Restart markers count 0 to 7 over and over from
        // each scan's start: one out of turn is where other bytes took the place of the photo's.
        // A scan holds as many as its blocks and the restart interval make.
        const std::optional<std::uint64_t> restartsDue = restartsInScan(shape, restartInterval, r.u8(at + 4), r.u8(at + 5));
        std::uint64_t q = next;
        std::uint8_t restart = 0;
        std::uint64_t restarts = 0;
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
            if (isRestart(b) && b != 0xD0 + restart)
                return damagedAt(*hit);
            if (b == 0x00 || isRestart(b)) {
                restart = isRestart(b) ? static_cast<std::uint8_t>((restart + 1) & 7) : restart;
                restarts += isRestart(b) ? 1 : 0;
                q = *hit + 2;
            } else if (b == 0xFF) {
                q = *hit + 1;
            } else {
                // Some writers put one more restart marker after the last interval.
                if (restartsDue && restarts != *restartsDue && restarts != *restartsDue + 1)
                    return damagedAt(*hit);
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
