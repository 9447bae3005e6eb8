#include "formats/RiffFormat.h"

#include <string_view>

#include "formats/FormatWalk.h"

namespace formats {
namespace {

enum class Order : std::uint8_t { Little, Big };

struct Container {
    std::string_view id;   ///< "RIFF" or "FORM"
    std::string_view form; ///< "WAVE", "AVI ", ...
    Order order;
};

struct Walk {
    Verdict verdict = Verdict::NotThisType;
    std::uint64_t end = 0;
    bool sawRequired = false;
};

std::uint32_t sizeAt(CandidateReader& r, std::uint64_t o, Order order) {
    return order == Order::Little ? r.le32(o) : r.be32(o);
}

/// One container at pos: its header, then its chunks up to the end its size gives. A chunk name
/// that is not one, or a chunk running past the container, ends the walk as damaged there.
Walk walkContainer(CandidateReader& r, std::uint64_t pos, const Container& c, std::string_view required,
                   std::string_view firstChunks) {
    Walk w;
    if (!r.matches(pos, c.id) || !r.matches(pos + 8, c.form))
        return w;
    const std::uint64_t size = sizeAt(r, pos + 4, c.order);
    if (size < 4 + 8)
        return w;
    const std::uint64_t end = pos + 8 + size;
    std::uint64_t at = pos + 12;
    // The first chunk's name is checked before anything else: random bytes after a planted
    // header fail here.
    if (!isFourCC(r, at))
        return w;
    if (!firstChunks.empty()) {
        bool known = false;
        for (std::size_t i = 0; i + 4 <= firstChunks.size(); i += 4)
            known = known || r.matches(at, firstChunks.substr(i, 4));
        if (!known)
            return w;
    }
    w.verdict = Verdict::Damaged;
    for (std::uint64_t step = 0; step < kMaxWalkSteps && at < end; ++step) {
        if (!r.has(at, 8) || !isFourCC(r, at)) {
            w.end = at;
            return w;
        }
        w.sawRequired = w.sawRequired || required.empty() || r.matches(at, required);
        const std::uint64_t body = sizeAt(r, at + 4, c.order);
        std::uint64_t next = at + 8 + body;
        if (next > end) {
            w.end = at;
            return w;
        }
        if (body % 2 == 1 && next < end)
            ++next; // chunks are padded to an even length, except one ending the container
        if (!reaches(r, next)) {
            w.end = at;
            return w;
        }
        at = next;
    }
    if (at != end) {
        w.end = at;
        return w;
    }
    w.end = end;
    w.verdict = w.sawRequired ? Verdict::Whole : Verdict::Damaged;
    return w;
}

Validation answer(const Walk& w) {
    switch (w.verdict) {
    case Verdict::Whole:
        return Validation::whole(w.end);
    case Verdict::Damaged:
        return Validation::damaged(w.end);
    case Verdict::NotThisType:
    case Verdict::Approximate:
        break;
    }
    return Validation::notThisType();
}

}  // namespace

Validation validateWav(CandidateReader& r) {
    // "data" is required: a header whose samples were cut off is kept as damaged.
    const Walk w = walkContainer(r, 0, {"RIFF", "WAVE", Order::Little}, "data", {});
    return answer(w);
}

Validation validateAvi(CandidateReader& r) {
    Walk w = walkContainer(r, 0, {"RIFF", "AVI ", Order::Little}, "LIST", "LIST");
    // Files past 1 GiB continue in further RIFF "AVIX" containers directly after the first.
    for (std::uint64_t step = 0; step < kMaxWalkSteps && w.verdict == Verdict::Whole; ++step) {
        const Walk more = walkContainer(r, w.end, {"RIFF", "AVIX", Order::Little}, "LIST", {});
        if (more.verdict == Verdict::NotThisType)
            break;
        w = more;
    }
    return answer(w);
}

Validation validateWebp(CandidateReader& r) {
    return answer(walkContainer(r, 0, {"RIFF", "WEBP", Order::Little}, {}, "VP8 VP8LVP8X"));
}

Validation validateAiff(CandidateReader& r) {
    Walk w = walkContainer(r, 0, {"FORM", "AIFF", Order::Big}, "COMM", {});
    if (w.verdict == Verdict::NotThisType)
        w = walkContainer(r, 0, {"FORM", "AIFC", Order::Big}, "COMM", {});
    return answer(w);
}

}  // namespace formats
