#pragma once
// PNG: the chunk chain from IHDR to IEND, every chunk's CRC checked.

#include "formats/Validation.h"

namespace formats {

Validation validatePng(CandidateReader& reader);

}  // namespace formats
