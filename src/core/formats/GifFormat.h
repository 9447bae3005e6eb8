#pragma once
// GIF: the header and colour table, then extension and image blocks with their sub-blocks, up
// to the 0x3B trailer.

#include "formats/Validation.h"

namespace formats {

Validation validateGif(CandidateReader& reader);

}  // namespace formats
