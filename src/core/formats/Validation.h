#pragma once
// A validator's answer for a candidate found at a signature: the file's exact length, "not
// this type" (a false start, dropped), "damaged at byte k" (the valid prefix is kept), or, for
// a format whose end the bytes cannot tell (headerless frames), a best length marked approximate.

#include <cstdint>
#include <string_view>

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

    static Validation whole(std::uint64_t n, std::string_view ext = {}) { return {Verdict::Whole, n, ext}; }
    static Validation damaged(std::uint64_t k, std::string_view ext = {}) { return {Verdict::Damaged, k, ext}; }
    static Validation approximate(std::uint64_t n, std::string_view ext = {}) { return {Verdict::Approximate, n, ext}; }
    static Validation notThisType() { return {}; }
};

/// Walks the candidate's structure from its first byte. Never reads outside the reader.
using ValidateFunction = Validation (*)(CandidateReader&);

}  // namespace formats
