#pragma once
// MPEG audio (MP3): an optional ID3v2 tag (its syncsafe size), the chain of frame headers, each
// frame's length computed from its bit rate, sample rate and padding, and optional APEv2 and
// ID3v1 tags after the last frame. A start without a tag needs several chained frames, as
// random bytes hold a plausible frame header every few kilobytes.

#include "formats/Validation.h"

namespace formats {

Validation validateMp3(CandidateReader& r);

}  // namespace formats
