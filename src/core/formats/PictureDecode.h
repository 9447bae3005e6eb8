#pragma once
// The decoders behind the picture grade. Each returns nothing when the bytes are not its type
// (or the picture is too large to decode within the grader's bounds), so that the structure walk
// grades them instead.

#include <algorithm>
#include <cstdint>
#include <optional>

#include "formats/CandidateReader.h"
#include "formats/PictureGrade.h"

namespace formats {

/// Pictures with more pixels than this are not decoded: a header may claim 65535 x 65535 in a
/// few bytes, and decoding must not cost gigabytes or minutes on its word.
inline constexpr std::uint64_t kMaxDecodedPixels = std::uint64_t{1} << 28;

/// A decoded picture's grade: whole when it decoded to its end, else damaged by the rows read
/// before the damage, or unreadable when none were.
inline PictureGrade decodedGrade(bool whole, std::uint32_t rows, std::uint32_t rowsBeforeDamage) {
    PictureGrade grade;
    grade.decoded = true;
    grade.rows = rows;
    grade.decodedRows = whole ? rows : std::min(rowsBeforeDamage, rows);
    grade.health = whole ? Health::Whole : grade.decodedRows > 0 ? Health::Damaged : Health::Unreadable;
    return grade;
}

/// JPEG through libjpeg: every scan's entropy-coded data is decoded (at 1/8 scale: damage shows
/// in the entropy decoding, and the scaled inverse transform keeps a large photo cheap). reached,
/// when given, gets how far into the bytes the decoder read before the damage stopped it (a few
/// bytes past it: the decoder reads ahead), or size when it decoded whole.
std::optional<PictureGrade> decodeJpegGrade(ByteSource& source, std::uint64_t size, std::uint64_t* reached = nullptr);

/// PNG through libpng: every row inflated and unfiltered, every critical chunk's CRC checked.
std::optional<PictureGrade> decodePngGrade(ByteSource& source, std::uint64_t size);

}  // namespace formats
