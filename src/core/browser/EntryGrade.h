#pragma once
// The picture grade of a deleted file: its content, as the reader recovers it, decoded. Live
// files are whole as far as their file system tells and are not read for it.

#include <memory>
#include <optional>

#include "browser/EntryView.h"
#include "formats/PictureGrade.h"
#include "output/OutputFile.h"

/// Larger deleted pictures are not graded: the content is held in memory while it is decoded.
inline constexpr std::uint64_t kMaxGradedEntryBytes = std::uint64_t{1} << 30;

/// True when gradeEntry answers for the entry (folder and deleted as the walk met it): a deleted
/// file whose name is a picture's.
bool isGradedEntry(const EntryView& view, EntryRef entry, bool folder, bool deleted);

/// The grade of a deleted picture file; nothing for other entries and for pictures larger than
/// kMaxGradedEntryBytes. Content the reader could not write at all grades unreadable.
std::optional<formats::PictureGrade> gradeEntry(EntryView& view, EntryRef entry, bool folder, bool deleted);

/// The two halves of gradeEntry, for a caller that reads through a shared reader and decodes
/// without holding it: the content gradeEntry decodes (null where it grades nothing), and its grade.
std::unique_ptr<MemoryOutput> readGradedContent(EntryView& view, EntryRef entry, bool folder, bool deleted);
formats::PictureGrade gradeContent(const MemoryOutput& content);
