#pragma once
// Photoshop documents (PSD, and PSB for large ones): the header, three sections each led by its
// length (colour mode data, image resources, layers and masks), then the merged image, whose
// length follows from the header's size and depth (raw) or from its table of row lengths (RLE).

#include "formats/Validation.h"

namespace formats {

Validation validatePsd(CandidateReader& r);

}  // namespace formats
