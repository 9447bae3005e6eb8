#pragma once
// AMR and AMR-WB speech files: a magic line, then frames whose first byte (the frame type)
// gives their length. The file ends at the first byte that cannot start a frame.

#include "formats/Validation.h"

namespace formats {

Validation validateAmr(CandidateReader& r);

}  // namespace formats
