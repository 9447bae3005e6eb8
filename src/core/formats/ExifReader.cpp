#include "formats/ExifReader.h"

#include <algorithm>
#include <cctype>

#include "formats/FormatWalk.h"
#include "formats/TiffIfd.h"

namespace formats {
namespace {
constexpr std::uint16_t kMake = 271, kModel = 272, kDateTime = 306;
constexpr std::uint16_t kThumbnailOffset = 513, kThumbnailLength = 514;
constexpr std::uint16_t kExifIfd = 34665, kDateTimeOriginal = 36867;
constexpr std::uint32_t kMaxEntries = 1024;
constexpr std::uint64_t kMaxText = 128;
constexpr int kMaxJpegSegments = 64;  ///< APP1 comes first; a scan this far in has no EXIF

/// One TIFF structure's IFD0, EXIF IFD and IFD1, all of which must lie before end (the APP1
/// segment's end in a JPEG, the file's limit in a TIFF).
class ExifWalk {
public:
    ExifWalk(CandidateReader& r, std::uint64_t base, bool little, std::uint64_t end)
        : tiff_(r, base, little), end_(end) {}

    std::optional<ExifInfo> read() {
        const std::uint64_t ifd0 = tiff_.u32(4);
        ExifInfo info;
        std::uint64_t exifIfd = 0, next = 0;
        std::string dateTime, dateTimeOriginal;
        Thumbnail thumb;
        if (!walkIfd(ifd0, next, [&](const TiffEntry& e) {
                switch (e.tag) {
                case kMake: info.make = text(e); break;
                case kModel: info.model = text(e); break;
                case kDateTime: dateTime = text(e); break;
                // A structure holding the EXIF IFD alone (a CR3's CMT2) has the date in its first IFD.
                case kDateTimeOriginal: dateTimeOriginal = text(e); break;
                case kExifIfd: exifIfd = integer(e); break;
                default: thumb.take(*this, e); break;
                }
            }))
            return std::nullopt;
        if (exifIfd != 0 && exifIfd != ifd0) {
            std::uint64_t ignored = 0;
            walkIfd(exifIfd, ignored, [&](const TiffEntry& e) {
                if (e.tag == kDateTimeOriginal)
                    dateTimeOriginal = text(e);
            });
        }
        if (next != 0 && next != ifd0 && next != exifIfd) {
            Thumbnail inIfd1;
            std::uint64_t ignored = 0;
            if (walkIfd(next, ignored, [&](const TiffEntry& e) { inIfd1.take(*this, e); }) && inIfd1.length > 0)
                thumb = inIfd1;
        }
        info.taken = parseExifTime(dateTimeOriginal);
        if (!info.taken)
            info.taken = parseExifTime(dateTime);
        placeThumbnail(info, thumb);
        return info;
    }

private:
    struct Thumbnail {
        std::uint64_t offset = 0, length = 0;
        void take(ExifWalk& w, const TiffEntry& e) {
            if (e.tag == kThumbnailOffset)
                offset = w.integer(e);
            else if (e.tag == kThumbnailLength)
                length = w.integer(e);
        }
    };

    /// Calls each entry of the IFD at ifd; false when no IFD can stand there.
    template <typename OnEntry>
    bool walkIfd(std::uint64_t ifd, std::uint64_t& next, OnEntry onEntry) {
        if (ifd < 8 || !inside(ifd, 2))
            return false;
        const std::uint32_t count = tiff_.u16(ifd);
        const std::uint64_t bytes = 2 + 12 * std::uint64_t{count} + 4;
        if (count == 0 || count > kMaxEntries || !inside(ifd, bytes) || !tiff_.has(ifd, bytes))
            return false;
        for (std::uint32_t i = 0; i < count; ++i)
            onEntry(tiff_.entry(ifd, i));
        next = tiff_.u32(ifd + 2 + 12 * std::uint64_t{count});
        return true;
    }

    /// True when [o, o + n) from the TIFF header lies before the structure's end.
    bool inside(std::uint64_t o, std::uint64_t n) const {
        const std::uint64_t base = tiff_.base();
        return base <= end_ && o <= end_ - base && n <= end_ - base - o;
    }

    /// The first value of a SHORT or LONG entry, 0 for any other type.
    std::uint64_t integer(const TiffEntry& e) {
        if (e.count == 0 || (e.type != 3 && e.type != 4 && e.type != 13))
            return 0;
        return tiff_.value(e.type, e.valueAt, 0);
    }

