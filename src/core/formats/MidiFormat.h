#pragma once
// Standard MIDI files: the "MThd" header chunk, then as many "MTrk" chunks as it counts (other
// chunk types in between are skipped by their lengths, as readers must).

#include "formats/Validation.h"

namespace formats {

Validation validateMidi(CandidateReader& r);

}  // namespace formats
