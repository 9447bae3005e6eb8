// Photos that are ISO media files named by their EXIF: a HEIF by its "Exif" item, found through
// iinf and placed by iloc (in the file or in idat, 16- and 32-bit item IDs); a Canon CR3 by the
// TIFF structures of its maker's uuid box (CMT1: IFD0, CMT2: the EXIF IFD).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "IsoBoxBytes.h"
#include "formats/FileMetadata.h"

namespace {
using namespace isobytes;

struct Ascii {
    std::uint16_t tag;
    std::string value;
};

/// A TIFF structure in either byte order: IFD0 with the ASCII fields given and, when exif is not
/// empty, a pointer (tag 34665) to an EXIF IFD holding those; the strings after both IFDs.
Bytes tiff(bool little, const std::vector<Ascii>& ifd0, const std::vector<Ascii>& exif = {}) {
    auto put = [little](std::uint64_t v, int bytes) {
        Bytes out = be(v, bytes);
        return little ? Bytes(out.rbegin(), out.rend()) : out;
    };
    const std::size_t entries0 = ifd0.size() + (exif.empty() ? 0 : 1);
    const std::size_t exifAt = 8 + 2 + 12 * entries0 + 4;
    std::size_t stringsAt = exifAt + (exif.empty() ? 0 : 2 + 12 * exif.size() + 4);
    Bytes strings;
    auto ifd = [&](const std::vector<Ascii>& fields, bool pointToExif) {
        Bytes out = put(fields.size() + (pointToExif ? 1 : 0), 2);
        for (const Ascii& f : fields) {
            out = out + put(f.tag, 2) + put(2, 2) + put(f.value.size() + 1, 4) + put(stringsAt + strings.size(), 4);
            strings = strings + text(f.value) + Bytes{0};
        }
        if (pointToExif)
            out = out + put(34665, 2) + put(4, 2) + put(1, 4) + put(exifAt, 4);
        return out + put(0, 4);
    };
    Bytes out = text(little ? "II" : "MM") + put(42, 2) + put(8, 4);
    out = out + ifd(ifd0, !exif.empty());
    if (!exif.empty())
        out = out + ifd(exif, false);
    return out + strings;
}

const std::vector<Ascii> kIphone = {{271, "Apple"}, {272, "iPhone 12"}, {306, "2024:01:01 00:00:00"}};
const std::vector<Ascii> kTaken = {{36867, "2023:04:05 06:07:08"}};

struct Heif {
    int ilocVersion = 0;      ///< 1 and 2 carry a construction method; 2 has 32-bit item IDs
    int method = 0;           ///< 0: in the file (mdat), 1: in the meta box's idat
    const char* itemType = "Exif";
    std::uint32_t headerOffset = 6;  ///< from the item's first four bytes to the TIFF header
    std::uint64_t lengthShift = 0;   ///< added to the extent's length in iloc
    std::uint16_t dataReference = 0;
};

/// A HEIC: ftyp, meta (hdlr, iinf with a picture item and the EXIF item, iloc, maybe idat), mdat.
Bytes heic(const Heif& h) {
    const Bytes payload = be(h.headerOffset, 4) + text("Exif") + Bytes{0, 0} + tiff(false, kIphone, kTaken);
    const Bytes picture(40, 0x5A);
    const int idSize = h.ilocVersion == 2 ? 4 : 2;
    const std::uint8_t infeVersion = h.ilocVersion == 2 ? 3 : 2;
    const Bytes iinf = fullBox("iinf", 0, be(2, 2) + fullBox("infe", infeVersion, be(1, idSize) + be(0, 2) + text("hvc1") + Bytes{0}) +
                                              fullBox("infe", infeVersion, be(2, idSize) + be(0, 2) + text(h.itemType) + Bytes{0}));
    const Bytes idat = h.method == 1 ? box("idat", Bytes(8, 0) + payload) : Bytes{};
    // iloc: 4-byte offsets and lengths, a 4-byte base offset; the EXIF item's base offset is 8 less
    // than its place and its extent offset 8, so both fields count.
    auto iloc = [&](std::uint64_t pictureAt, std::uint64_t exifAt) {
        auto item = [&](std::uint32_t id, std::uint64_t at, std::uint64_t length, int method, std::uint16_t reference) {
            const Bytes methodField = h.ilocVersion == 0 ? Bytes{} : be(static_cast<std::uint64_t>(method), 2);
            return be(id, idSize) + methodField + be(reference, 2) + be(at - 8, 4) + be(1, 2) + be(8, 4) + be(length, 4);
        };
        return fullBox("iloc", static_cast<std::uint8_t>(h.ilocVersion),
                       Bytes{0x44, 0x40} + be(2, h.ilocVersion == 2 ? 4 : 2) + item(1, pictureAt, picture.size(), 0, 0) +
                           item(2, exifAt, payload.size() + h.lengthShift, h.method, h.dataReference));
    };
    const Bytes ftyp = box("ftyp", text("heic") + be(0, 4) + text("mif1heic"));
    const Bytes hdlr = fullBox("hdlr", 0, be(0, 4) + text("pict") + Bytes(13, 0));
    const auto meta = [&](std::uint64_t pictureAt, std::uint64_t exifAt) {
        return fullBox("meta", 0, hdlr + iinf + iloc(pictureAt, exifAt) + idat);
    };
    const std::uint64_t mdatBody = ftyp.size() + meta(0, 0).size() + 8;
    const std::uint64_t exifAt = h.method == 1 ? 8 : mdatBody + picture.size();
    return ftyp + meta(mdatBody, exifAt) + box("mdat", picture + (h.method == 1 ? Bytes{} : payload));
}

/// A CR3: ftyp, moov holding an XMP uuid box, then the maker's uuid box (CCTP, CMT1, CMT2), then mvhd; mdat.
Bytes cr3(const Bytes& cmt1, const Bytes& cmt2, bool canonUuid = true) {
    const Bytes canon = {0x85, 0xC0, 0xB6, 0x87, 0x82, 0x0F, 0x11, 0xE0, 0x81, 0x11, 0xF4, 0xCE, 0x46, 0x2B, 0x6A, 0x48};
    const Bytes xmp = {0xBE, 0x7A, 0xCF, 0xCB, 0x97, 0xA9, 0x42, 0xE8, 0x9C, 0x71, 0x99, 0x94, 0x91, 0xE3, 0xAF, 0xAC};
    const Bytes maker = (canonUuid ? canon : xmp) + box("CCTP", Bytes(12, 0)) + cmt1 + cmt2;
    return box("ftyp", text("crx ") + be(1, 4) + text("crx isom")) +
           box("moov", box("uuid", xmp + text("<x:xmpmeta/>")) + box("uuid", maker) + box("mvhd", Bytes(100, 0))) +
           box("mdat", Bytes(64, 0xC3));
}

std::string nameOf(const Bytes& bytes, std::string_view type) {
    formats::SpanByteSource source(bytes);
    formats::CandidateReader reader(source, bytes.size());
    return formats::readFileMetadata(type, reader).title;
}

/// Cut anywhere, a file names itself as whole or not at all.
void expectNoPartName(const Bytes& file, std::string_view type, const std::string& whole) {
    for (std::size_t at = 0; at < file.size(); ++at) {
        const std::string cutName = nameOf(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(at)), type);
        if (!cutName.empty() && cutName != whole)
            ADD_FAILURE() << type << " cut at " << at << " named " << cutName;
    }
}
}  // namespace

