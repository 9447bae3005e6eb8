#pragma once
// The built-in formats: one row per start signature, with the validator that walks the file's
// own structure. Rows sharing a signature ("RIFF" for WAV, AVI and WebP) are tried in table
// order; the first that does not answer "not this type" wins.

#include <cstdint>
#include <span>
#include <string_view>

#include "formats/Validation.h"

namespace formats {

struct FormatRow {
    std::string_view name;       ///< "JPEG"
    std::string_view extension;  ///< "jpg"
    std::string_view category;   ///< the carved-file tree's category, as in the default signature set
    std::uint16_t magicOffset;   ///< where the magic stands from the file's first byte
    std::string_view magic;      ///< fixed bytes every file of the row holds there
    ValidateFunction validate;
    /// The longest file of the row a walk may span: the reader's limit, so a damaged file whose
    /// data runs on into empty space is cut there rather than at the end of the volume.
    std::uint64_t maxLength;
};

std::span<const FormatRow> builtInFormats();

/// True for the rows whose files hold raw pixel data (TIFF and its raws, BMP), which no marker
/// ends: a file of theirs cut short is taken whole over whatever follows, so a picture that
/// starts inside one where its structure names none shows where it was cut.
bool holdsRawPixels(const FormatRow& row);

/// The category a file found by row is listed under when its structure named it extension: that
/// of the row carrying the extension (an MP4 row's QuickTime file is QuickTime), "Camera RAW" for
/// the raws built on plain TIFF (NEF, ARW, DNG, PEF, SRW), else the row's own.
std::string_view categoryOf(const FormatRow& row, std::string_view extension);

}  // namespace formats
