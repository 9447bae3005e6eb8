#include "formats/TiffFormat.h"

#include <algorithm>
#include <array>
#include <string>

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

class TiffWalk {
public:
    TiffWalk(CandidateReader& r, bool little) : r_(r), tiff_(r, 0, little) {}

    /// Walks every IFD reachable from first; false when one of them is no IFD at all.
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
            if (!readIfd(ifd))
                return seenCount_ > 1;  // a broken further IFD: what was read stands
        }
        return true;
    }

    std::uint64_t end() const { return end_; }
    bool hasImageData() const { return imageData_; }
    std::string_view extension() const { return extension_; }
    /// The maker's raw type, only when an IFD holds the sensor's own data: a camera maker's
    /// plain TIFF (RGB pictures only) stays a TIFF.
    std::string_view makerExtension() const { return sensorData_ ? makerExtension_ : std::string_view(); }

private:
    void reach(std::uint64_t offset, std::uint64_t length) {
        if (length > 0 && offset <= UINT64_MAX - length)
            end_ = std::max(end_, offset + length);
    }
    void follow(std::uint64_t offset) {
        if (pendingCount_ < pending_.size())
            pending_[pendingCount_++] = offset;
    }
    std::uint64_t value(std::uint16_t type, std::uint64_t at, std::uint64_t i) { return tiff_.value(type, at, i); }

    bool readIfd(std::uint64_t ifd) {
        if (ifd < 8 || !r_.has(ifd, 2))
            return false;
        const std::uint32_t count = tiff_.u16(ifd);
        if (count == 0 || count > kMaxEntries || !r_.has(ifd + 2, 12 * count + 4))
            return false;
        reach(ifd, 2 + 12 * std::uint64_t{count} + 4);
        struct Array {
            std::uint16_t type = 0;
            std::uint64_t count = 0, at = 0;
        };
        Array offsets[3], lengths[3];  // strips, tiles, thumbnail
        std::uint16_t previous = 0;
        for (std::uint32_t e = 0; e < count; ++e) {
            const TiffEntry entry = tiff_.entry(ifd, e);
            const std::uint16_t tag = entry.tag, type = entry.type;
            const std::uint64_t n = entry.count, at = entry.valueAt;
            if (e > 0 && tag <= previous && seenCount_ == 1)
                return false;  // the first IFD of a real file lists its tags in order
            previous = tag;
            if (entry.size > 4)
                reach(at, entry.size);
            const Array array{type, std::min(n, kMaxArrayValues), at};
            const bool integers = type == 3 || type == 4 || type == 13;
            switch (tag) {
            case kStripOffsets: offsets[0] = array; break;
            case kStripByteCounts: lengths[0] = array; break;
            case kTileOffsets: offsets[1] = array; break;
            case kTileByteCounts: lengths[1] = array; break;
            case kThumbnailOffset: offsets[2] = array; break;
            case kThumbnailLength: lengths[2] = array; break;
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
            for (std::uint64_t i = 0; i < values; ++i) {
                const std::uint64_t length = value(lengths[k].type, lengths[k].at, i);
                reach(value(offsets[k].type, offsets[k].at, i), length);
                imageData_ = imageData_ || length > 0;
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

    CandidateReader& r_;
    TiffBytes tiff_;
    std::uint64_t end_ = 8;
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
    std::string_view extension = walk.extension().empty() ? walk.makerExtension() : walk.extension();
    if (!rowExtension.empty())
        extension = rowExtension;
    if (extension == "tif")
        extension = {};
    return wholeOrCut(r, walk.end(), extension);
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
