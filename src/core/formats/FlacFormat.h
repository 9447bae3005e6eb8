#pragma once
// FLAC: "fLaC", the metadata blocks (STREAMINFO first), then the audio frames. Frames carry no
// length: a frame ends where its CRC-16 matches and the next frame's header (with a valid CRC-8
// and the next frame or sample number) begins, or, for the last frame, where the stream's total
// of samples is reached.

#include "formats/Validation.h"

namespace formats {

Validation validateFlac(CandidateReader& r);

}  // namespace formats
