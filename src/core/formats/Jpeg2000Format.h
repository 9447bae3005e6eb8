#pragma once
// JPEG 2000: the JP2 family's boxes (signature box, "ftyp", header, codestream "jp2c"), and bare
// codestreams (.j2k): the main header's marker segments by their lengths, tile-parts by their
// Psot lengths, up to the end-of-codestream marker.

#include "formats/Validation.h"

namespace formats {

Validation validateJp2(CandidateReader& r);
Validation validateJ2k(CandidateReader& r);

}  // namespace formats
