#include "formats/TiffFormat.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

#include "formats/CandidateReader.h"
#include "formats/FormatWalk.h"
#include "formats/TiffIfd.h"

namespace formats {
namespace {
constexpr std::size_t kMaxIfds = 64;
constexpr std::uint32_t kMaxEntries = 4096;
constexpr std::uint64_t kMaxArrayValues = std::uint64_t{1} << 20;

// Tags whose values point at more of the file.
constexpr std::uint16_t kStripOffsets = 273, kStripByteCounts = 279;
constexpr std::uint16_t kTileOffsets = 324, kTileByteCounts = 325;
constexpr std::uint16_t kThumbnailOffset = 513, kThumbnailLength = 514;
constexpr std::uint16_t kSubIfds = 330, kExifIfd = 34665, kGpsIfd = 34853, kInteropIfd = 40965;
constexpr std::uint16_t kMake = 271, kDngVersion = 50706, kPhotometric = 262;
// Photometric values of a sensor's own data: a colour filter array, or linear raw.
constexpr std::uint64_t kColourFilterArray = 32803, kLinearRaw = 34892;

// Tags that say how large an IFD's image is, for the test of its strip and tile sizes.
constexpr std::uint16_t kWidth = 256, kHeight = 257, kBitsPerSample = 258, kCompression = 259;
constexpr std::uint16_t kSamplesPerPixel = 277, kRowsPerStrip = 278, kPlanar = 284;
constexpr std::uint16_t kTileWidth = 322, kTileLength = 323;
/// A value larger than this is no real tag's (maker notes, ICC profiles and XMP stay far below).
constexpr std::uint64_t kMaxValueBytes = 16 * 1024 * 1024;
/// Coded strips and tiles may outgrow their raw size a little (a tiny JPEG's tables, LZW on noise).
constexpr std::uint64_t kCodedSlack = 64 * 1024;
/// A stretch no IFD names is what a writer leaves for alignment or unnamed maker data: at most
/// this, or an eighth of the file up to it. Past a larger one the rest is no part of the file.
constexpr std::uint64_t kMaxGap = 64 * 1024;

class TiffWalk {
public:
    TiffWalk(CandidateReader& r, bool little) : r_(r), tiff_(r, 0, little) {}

    /// Walks every IFD reachable from first; false when the first is no IFD at all.
    bool walk(std::uint64_t first) {
        pending_[pendingCount_++] = first;
        while (pendingCount_ > 0) {
            const std::uint64_t ifd = pending_[--pendingCount_];
            if (ifd == 0 || std::find(seen_.begin(), seen_.begin() + static_cast<long>(seenCount_), ifd) !=
                                seen_.begin() + static_cast<long>(seenCount_))
                continue;
            if (seenCount_ == kMaxIfds)
                return true;
            seen_[seenCount_++] = ifd;
            if (!readIfd(ifd)) {
                if (seenCount_ == 1)
                    return false;
                unsound_ = true;  // an offset that names no IFD: what was read stands, damaged
            }
        }
        return true;
    }

    /// Where the file ends: past the last named byte of the stretch that runs from the header with
    /// no larger gap than a writer leaves. Named bytes beyond it make the file damaged there.
    std::uint64_t end() {
        std::sort(spans_.begin(), spans_.end());
        std::uint64_t end = 8;
        for (const auto& [from, to] : spans_) {
            if (from > end && from - end > std::max(kMaxGap, end / 8)) {
                unsound_ = true;  // named far away, past bytes no IFD names
                break;
            }
            end = std::max(end, to);
        }
        return end;
    }
    /// Where its strips, tiles and thumbnails that may be pictures of their own begin.
    std::vector<std::uint64_t>& parts() { return parts_; }
    /// Some offset or length the IFDs give cannot be what it names: the file is not whole.
    bool unsound() const { return unsound_; }
    bool hasImageData() const { return imageData_; }
    std::string_view extension() const { return extension_; }
    /// The maker's raw type, only when an IFD holds the sensor's own data: a camera maker's
    /// plain TIFF (RGB pictures only) stays a TIFF.
    std::string_view makerExtension() const { return sensorData_ ? makerExtension_ : std::string_view(); }

private:
    void reach(std::uint64_t offset, std::uint64_t length) {
        if (length == 0)
            return;
        if (offset > UINT64_MAX - length || offset < 8) {
            unsound_ = true;
            return;
        }
        // Strips one after another make one stretch.
        if (!spans_.empty() && spans_.back().second == offset)
            spans_.back().second = offset + length;
        else if (spans_.size() < kMaxSpans)
            spans_.emplace_back(offset, offset + length);
        else
            unsound_ = true;  // no real file names so many separate pieces
    }
    void follow(std::uint64_t offset) {
        if (pendingCount_ < pending_.size())
            pending_[pendingCount_++] = offset;
    }
    std::uint64_t value(std::uint16_t type, std::uint64_t at, std::uint64_t i) { return tiff_.value(type, at, i); }

