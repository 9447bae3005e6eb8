#pragma once
// A validator's answer for a candidate found at a signature: the file's exact length, "not
// this type" (a false start, dropped), "damaged at byte k" (the valid prefix is kept), or, for
// a format whose end the bytes cannot tell (headerless frames), a best length marked approximate.

#include <cstdint>
#include <string_view>
#include <vector>

namespace formats {

class CandidateReader;

enum class Verdict : std::uint8_t { Whole, Damaged, NotThisType, Approximate };

struct Validation {
    Verdict verdict = Verdict::NotThisType;
    /// Whole: the exact length. Damaged: the length of the valid prefix (the damage starts there).
    /// Approximate: the length of the longest run of units that looks valid.
    std::uint64_t length = 0;
    /// The extension when the file's own structure tells a narrower type than its row ("nef"
    /// for a TIFF whose maker is Nikon, "mov" for a QuickTime brand); empty keeps the row's.
    std::string_view extension;
    /// The bytes [0, owned) the file's own structure names: a file found starting there (an EXIF
    /// thumbnail, a raw's preview) is a part of this one and does not end it. 0: only the bytes
    /// before the first unnamed one are known to be the file's (its header, then its data).
    std::uint64_t owned = 0;
    /// Where the files its structure names inside it begin (a raw's JPEG previews), from its first
    /// byte: a picture found whole there is a part of it, one found anywhere else means the file
    /// was cut short there.
    std::vector<std::uint64_t> parts;
    /// Where a movie's media data lies, [mediaFrom, mediaTo) from its first byte: no marker ends
    /// it, so a file found whole in it shows where other bytes took the movie's place (a movie
    /// whose pieces lay apart, read on over what lies after its first piece). Empty: none.
    std::uint64_t mediaFrom = 0, mediaTo = 0;

    static Validation whole(std::uint64_t n, std::string_view ext = {}) { return of(Verdict::Whole, n, ext); }
    static Validation damaged(std::uint64_t k, std::string_view ext = {}) { return of(Verdict::Damaged, k, ext); }
    static Validation approximate(std::uint64_t n, std::string_view ext = {}) { return of(Verdict::Approximate, n, ext); }
    static Validation notThisType() { return {}; }

private:
    static Validation of(Verdict verdict, std::uint64_t length, std::string_view ext) {
        Validation v;
        v.verdict = verdict;
        v.length = length;
        v.extension = ext;
        return v;
    }
};

/// Walks the candidate's structure from its first byte. Never reads outside the reader.
using ValidateFunction = Validation (*)(CandidateReader&);

}  // namespace formats