    /// An ASCII entry up to its NUL, without control bytes or trailing blanks.
    std::string text(const TiffEntry& e) {
        if (e.type != 2 || e.count == 0)
            return {};
        const std::uint64_t n = std::min(e.count, kMaxText);
        if (!inside(e.valueAt, n) || !tiff_.has(e.valueAt, n))
            return {};
        const ByteView bytes = tiff_.reader().view(tiff_.base() + e.valueAt, static_cast<std::size_t>(n));
        std::string s;
        for (std::size_t i = 0; i < bytes.size() && bytes.u8(i) != 0; ++i)
            if (bytes.u8(i) >= 0x20 && bytes.u8(i) != 0x7F)
                s.push_back(static_cast<char>(bytes.u8(i)));
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        s.erase(0, std::min(s.find_first_not_of(' '), s.size()));
        return s;
    }

    /// Keeps a thumbnail that lies within the structure, can be read, and starts as a JPEG.
    void placeThumbnail(ExifInfo& info, const Thumbnail& t) {
        if (t.length == 0 || t.offset < 8 || !inside(t.offset, t.length))
            return;
        CandidateReader& r = tiff_.reader();
        const std::uint64_t at = tiff_.base() + t.offset;
        if (!reaches(r, at + t.length) || !r.matches(at, "\xFF\xD8"))
            return;
        info.thumbnailOffset = at;
        info.thumbnailLength = t.length;
    }

    TiffBytes tiff_;
    std::uint64_t end_;
};

/// The TIFF header at base: its byte order, or nothing when none stands there.
std::optional<bool> tiffByteOrder(CandidateReader& r, std::uint64_t base) {
    const ByteView head = r.view(base, 4);
    if (head.size() < 4)
        return std::nullopt;
    if (head.matches(0, "II") && head.u8(3) == 0)
        return true;  // 42, or a raw maker's own number (ORF, RW2)
    if (head.matches(0, "MM") && head.u8(2) == 0)
        return false;
    return std::nullopt;
}

std::optional<ExifInfo> readJpeg(CandidateReader& r) {
    std::uint64_t pos = 2;
    for (int segment = 0; segment < kMaxJpegSegments; ++segment) {
        const ByteView head = r.view(pos, 4);
        if (head.size() < 4 || head.u8(0) != 0xFF)
            return std::nullopt;
        const std::uint8_t marker = head.u8(1);
        if (marker == 0xFF) {  // fill byte before a marker
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return std::nullopt;  // the scan (or the end) comes before any EXIF
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            pos += 2;
            continue;
        }
        const std::uint64_t length = head.be16(2);
        if (length < 2)
            return std::nullopt;
        if (marker == 0xE1 && length >= 16 && r.matches(pos + 4, std::string_view("Exif\0\0", 6))) {
            if (auto info = readTiffExif(r, pos + 10, pos + 2 + length))
                return info;
        }
        pos += 2 + length;
    }
    return std::nullopt;
}
}  // namespace

std::optional<ExifInfo> readTiffExif(CandidateReader& r, std::uint64_t base, std::uint64_t end) {
    const std::optional<bool> little = tiffByteOrder(r, base);
    if (!little)
        return std::nullopt;
    return ExifWalk(r, base, *little, end).read();
}

std::string ExifInfo::camera() const {
    if (make.empty() || model.empty())
        return model.empty() ? make : model;
    const std::string firstWord = make.substr(0, make.find(' '));
    const bool modelNamesMaker = model.size() >= firstWord.size() &&
                                 std::equal(firstWord.begin(), firstWord.end(), model.begin(), [](char a, char b) {
                                     return std::tolower(static_cast<unsigned char>(a)) ==
                                            std::tolower(static_cast<unsigned char>(b));
                                 });
    return modelNamesMaker ? model : firstWord + " " + model;
}

std::optional<ExifInfo> readExif(CandidateReader& r) {
    if (r.matches(0, "\xFF\xD8"))
        return readJpeg(r);
    return readTiffExif(r, 0, r.limit());
}

std::optional<ExifInfo> readRafExif(CandidateReader& r) {
    if (!r.matches(0, "FUJIFILMCCD-RAW ") || !r.has(84, 8))
        return std::nullopt;
    const std::uint64_t offset = r.be32(84), length = r.be32(88);
    if (length < 4 || offset > r.limit() || length > r.limit() - offset)
        return std::nullopt;
    // The preview's APP1 lies at its front, well within one window.
    const ByteView preview = r.view(offset, static_cast<std::size_t>(std::min<std::uint64_t>(length, CandidateReader::kWindowBytes)));
    if (!preview.matches(0, "\xFF\xD8"))
        return std::nullopt;
    std::optional<ExifInfo> exif = readExif(preview);
    if (exif && exif->hasThumbnail())
        exif->thumbnailOffset += offset;  // from the RAF's first byte, not the preview's
    return exif;
}

std::optional<ExifInfo> readExif(ByteView file) {
    SpanByteSource source(std::span<const std::uint8_t>(file.data(), file.size()));
    CandidateReader reader(source, file.size());
    return readExif(reader);
}

}  // namespace formats
