#pragma once
// Whether bytes can go on with a JPEG's entropy-coded data from their first byte: the quick
// test a stretch of the medium has to pass before a broken photo is decoded across it.

#include "common/ByteView.h"

#include "formats/CandidateReader.h"

namespace formats {

struct EntropyLook {
    bool continues = false;  ///< the bytes may be entropy-coded data, up to ends
    bool ends = false;       ///< an EOI stands in them (what follows it is not looked at)
    /// Stuffed bytes and restart markers before the end: coded data holds one every few hundred
    /// bytes, where random bytes show an EOI first once in a few hundred clusters.
    std::uint32_t escapes = 0;
};

/// Every FF in bytes is stuffed (FF 00), a restart marker, fill before a marker, the picture's
/// EOI or a segment between the scans of a progressive photo (tables, a scan header, the restart
/// interval), and no byte value runs on for 128 bytes (empty or erased space, zeroed slack).
EntropyLook lookAsEntropyData(ByteView bytes);

/// True when the JPEG in source has a progressive frame (SOF2, SOF6, SOF10, SOF14) before its
/// first scan.
bool isProgressiveJpeg(ByteSource& source);

}  // namespace formats