    struct Array {
        std::uint16_t type = 0;
        std::uint64_t count = 0, at = 0;
    };
    /// What an IFD says of its image's size; 0 where it says nothing.
    struct Geometry {
        std::uint64_t width = 0, height = 0, samples = 1, compression = 1, rowsPerStrip = 0, planar = 1;
        std::uint64_t tileWidth = 0, tileLength = 0;
        Array bits;
    };

    /// The largest strip (k 0) or tile (k 1) the IFD's geometry allows, or 0 when it tells none.
    std::uint64_t largestPiece(const Geometry& g, int k) {
        std::uint64_t bits = 0;  // bits per pixel of one strip or tile
        const std::uint64_t planes = g.planar == 2 ? g.samples : 1;
        for (std::uint64_t i = 0; i < std::min<std::uint64_t>(g.bits.count, 16); ++i)
            bits += value(g.bits.type, g.bits.at, i);
        if (g.bits.count == 1)
            bits *= g.samples;
        if (g.bits.count == 0)
            bits = g.samples;  // one bit a sample when the tag is left out
        bits = (bits + planes - 1) / planes;
        const std::uint64_t w = k == 0 ? g.width : g.tileWidth;
        const std::uint64_t h = k == 0 ? (g.rowsPerStrip > 0 ? std::min(g.rowsPerStrip, g.height) : g.height) : g.tileLength;
        if (w == 0 || h == 0 || bits == 0 || w > (1u << 20) || h > (1u << 20) || bits > 1024)
            return 0;
        const std::uint64_t raw = (w * bits + 7) / 8 * h;
        return g.compression == 1 ? raw : 2 * raw + kCodedSlack;
    }

