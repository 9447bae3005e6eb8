#include "formats/Jpeg2000Format.h"

#include <array>
#include <optional>
#include <string_view>

#include "formats/FormatWalk.h"

namespace formats {
namespace {

constexpr std::uint16_t kSoc = 0xFF4F; // start of codestream
constexpr std::uint16_t kSiz = 0xFF51;
constexpr std::uint16_t kSot = 0xFF90; // start of tile-part
constexpr std::uint16_t kEoc = 0xFFD9; // end of codestream
constexpr std::uint64_t kSignatureBoxBytes = 12;

// Boxes a JP2/JPX file holds at its top level; the walk ends at any other type.
constexpr std::array<std::string_view, 16> kTopLevelTypes{"jP  ", "ftyp", "jp2h", "jp2c", "jp2i", "xml ",
                                                          "uuid", "uinf", "res ", "rreq", "jpch", "jplh",
                                                          "cgrp", "ftbl", "asoc", "free"};

struct Codestream {
    Verdict verdict;
    std::uint64_t end; ///< Whole: past EOC; Damaged: where the walk broke
};

/// Walks the codestream at pos: marker segments of the main header, then tile-parts.
Codestream walkCodestream(CandidateReader& r, std::uint64_t pos) {
    if (r.be16(pos) != kSoc || r.be16(pos + 2) != kSiz)
        return {Verdict::NotThisType, pos};
    std::uint64_t at = pos + 2;
    for (std::uint64_t step = 0; step < kMaxWalkSteps; ++step) {
        if (!r.has(at, 2))
            return {Verdict::Damaged, at};
        const std::uint16_t marker = r.be16(at);
        if (marker == kEoc)
            return {Verdict::Whole, at + 2};
        if (marker < 0xFF40 || (marker >= 0xFF30 && marker <= 0xFF3F))
            return {Verdict::Damaged, at};
        if (marker == kSot) {
            // Psot: the tile-part's length from its SOT marker; 0 = up to the end of the codestream.
            const std::uint32_t psot = r.be32(at + 6);
            if (r.be16(at + 2) != 10)
                return {Verdict::Damaged, at};
            if (psot == 0) {
                // Packet data never holds 0xFF followed by a byte above 0x8F, so the EOC stands alone.
                for (std::uint64_t from = at + 12; from < r.limit();) {
                    const std::optional<std::uint64_t> ff = r.find(0xFF, from, r.limit());
                    if (!ff)
                        return {Verdict::Damaged, at};
                    if (r.u8(*ff + 1) == 0xD9)
                        return {Verdict::Whole, *ff + 2};
                    from = *ff + 1;
                }
                return {Verdict::Damaged, at};
            }
            if (psot < 14 || !reaches(r, at + psot))
                return {Verdict::Damaged, at};
            at += psot;
            continue;
        }
        const std::uint16_t length = r.be16(at + 2);
        if (length < 2 || !reaches(r, at + 2 + length))
            return {Verdict::Damaged, at};
        at += 2 + length;
    }
    return {Verdict::Damaged, at};
}

}  // namespace

Validation validateJ2k(CandidateReader& r) {
    // SIZ's length and capabilities are checked before walking: "FF 4F FF 51" alone is weak.
    const std::uint16_t sizLength = r.be16(4);
    const std::uint16_t components = r.be16(40);
    if (sizLength < 41 || components == 0 || components > 16384 || sizLength != 38 + 3 * components)
        return Validation::notThisType();
    const Codestream c = walkCodestream(r, 0);
    if (c.verdict == Verdict::Whole)
        return Validation::whole(c.end);
    return c.verdict == Verdict::Damaged ? Validation::damaged(c.end) : Validation::notThisType();
}

Validation validateJp2(CandidateReader& r) {
    if (r.be32(0) != kSignatureBoxBytes || !r.matches(4, "jP  ") || r.be32(8) != 0x0D0A870A ||
        !r.matches(kSignatureBoxBytes + 4, "ftyp"))
        return Validation::notThisType();
    std::uint64_t pos = 0;
    bool codestream = false;
    for (std::uint64_t step = 0; step < kMaxWalkSteps; ++step) {
        const std::optional<Box> box = readBox(r, pos, kTopLevelTypes);
        if (!box)
            break;
        if (box->is("jp2c")) {
            // The codestream tells its own end, also when the box runs "to the end of the file".
            const Codestream c = walkCodestream(r, pos + box->header);
            if (c.verdict != Verdict::Whole)
                return Validation::damaged(pos);
            codestream = true;
            if (box->size == 0) {
                pos = c.end;
                break;
            }
        }
        if (box->size == 0 || !fitsWithin(r, pos, box->size) || !reaches(r, pos + box->size))
            return Validation::damaged(pos);
        pos += box->size;
    }
    return codestream ? Validation::whole(pos) : Validation::damaged(pos);
}

}  // namespace formats
