#pragma once
// FLAC: "fLaC", the metadata blocks (STREAMINFO first), then the audio frames. Frames carry no
// length: a frame ends where its CRC-16 matches and the next frame's header (with a valid CRC-8
// and the next frame or sample number) begins. The last frame (the stream's total of samples is
// reached, or no header follows) ends where its subframes' own bit counts end, its CRC-16 checked.

#include "formats/Validation.h"

namespace formats {

Validation validateFlac(CandidateReader& r);

}  // namespace formats
