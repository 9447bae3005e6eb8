#pragma once
// The picture grade of a deleted file: its content, as the reader recovers it, decoded. Live
// files are whole as far as their file system tells and are not read for it.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "browser/EntryView.h"
#include "formats/PictureGrade.h"

/// Larger deleted pictures are not graded: the content may be held in memory while it is decoded.
inline constexpr std::uint64_t kMaxGradedEntryBytes = std::uint64_t{1} << 30;

/// True when gradeEntry answers for the entry (folder and deleted as the walk met it): a deleted
/// file whose name is a picture's, or any such file of a view that grades every picture.
bool isGradedEntry(const EntryView& view, EntryRef entry, bool folder, bool deleted);

/// The grade of a picture file isGradedEntry names, decoded as it is read; nothing for other entries and for
/// pictures larger than kMaxGradedEntryBytes. Content the reader cannot give at all grades
/// unreadable.
std::optional<formats::PictureGrade> gradeEntry(EntryView& view, EntryRef entry, bool folder, bool deleted);

/// A picture's content in memory, for grading apart from its reader.
using GradedBytes = std::vector<std::uint8_t>;
/// The two halves of gradeEntry, for a caller that reads through a shared reader and decodes
/// without holding it: the content gradeEntry decodes (null where it grades nothing), and its grade.
std::unique_ptr<GradedBytes> readGradedContent(EntryView& view, EntryRef entry, bool folder, bool deleted);
formats::PictureGrade gradeContent(const GradedBytes& content);
