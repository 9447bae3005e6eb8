#pragma once
// The EXIF of the stills that are ISO media files: a HEIF/HEIC/AVIF keeps it as an item of its
// meta box (the item of type "Exif" in iinf, its bytes where iloc places them: a four-byte offset,
// then the TIFF header); a Canon CR3 keeps IFD0 and the EXIF IFD as two TIFF structures, the CMT1
// and CMT2 boxes of the maker's uuid box in moov. References: ISO/IEC 23008-12 annex A.2.1;
// ISO/IEC 14496-12 sections 8.11.3 (iloc) and 8.11.6 (iinf).

#include <optional>

#include "formats/CandidateReader.h"
#include "formats/ExifReader.h"

namespace formats {

/// The EXIF item of a HEIF file (HEIC, AVIF): its top-level meta box.
std::optional<ExifInfo> readHeifExif(CandidateReader& r);
/// Make and model from CMT1, the date taken from CMT2 (else CMT1's DateTime).
std::optional<ExifInfo> readCr3Exif(CandidateReader& r);

}  // namespace formats
