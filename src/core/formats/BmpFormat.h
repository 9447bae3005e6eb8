#pragma once
// BMP: the file-size field, checked against the pixel data the header says the file holds.

#include "formats/Validation.h"

namespace formats {

Validation validateBmp(CandidateReader& reader);

}  // namespace formats
