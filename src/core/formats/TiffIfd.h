#pragma once
// The IFD entries TIFF and everything built on it share (raws, EXIF in a JPEG's APP1): each
// entry is a tag, a field type, a value count and the value itself or, past four bytes, the
// offset of the value. Offsets count from the TIFF header, which need not be the file's start.
// Reference: TIFF 6.0, section 2 (Image File Directory); EXIF 2.3, section 4.6.

#include <cstdint>

#include "formats/CandidateReader.h"

namespace formats {

/// Bytes per value of each field type (0: an unknown type, whose values are not followed).
std::uint64_t tiffTypeBytes(std::uint16_t type);

struct TiffEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::uint64_t count = 0;
    std::uint64_t size = 0;     ///< bytes of the value: type size * count
    std::uint64_t valueAt = 0;  ///< where the value stands, from the TIFF header
};

/// A TIFF structure at base within a candidate, in its byte order. Reads past the candidate
/// read as 0, as all CandidateReader reads do.
class TiffBytes {
public:
    TiffBytes(CandidateReader& r, std::uint64_t base, bool little) : r_(r), base_(base), little_(little) {}

    CandidateReader& reader() { return r_; }
    std::uint64_t base() const { return base_; }
    std::uint16_t u16(std::uint64_t o) { return little_ ? r_.le16(base_ + o) : r_.be16(base_ + o); }
    std::uint32_t u32(std::uint64_t o) { return little_ ? r_.le32(base_ + o) : r_.be32(base_ + o); }
    /// True when n bytes at o (from the TIFF header) can be read.
    bool has(std::uint64_t o, std::size_t n) { return o <= UINT64_MAX - base_ && r_.has(base_ + o, n); }

    /// The i-th of the count entries of the IFD at ifd.
    TiffEntry entry(std::uint64_t ifd, std::uint32_t i);
    /// The i-th value of a SHORT or LONG array at at.
    std::uint64_t value(std::uint16_t type, std::uint64_t at, std::uint64_t i) {
        return type == 3 ? u16(at + 2 * i) : u32(at + 4 * i);
    }

private:
    CandidateReader& r_;
    std::uint64_t base_;
    bool little_;
};

}  // namespace formats
