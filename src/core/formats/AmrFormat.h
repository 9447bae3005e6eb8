#pragma once
// AMR and AMR-WB speech files: a magic line, then frames whose first byte (the frame type)
// gives their length. Nothing records where the file ends: the frame chain runs to the first
// byte that cannot start a frame, and bytes that follow the file may pass as a frame or two, so
// the length is approximate. Frames of zeros only are erased space and end the chain.

#include "formats/Validation.h"

namespace formats {

Validation validateAmr(CandidateReader& r);

}  // namespace formats
