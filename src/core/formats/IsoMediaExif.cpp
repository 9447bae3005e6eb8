#include "formats/IsoMediaExif.h"

#include <string_view>
#include <utility>

#include "formats/FormatWalk.h"

namespace formats {
namespace {
using Span = std::pair<std::uint64_t, std::uint64_t>;  ///< a box body [begin, end)

constexpr int kMaxItems = 65536;  ///< item entries read at most: far past any phone's tiled picture

/// Big-endian fields read in order within a box body; a read past the body fails the cursor.
class FieldCursor {
public:
    FieldCursor(CandidateReader& r, Span body) : r_(r), at_(body.first), end_(body.second) {}

    /// A field of 0 to 8 bytes (0: absent, reads as 0).
    std::uint64_t take(unsigned width) {
        if (width == 0)
            return 0;
        if (!ok_ || width > end_ - at_ || !r_.has(at_, width)) {
            ok_ = false;
            return 0;
        }
        const std::uint64_t value = r_.view(at_, width).be(0, width);
        at_ += width;
        return value;
    }
    /// A full box's version; its flags are passed over.
    unsigned version() {
        const auto v = static_cast<unsigned>(take(1));
        skip(3);
        return v;
    }
    void skip(std::uint64_t n) {
        if (!ok_ || n > end_ - at_)
            ok_ = false;
        else
            at_ += n;
    }
    bool ok() const { return ok_; }
    std::uint64_t at() const { return at_; }

private:
    CandidateReader& r_;
    std::uint64_t at_, end_;
    bool ok_ = true;
};

/// The children of a full box start after its version and flags.
std::optional<Span> fullBoxChildren(std::optional<Span> box) {
    if (!box || box->second - box->first < 4)
        return std::nullopt;
    return Span{box->first + 4, box->second};
}

/// The ID of the first item of type "Exif" listed in iinf (item entries of version 2 or 3; the
/// older ones carry no item type).
std::optional<std::uint32_t> exifItemId(CandidateReader& r, Span meta) {
    const auto iinf = childBox(r, meta.first, meta.second, "iinf");
    if (!iinf)
        return std::nullopt;
    FieldCursor head(r, *iinf);
    head.skip(head.version() == 0 ? 2 : 4);  // the entry count: the boxes that follow say as much
    if (!head.ok())
        return std::nullopt;
    std::uint64_t at = head.at();
    for (int i = 0; i < kMaxItems; ++i) {
        const auto infe = childBox(r, at, iinf->second, "infe");
        if (!infe)
            return std::nullopt;
        at = infe->second;
        FieldCursor entry(r, *infe);
        const unsigned entryVersion = entry.version();
        if (entryVersion < 2)
            continue;
        const auto id = static_cast<std::uint32_t>(entry.take(entryVersion == 2 ? 2 : 4));
        entry.skip(2);  // protection index
        const std::uint64_t type = entry.take(4);
        if (entry.ok() && type == 0x45786966)  // "Exif"
            return id;
    }
    return std::nullopt;
}

/// Where the item's first extent lies, from the candidate's first byte: in the file (construction
/// method 0) or in the meta box's idat (method 1). Items of other files or built of other items
/// are not followed.
std::optional<Span> itemExtent(CandidateReader& r, Span meta, std::uint32_t wanted) {
    const auto iloc = childBox(r, meta.first, meta.second, "iloc");
    if (!iloc)
        return std::nullopt;
    FieldCursor c(r, *iloc);
    const unsigned version = c.version();
    const unsigned sizes = static_cast<unsigned>(c.take(2));
    const unsigned offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 15, baseSize = (sizes >> 4) & 15;
    const unsigned indexSize = version == 1 || version == 2 ? sizes & 15 : 0;
    for (unsigned width : {offsetSize, lengthSize, baseSize, indexSize})
        if (width != 0 && width != 4 && width != 8)
            return std::nullopt;
    const std::uint64_t count = c.take(version < 2 ? 2 : 4);
    for (std::uint64_t item = 0; item < count && item < kMaxItems && c.ok(); ++item) {
        const std::uint64_t id = c.take(version < 2 ? 2 : 4);
        const unsigned method = version == 1 || version == 2 ? static_cast<unsigned>(c.take(2) & 15) : 0;
        const std::uint64_t dataReference = c.take(2);
        const std::uint64_t base = c.take(baseSize);
        const std::uint64_t extents = c.take(2);
        if (id != wanted) {
            c.skip(extents * (indexSize + offsetSize + lengthSize));
            continue;
        }
        c.skip(indexSize);
        const std::uint64_t offset = c.take(offsetSize), length = c.take(lengthSize);
        if (!c.ok() || extents == 0 || dataReference != 0 || method > 1)
            return std::nullopt;
        std::uint64_t origin = 0;
        if (method == 1) {
            const auto idat = childBox(r, meta.first, meta.second, "idat");
            if (!idat)
                return std::nullopt;
            origin = idat->first;
        }
        const std::uint64_t limit = r.limit();
        if (base > limit || offset > limit - base || origin > limit - base - offset)
            return std::nullopt;
        const std::uint64_t begin = origin + base + offset;
        // A length of 0 runs the extent to the end of the file.
        if (length == 0)
            return Span{begin, limit};
        if (length > limit - begin)
            return std::nullopt;
        return Span{begin, begin + length};
    }
    return std::nullopt;
}

/// The body of the child of type inside the uuid box with the given extended type.
std::optional<Span> inUuidBox(CandidateReader& r, Span parent, std::string_view uuid, std::string_view type) {
    std::uint64_t at = parent.first;
    for (int i = 0; i < kMaxItems; ++i) {
        const auto box = childBox(r, at, parent.second, "uuid");
        if (!box || box->second - box->first < uuid.size())
            return std::nullopt;
        if (r.matches(box->first, uuid))
            return childBox(r, box->first + uuid.size(), box->second, type);
        at = box->second;
    }
    return std::nullopt;
}
}  // namespace

std::optional<ExifInfo> readHeifExif(CandidateReader& r) {
    const auto meta = fullBoxChildren(childBox(r, 0, r.limit(), "meta"));
    const auto id = meta ? exifItemId(r, *meta) : std::nullopt;
    const auto extent = id ? itemExtent(r, *meta, *id) : std::nullopt;
    if (!extent || extent->second - extent->first < 4)
        return std::nullopt;
    // The item opens with the offset of the TIFF header from the end of this field.
    if (!r.has(extent->first, 4))
        return std::nullopt;
    const std::uint64_t headerOffset = r.be32(extent->first);
    if (headerOffset > extent->second - extent->first - 4)
        return std::nullopt;
    return readTiffExif(r, extent->first + 4 + headerOffset, extent->second);
}

std::optional<ExifInfo> readCr3Exif(CandidateReader& r) {
    constexpr std::string_view kCanonUuid("\x85\xC0\xB6\x87\x82\x0F\x11\xE0\x81\x11\xF4\xCE\x46\x2B\x6A\x48", 16);
    const auto moov = childBox(r, 0, r.limit(), "moov");
    if (!moov)
        return std::nullopt;
    const auto cmt1 = inUuidBox(r, *moov, kCanonUuid, "CMT1");
    const auto cmt2 = inUuidBox(r, *moov, kCanonUuid, "CMT2");
    const std::optional<ExifInfo> ifd0 = cmt1 ? readTiffExif(r, cmt1->first, cmt1->second) : std::nullopt;
    const std::optional<ExifInfo> exifIfd = cmt2 ? readTiffExif(r, cmt2->first, cmt2->second) : std::nullopt;
    if (!ifd0 && !exifIfd)
        return std::nullopt;
    ExifInfo info = ifd0 ? *ifd0 : ExifInfo{};
    if (exifIfd && exifIfd->taken)
        info.taken = exifIfd->taken;
    return info;
}

}  // namespace formats