TEST(IsoMediaExif, HeifNamedByItsExifItem) {
    const std::string iphone = "2023-04-05 06.07.08 Apple iPhone 12";
    const struct {
        Heif file;
        std::string type, name;
    } cases[] = {
        {{}, "heic", iphone},
        {{}, "avif", iphone},
        {{.ilocVersion = 1, .method = 1}, "heic", iphone},  // the item in idat
        {{.ilocVersion = 2}, "heic", iphone},               // 32-bit item IDs
        {{.headerOffset = 0}, "heic", ""},                  // "Exif\0\0" taken for a TIFF header
        {{}, "jpg", ""},                                    // a HEIC is no JPEG
        {{.itemType = "mime"}, "heic", ""},
        {{.headerOffset = 1000}, "heic", ""},  // the TIFF header past the item
        {{.lengthShift = 1000}, "heic", ""},   // the item past the file
        {{.dataReference = 1}, "heic", ""},    // the item in another file
        {{.ilocVersion = 1, .method = 2}, "heic", ""},  // built of other items
    };
    for (const auto& c : cases) {
        const Bytes file = heic(c.file);
        EXPECT_EQ(nameOf(file, c.type), c.name) << c.type << " " << c.file.itemType << " v" << c.file.ilocVersion;
        expectNoPartName(file, c.type, c.name);
    }
}

TEST(IsoMediaExif, Cr3NamedByItsCameraBoxes) {
    const Bytes ifd0 = box("CMT1", tiff(true, {{271, "Canon"}, {272, "Canon EOS R5"}, {306, "2020:01:01 00:00:00"}}));
    const Bytes exifIfd = box("CMT2", tiff(true, {{36867, "2019:06:02 12:03:00"}}));
    const struct {
        Bytes file;
        std::string name;
    } cases[] = {
        {cr3(ifd0, exifIfd), "2019-06-02 12.03.00 Canon EOS R5"},
        {cr3(ifd0, Bytes{}), "2020-01-01 00.00.00 Canon EOS R5"},  // no EXIF IFD: IFD0's date
        {cr3(Bytes{}, exifIfd), "2019-06-02 12.03.00"},
        {cr3(ifd0, exifIfd, false), ""},  // the boxes in someone else's uuid box
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nameOf(c.file, "cr3"), c.name);
        expectNoPartName(c.file, "cr3", c.name);
    }
}