    bool readIfd(std::uint64_t ifd) {
        if (ifd < 8 || !r_.has(ifd, 2))
            return false;
        const std::uint32_t count = tiff_.u16(ifd);
        if (count == 0 || count > kMaxEntries || !r_.has(ifd + 2, 12 * count + 4))
            return false;
        reach(ifd, 2 + 12 * std::uint64_t{count} + 4);
        Array offsets[3], lengths[3];  // strips, tiles, thumbnail
        Geometry g;
        std::uint16_t previous = 0;
        for (std::uint32_t e = 0; e < count; ++e) {
            const TiffEntry entry = tiff_.entry(ifd, e);
            const std::uint16_t tag = entry.tag, type = entry.type;
            const std::uint64_t n = entry.count, at = entry.valueAt;
            if (e > 0 && tag <= previous && seenCount_ == 1)
                return false;  // the first IFD of a real file lists its tags in order
            previous = tag;
            if (entry.size > kMaxValueBytes)
                unsound_ = true;
            else if (entry.size > 4)
                reach(at, entry.size);
            const Array array{type, std::min(n, kMaxArrayValues), at};
            const bool integers = type == 3 || type == 4 || type == 13;
            const std::uint64_t single = integers && n >= 1 ? value(type, at, 0) : 0;
            switch (tag) {
            case kStripOffsets: offsets[0] = array; break;
            case kStripByteCounts: lengths[0] = array; break;
            case kTileOffsets: offsets[1] = array; break;
            case kTileByteCounts: lengths[1] = array; break;
            case kThumbnailOffset: offsets[2] = array; break;
            case kThumbnailLength: lengths[2] = array; break;
            case kWidth: g.width = single; break;
            case kHeight: g.height = single; break;
            case kBitsPerSample: if (integers) g.bits = array; break;
            case kCompression: g.compression = single; break;
            case kSamplesPerPixel: g.samples = std::max<std::uint64_t>(single, 1); break;
            case kRowsPerStrip: g.rowsPerStrip = single; break;
            case kPlanar: g.planar = single; break;
            case kTileWidth: g.tileWidth = single; break;
            case kTileLength: g.tileLength = single; break;
            case kSubIfds:
            case kExifIfd:
            case kGpsIfd:
            case kInteropIfd:
                for (std::uint64_t i = 0; integers && i < std::min<std::uint64_t>(n, 16); ++i)
                    follow(value(type, at, i));
                break;
            case kMake:
                if (type == 2)
                    nameMaker(at, n);
                break;
            case kDngVersion:
                extension_ = "dng";
                break;
            case kPhotometric:
                if (type == 3 && n == 1)
                    sensorData_ = sensorData_ || value(type, at, 0) == kColourFilterArray || value(type, at, 0) == kLinearRaw;
                break;
            default:
                break;
            }
        }
        for (int k = 0; k < 3; ++k) {
            const std::uint64_t values = std::min(offsets[k].count, lengths[k].count);
            // A strip or tile larger than the picture's size allows is a length that was damaged.
            const std::uint64_t largest = k < 2 ? largestPiece(g, k) : 0;
            for (std::uint64_t i = 0; i < values; ++i) {
                const std::uint64_t length = value(lengths[k].type, lengths[k].at, i);
                if (largest > 0 && length > largest) {
                    unsound_ = true;  // its picture is there, its pixels are not where the IFD says
                    imageData_ = true;
                    continue;
                }
                const std::uint64_t offset = value(offsets[k].type, offsets[k].at, i);
                reach(offset, length);
                imageData_ = imageData_ || length > 0;
                // A JPEG preview or JPEG-coded strips and tiles are pictures found inside the file.
                if ((i == 0 || k == 2 || g.compression == 6 || g.compression == 7) && parts_.size() < kMaxParts && length > 0)
                    parts_.push_back(offset);
            }
        }
        follow(tiff_.u32(ifd + 2 + 12 * std::uint64_t{count}));
        return true;
    }

    void nameMaker(std::uint64_t at, std::uint64_t n) {
        const ByteView make = r_.view(at, static_cast<std::size_t>(std::min<std::uint64_t>(n, 32)));
        const std::string text(reinterpret_cast<const char*>(make.data()), make.size());
        if (!extension_.empty())
            return;  // DNG wins over the maker
        struct Maker {
            std::string_view prefix, extension;
        };
        static constexpr Maker kMakers[] = {{"NIKON", "nef"},  {"SONY", "arw"},    {"PENTAX", "pef"}, {"RICOH", "pef"},
                                            {"SAMSUNG", "srw"}, {"OLYMPUS", "orf"}, {"OM Digital", "orf"},
                                            {"Panasonic", "rw2"}, {"LEICA", "rw2"}, {"Canon", "cr2"}};
        for (const Maker& m : kMakers)
            if (text.compare(0, m.prefix.size(), m.prefix) == 0)
                makerExtension_ = m.extension;
    }

