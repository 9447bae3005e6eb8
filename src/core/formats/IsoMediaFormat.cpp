#include "formats/IsoMediaFormat.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "formats/FormatWalk.h"

namespace formats {
namespace {

enum class Family : std::uint8_t { Mp4, QuickTime, M4a, ThreeGp, Heif, Cr3 };

// Top-level box types that files of these families hold; the walk ends at any other type,
// so bytes following a file are not taken for one more box of it.
constexpr std::array<std::string_view, 22> kTopLevelTypes{
    "ftyp", "moov", "mdat", "free", "skip", "wide", "meta", "uuid", "moof", "mfra", "styp",
    "sidx", "ssix", "prft", "pdin", "emsg", "pnot", "udta", "junk", "meco", "PICT", "pict"};

struct Brand {
    Family family = Family::Mp4;
    std::string_view extension; ///< empty: the row's own
};

bool brandIs(ByteView brand, std::string_view text) {
    return brand.matches(0, text);
}

bool hasCompatibleBrand(CandidateReader& r, std::uint32_t ftypSize, std::string_view brand) {
    for (std::uint64_t o = 16; o + 4 <= ftypSize; o += 4)
        if (r.matches(o, brand))
            return true;
    return false;
}

Brand classify(CandidateReader& r, std::uint32_t ftypSize) {
    std::array<std::uint8_t, 4> brand{}; // a copy: the reader's window moves under a view
    const ByteView read = r.view(8, 4);
    std::copy(read.data(), read.data() + read.size(), brand.begin());
    const ByteView major(brand.data(), brand.size());
    if (brandIs(major, "crx "))
        return {Family::Cr3, {}};
    if (brandIs(major, "avif") || brandIs(major, "avis"))
        return {Family::Heif, "avif"};
    for (std::string_view b :
         {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", "msf1", "mif2"})
        if (brandIs(major, b))
            return {Family::Heif, {}};
    if (brandIs(major, "mif1"))
        return {Family::Heif, hasCompatibleBrand(r, ftypSize, "avif") ? "avif" : std::string_view{}};
    if (brandIs(major, "M4A ") || brandIs(major, "M4P "))
        return {Family::M4a, {}};
    if (brandIs(major, "M4B "))
        return {Family::M4a, "m4b"};
    if (brandIs(major, "3g2"))
        return {Family::ThreeGp, "3g2"};
    if (major.matches(0, "3g"))
        return {Family::ThreeGp, {}};
    if (brandIs(major, "qt  "))
        return {Family::QuickTime, {}};
    if (brandIs(major, "M4V "))
        return {Family::Mp4, "m4v"};
    return {Family::Mp4, {}};
}

/// The ftyp box every branded file starts with: its size, or 0 when the bytes are no ftyp.
std::uint32_t ftypSize(CandidateReader& r) {
    const std::uint32_t size = r.be32(0);
    if (size < 16 || size > 4096 || size % 4 != 0 || !r.matches(4, "ftyp") || !isFourCC(r, 8))
        return 0;
    return size;
}

// Boxes a movie box starts with: its header first, as every writer puts it.
constexpr std::array<std::string_view, 7> kMovieFirstChildren{"mvhd", "cmov", "prfl", "iods", "meta", "udta", "trak"};

/// True when the movie box's first child is one a movie starts with and lies inside it: a box
/// type alone (four bytes) with a size read from noise could otherwise pass for a movie.
bool holdsMovieHeader(CandidateReader& r, std::uint64_t pos, const Box& moov) {
    const std::optional<Box> child = readBox(r, pos + moov.header, kMovieFirstChildren);
    return child && child->size != 0 && child->size <= moov.size - moov.header;
}

/// True when the movie box names a codec whose samples are whole JPEG pictures (Motion JPEG):
/// a picture found in such a movie's media data is one of its frames.
bool holdsJpegFrames(CandidateReader& r, std::uint64_t pos, const Box& moov) {
    constexpr std::uint64_t kLooked = 256 * 1024;
    const ByteView bytes = r.view(pos, static_cast<std::size_t>(std::min(moov.size, kLooked)));
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (const std::string_view codec : {"jpeg", "mjpa", "mjpb", "AVDJ", "dmb1", "MJPG"})
        if (text.find(codec) != std::string_view::npos)
            return true;
    return false;
}

/// Walks the top-level boxes from the first; the file ends before the first box of a type no
/// such file holds at top level. Complete when the boxes the family needs were seen.
Validation walkBoxes(CandidateReader& r, Family family, std::string_view extension) {
    std::uint64_t pos = 0;
    bool movie = false;  // moov, or moof for a fragmented movie
    bool meta = false;
    std::uint64_t mediaFrom = 0, mediaTo = 0;  // the largest media data box
    bool jpegFrames = false;
    for (std::uint64_t step = 0; step < kMaxWalkSteps; ++step) {
        const std::optional<Box> box = readBox(r, pos, kTopLevelTypes);
        if (!box)
            break;
        if (box->size == 0)  // "to the end of the file": an unfinished recording, its end unknown
            return Validation::damaged(pos, extension);
        if (!fitsWithin(r, pos, box->size) || !reaches(r, pos + box->size))
            return Validation::damaged(pos, extension);
        movie = movie || (box->is("moov") && holdsMovieHeader(r, pos, *box)) || box->is("moof");
        jpegFrames = jpegFrames || (box->is("moov") && holdsJpegFrames(r, pos, *box));
        meta = meta || box->is("meta");
        if (box->is("mdat") && box->size - box->header > mediaTo - mediaFrom) {
            mediaFrom = pos + box->header;
            mediaTo = pos + box->size;
        }
        pos += box->size;
    }
    const bool complete = family == Family::Heif ? meta : movie;
    Validation v = complete ? Validation::whole(pos, extension) : Validation::damaged(pos, extension);
    if ((family == Family::Mp4 || family == Family::QuickTime || family == Family::ThreeGp) && !jpegFrames) {
        v.mediaFrom = mediaFrom;
        v.mediaTo = mediaTo;
    }
    return v;
}

Validation validateFamily(CandidateReader& r, Family family) {
    const std::uint32_t size = ftypSize(r);
    if (size == 0)
        return Validation::notThisType();
    const Brand brand = classify(r, size);
    if (brand.family != family)
        return Validation::notThisType();
    return walkBoxes(r, family, brand.extension);
}

}  // namespace

Validation validateMp4(CandidateReader& r) {
    return validateFamily(r, Family::Mp4);
}
Validation validateM4a(CandidateReader& r) {
    return validateFamily(r, Family::M4a);
}
Validation validate3gp(CandidateReader& r) {
    return validateFamily(r, Family::ThreeGp);
}
Validation validateHeif(CandidateReader& r) {
    return validateFamily(r, Family::Heif);
}
Validation validateCr3(CandidateReader& r) {
    return validateFamily(r, Family::Cr3);
}

Validation validateQuickTime(CandidateReader& r) {
    if (ftypSize(r) != 0)
        return validateFamily(r, Family::QuickTime);
    // Movies from before ftyp start with their movie, media data or a padding box.
    const ByteView type = r.view(4, 4);
    if (!(type.matches(0, "moov") || type.matches(0, "mdat") || type.matches(0, "wide")))
        return Validation::notThisType();
    const Validation v = walkBoxes(r, Family::QuickTime, {});
    // Without a brand, only a movie box makes the bytes a movie.
    return v.verdict == Verdict::Whole ? v : Validation::notThisType();
}

}  // namespace formats
