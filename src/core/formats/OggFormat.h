#pragma once
// Ogg: a chain of pages, each "OggS", a header with the segment table, and a CRC-32 over the
// page. The file starts at a beginning-of-stream page and ends with the page that ends its last
// open stream; a chained file (one stream after another) goes on while a new stream begins.

#include "formats/Validation.h"

namespace formats {

Validation validateOgg(CandidateReader& r);

}  // namespace formats