    static constexpr std::size_t kMaxSpans = std::size_t{1} << 16;
    static constexpr std::size_t kMaxParts = 256;
    CandidateReader& r_;
    TiffBytes tiff_;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans_;  ///< [from, to) of every named piece
    std::vector<std::uint64_t> parts_;
    bool unsound_ = false;
    bool imageData_ = false;
    bool sensorData_ = false;
    std::string_view extension_;
    std::string_view makerExtension_;
    std::array<std::uint64_t, kMaxIfds> seen_{};
    std::size_t seenCount_ = 0;
    std::array<std::uint64_t, 4 * kMaxIfds> pending_{};
    std::size_t pendingCount_ = 0;
};

/// Whole when every byte up to end can be read, otherwise damaged where the readable bytes end.
Validation wholeOrCut(CandidateReader& r, std::uint64_t end, std::string_view extension) {
    const std::uint64_t readable = readablePrefix(r, end);
    if (readable == end)
        return Validation::whole(end, extension);
    return readable > 0 ? Validation::damaged(readable, extension) : Validation::notThisType();
}
}  // namespace

Validation validateTiff(CandidateReader& r) {
    const ByteView head = r.view(0, 8);
    if (head.size() < 8)
        return Validation::notThisType();
    const bool little = head.u8(0) == 'I' && head.u8(1) == 'I';
    if (!little && !(head.u8(0) == 'M' && head.u8(1) == 'M'))
        return Validation::notThisType();
    const std::uint16_t magic = little ? head.le16(2) : head.be16(2);
    // 42: TIFF and most raws; Olympus and Panasonic raws write their own numbers there.
    std::string_view rowExtension;
    if (magic == 0x4F52 || magic == 0x5352)
        rowExtension = "orf";
    else if (magic == 0x0055)
        rowExtension = "rw2";
    else if (magic != 42)
        return Validation::notThisType();
    const std::uint64_t first = little ? head.le32(4) : head.be32(4);
    TiffWalk walk(r, little);
    if (!walk.walk(first) || !walk.hasImageData())
        return Validation::notThisType();
    const std::uint64_t end = walk.end();
    std::string_view extension = walk.extension().empty() ? walk.makerExtension() : walk.extension();
    if (!rowExtension.empty())
        extension = rowExtension;
    if (extension == "tif")
        extension = {};
    Validation v = wholeOrCut(r, end, extension);
    if (walk.unsound() && v.verdict == Verdict::Whole)
        v = Validation::damaged(end, extension);
    v.parts = std::move(walk.parts());
    return v;
}

Validation validateRaf(CandidateReader& r) {
    if (!r.matches(0, "FUJIFILMCCD-RAW ") || !r.has(0, 0x6C))
        return Validation::notThisType();
    // Big-endian (offset, length) pairs: the preview JPEG, the CFA header, the CFA data.
    std::uint64_t end = 0x6C;
    for (const std::uint64_t pair : {0x54, 0x5C, 0x64}) {
        const std::uint64_t offset = r.be32(pair);
        const std::uint64_t length = r.be32(pair + 4);
        if (length > 0 && offset < 0x6C)
            return Validation::notThisType();
        end = std::max(end, offset + length);
    }
    if (r.be32(0x54) == 0 || r.u8(r.be32(0x54)) != 0xFF)
        return Validation::notThisType();  // every RAF carries its preview JPEG
    return wholeOrCut(r, end, {});
}

Validation validateCrw(CandidateReader& r) {
    if (!r.has(0, 14) || !r.matches(0, "II") || !r.matches(6, "HEAPCCDR"))
        return Validation::notThisType();
    const std::uint64_t heap = r.le32(2);
    if (heap < 14 || heap > 512)
        return Validation::notThisType();
    // The root heap's record table stands at its end, and the heap's last four bytes give the
    // table's offset in the heap: the file ends at the first place where that holds.
    for (std::uint64_t q = heap + 4; q + 4 <= r.limit(); ++q) {
        const ByteView tail = r.view(q, 4);
        if (tail.size() < 4)
            return wholeOrCut(r, q + 4, {});
        const std::uint64_t table = tail.le32(0);
        if (table + 2 > q - heap)
            continue;
        const std::uint64_t span = q - heap - table - 2;
        if (span == 0 || span % 10 != 0 || span / 10 > 1000 || r.le16(heap + table) != span / 10)
            continue;
        bool sound = true;
        for (std::uint64_t i = 0; sound && i < span / 10; ++i) {
            const std::uint64_t record = heap + table + 2 + 10 * i;
            const std::uint16_t tag = r.le16(record);
            if ((tag & 0xC000) == 0)  // data in the heap, before the table
                sound = std::uint64_t{r.le32(record + 2)} + r.le32(record + 6) <= table;
        }
        if (sound)
            return Validation::whole(q + 4);
    }
    return Validation::notThisType();
}

}  // namespace formats
