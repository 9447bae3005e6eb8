#pragma once
// How much of a picture can be seen: whole (it decodes completely), damaged (it decodes partly),
// unreadable (nothing of it decodes). JPEG and PNG are decoded; the other picture types are
// graded by their format's structure walk, as no cheap decoder for them is at hand.

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/CandidateReader.h"

namespace formats {

enum class Health : std::uint8_t { Whole, Damaged, Unreadable };

struct PictureGrade {
    Health health = Health::Unreadable;
    /// True when the picture was decoded (JPEG, PNG); false when its structure walk graded it.
    bool decoded = false;
    /// Decoded pictures: the picture's rows, and those whose data was read before the damage (in
    /// the pass or scan where the damage was met; all rows when whole).
    std::uint32_t rows = 0;
    std::uint32_t decodedRows = 0;
    /// Pictures graded by structure: the bytes up to where the damage starts (all when whole).
    std::uint64_t validBytes = 0;
};

/// "whole", "damaged", "unreadable": the words the lists and the reports use.
std::string_view healthText(Health health);

/// One line for lists and text output: "whole", "damaged: 120 of 480 rows" (decoded),
/// "damaged: 65536 bytes valid" (by structure), "unreadable".
std::string gradeSummary(const PictureGrade& grade);

/// True when a file of this name is a picture the grader grades (by its extension, any case).
bool isPictureName(std::string_view name);
/// The same for an extension without its dot ("jpg", "CR2").
bool isPictureExtension(std::string_view extension);

/// Grades the size bytes of source from its first byte. Reads nothing past size; memory and
/// time stay bounded whatever the bytes claim. Bytes of no picture type grade unreadable.
PictureGrade gradePicture(ByteSource& source, std::uint64_t size);

}  // namespace formats
