#pragma once
// TIFF and the camera raw files built on it (NEF, ARW, DNG, PEF, CR2, ORF, RW2, SRW): the IFD
// chain with its SubIFDs, EXIF, GPS and interoperability IFDs; the file ends at the furthest
// byte any IFD, value, strip, tile or thumbnail reaches. ORF and RW2 are named by their own
// magic, DNG by its version tag, the others by the maker once an IFD holds sensor data (a
// colour filter array or linear raw); such raws are listed as camera raw, not as TIFF.
// RAF by the offsets in its header; CRW by its heap, whose record table closes the file.

#include "formats/Validation.h"

namespace formats {

Validation validateTiff(CandidateReader& reader);
Validation validateRaf(CandidateReader& reader);
Validation validateCrw(CandidateReader& reader);

}  // namespace formats
