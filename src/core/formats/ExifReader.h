#pragma once
// The EXIF fields a recovered picture is named and previewed by: when it was taken, the camera,
// and where its embedded thumbnail lies. Read from a JPEG's APP1 "Exif" segment or from the IFDs
// of a TIFF or camera raw. Reference: EXIF 2.3 (CIPA DC-008), sections 4.5 and 4.6.

#include <cstdint>
#include <optional>
#include <string>

#include "common/ByteView.h"
#include "formats/CandidateReader.h"
#include "formats/WallClock.h"

namespace formats {

struct ExifInfo {
    std::optional<WallClock> taken;  ///< DateTimeOriginal, else DateTime; nothing when neither is a date
    std::string make, model;         ///< as written, trailing blanks and control bytes dropped
    std::uint64_t thumbnailOffset = 0;  ///< the embedded JPEG thumbnail, from the file's first byte
    std::uint64_t thumbnailLength = 0;  ///< 0: none (or not readable within the file, or no JPEG)

    bool hasThumbnail() const { return thumbnailLength > 0; }
    /// "Canon EOS 80D"; the maker's first word goes before a model that does not start with it
    /// ("SONY ILCE-7M3"). Empty when neither is written.
    std::string camera() const;
};

/// The EXIF of a JPEG (its APP1 segments before the scan) or a TIFF-based file (by its header),
/// read from the candidate's first byte; nothing when the file holds no EXIF IFD0.
std::optional<ExifInfo> readExif(CandidateReader& r);
/// The EXIF of the TIFF structure whose header stands at base, all of it before end (both from
/// the candidate's first byte); nothing when no TIFF header stands there.
std::optional<ExifInfo> readTiffExif(CandidateReader& r, std::uint64_t base, std::uint64_t end);
/// The EXIF of a Fujifilm RAF: that of the JPEG preview its header points to (big-endian offset
/// and length at bytes 84 and 88).
std::optional<ExifInfo> readRafExif(CandidateReader& r);
/// The same for a file held in memory.
std::optional<ExifInfo> readExif(ByteView file);

}  // namespace formats
