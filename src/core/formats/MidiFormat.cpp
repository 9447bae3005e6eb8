#include "formats/MidiFormat.h"

#include "formats/FormatWalk.h"

namespace formats {

Validation validateMidi(CandidateReader& r) {
    const ByteView h = r.view(0, 14);
    const unsigned format = h.be16(8);
    const unsigned tracks = h.be16(10);
    if (h.size() < 14 || !h.matches(0, "MThd") || h.be32(4) != 6 || format > 2 || tracks == 0 ||
        (format == 0 && tracks != 1))
        return Validation::notThisType();
    std::uint64_t pos = 14;
    for (unsigned found = 0; found < tracks;) {
        if (!r.has(pos, 8) || !isFourCC(r, pos))
            return pos == 14 ? Validation::notThisType() : Validation::damaged(pos);
        const std::uint64_t next = pos + 8 + r.be32(pos + 4);
        if (!reaches(r, next))
            return Validation::damaged(pos);
        if (r.matches(pos, "MTrk"))
            ++found;
        else if (pos == 14)
            return Validation::notThisType(); // the first track follows the header
        pos = next;
    }
    return Validation::whole(pos);
}

}  // namespace formats
