#pragma once
// JPEG: marker segments walked by their lengths, entropy-coded data up to the next real marker,
// any number of scans, up to EOI. An MPO (several JPEGs indexed by an APP2 "MPF" segment) is one
// file that ends where its last indexed image ends.

#include "formats/Validation.h"

namespace formats {

Validation validateJpeg(CandidateReader& reader);

}  // namespace formats
