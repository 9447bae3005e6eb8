#pragma once
// The picture grade of a carved file: its bytes read from the volume, run by run, and decoded.

#include <cstdint>
#include <optional>
#include <string_view>

#include "formats/PictureGrade.h"
#include "raw/CarvedFile.h"

class readWriteInterface;

/// The grade of a carved file of a picture type (its extension, as carvedFileType gives it);
/// nothing for other types. Reads the file's bytes through source, never past volumeBytes.
std::optional<formats::PictureGrade> gradeCarvedFile(readWriteInterface& source, std::uint64_t volumeBytes, const CarvedFile& file,
                                                     std::string_view type);
