#pragma once
// Small checks the structure walks share: whether a candidate reaches a byte, chunk and box
// names, and the cap on how many units a walk takes before it gives up.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "formats/CandidateReader.h"

namespace formats {

/// Units a walk takes at most (boxes, chunks, pages, frames): far past any real file of these
/// formats' units at their smallest, and a bound on the time a hostile candidate can cost.
inline constexpr std::uint64_t kMaxWalkSteps = std::uint64_t{1} << 24;

/// True when the candidate's bytes [0, end) are all readable within its limit.
inline bool reaches(CandidateReader& r, std::uint64_t end) {
    return end == 0 || (end <= r.limit() && r.has(end - 1, 1));
}

/// How many of the candidate's first end bytes can be read: end, or less where the readable
/// bytes or the limit stop first.
inline std::uint64_t readablePrefix(CandidateReader& r, std::uint64_t end) {
    if (reaches(r, end))
        return end;
    std::uint64_t readable = 0;
    for (std::uint64_t step = std::uint64_t{1} << 62; step > 0; step >>= 1)
        if (step <= end - readable && reaches(r, readable + step))
            readable += step;
    return readable;
}

/// True when pos + size stays within the candidate (no overflow, within the limit).
inline bool fitsWithin(CandidateReader& r, std::uint64_t pos, std::uint64_t size) {
    return size <= r.limit() && pos <= r.limit() - size;
}

/// A chunk or box name: four printable ASCII bytes, the first not a blank.
inline bool isFourCC(CandidateReader& r, std::uint64_t o) {
    const ByteView v = r.view(o, 4);
    if (v.size() != 4 || v.u8(0) == ' ')
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (v.u8(i) < 0x20 || v.u8(i) > 0x7E)
            return false;
    return true;
}

/// A box of the ISO media and JPEG 2000 families: a 32-bit size (1: a 64-bit size follows the
/// type; 0: the box runs to the end of the file), then a four-byte type.
struct Box {
    std::array<std::uint8_t, 4> type;
    std::uint64_t size;    ///< 0: to the end of the file
    std::uint64_t header;  ///< 8, or 16 with a 64-bit size

    bool is(std::string_view t) const { return ByteView(type.data(), type.size()).matches(0, t); }
};

/// The box at pos when its type is one of types and its size can hold its header; nothing
/// otherwise (the bytes there are no box of the file).
inline std::optional<Box> readBox(CandidateReader& r, std::uint64_t pos, std::span<const std::string_view> types) {
    const ByteView head = r.view(pos, 16);
    if (head.size() < 8)
        return std::nullopt;
    Box box{{head.u8(4), head.u8(5), head.u8(6), head.u8(7)}, head.be32(0), 8};
    bool known = false;
    for (std::string_view t : types)
        known = known || box.is(t);
    if (!known)
        return std::nullopt;
    if (box.size == 1) {
        if (head.size() < 16)
            return std::nullopt;
        box.size = head.be64(8);
        box.header = 16;
    }
    if (box.size != 0 && box.size < box.header)
        return std::nullopt;
    return box;
}

/// The body [begin, end) of the first box of the type among the boxes filling [begin, end): the
/// metadata walks' way down a box tree, each box bounded by its parent.
inline std::optional<std::pair<std::uint64_t, std::uint64_t>> childBox(CandidateReader& r, std::uint64_t begin,
                                                                        std::uint64_t end, std::string_view type) {
    constexpr int kMaxSiblings = 1024;
    std::uint64_t at = begin;
    for (int box = 0; box < kMaxSiblings && at < end; ++box) {
        const ByteView h = r.view(at, 16);
        if (h.size() < 8)
            return std::nullopt;
        std::uint64_t size = h.be32(0), header = 8;
        if (size == 1) {
            if (h.size() < 16)
                return std::nullopt;
            size = h.be64(8);
            header = 16;
        } else if (size == 0) {
            size = end - at;  // runs to the end of its parent
        }
        if (size < header || size > end - at)
            return std::nullopt;
        if (h.matches(4, type))
            return std::make_pair(at + header, at + size);
        at += size;
    }
    return std::nullopt;
}

}  // namespace formats
