#pragma once
// Chunked files: RIFF (WAV, AVI, WebP; little-endian sizes) and FORM (AIFF; big-endian sizes).
// The container's size field gives the length; the chunks inside are walked to tell a whole file
// from one whose chunks break off, and a truncated file keeps its whole chunks.

#include "formats/Validation.h"

namespace formats {

Validation validateWav(CandidateReader& r);
Validation validateAvi(CandidateReader& r); ///< with the "AVIX" extension parts of large files
Validation validateWebp(CandidateReader& r);
Validation validateAiff(CandidateReader& r); ///< AIFF and AIFF-C

}  // namespace formats
