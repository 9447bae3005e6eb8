#pragma once
// ISO base media files (ISO/IEC 14496-12 boxes): MP4, QuickTime MOV, M4A, 3GP, HEIF/AVIF
// and CR3. The file is its top-level boxes, each a 32-bit (or 64-bit) size and a type; the
// major brand in "ftyp" tells which of them a file is. One validator per table row, each
// answering "not this type" for the other brands, so a file is walked once.

#include "formats/Validation.h"

namespace formats {

Validation validateMp4(CandidateReader& r);       ///< brands not claimed below (isom, mp42, avc1, ...)
Validation validateQuickTime(CandidateReader& r); ///< "qt  ", and old movies without ftyp
Validation validateM4a(CandidateReader& r);       ///< M4A, M4B, M4P
Validation validate3gp(CandidateReader& r);       ///< 3gp*, 3g2*
Validation validateHeif(CandidateReader& r);      ///< HEIC/HEIF and AVIF stills
Validation validateCr3(CandidateReader& r);       ///< Canon CR3 ("crx ")

}  // namespace formats
