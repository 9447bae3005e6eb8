#pragma once
// The words after the count in a save's or a carve's result line, the same in the command line
// and the wizard: ", <k> partial" when files hold zeros for unreadable bytes, the notes of what
// was left out (identical files, deleted files without content), and with only whole pictures
// wanted ", <m> pictures left out as not whole".

#include <cstdint>
#include <optional>
#include <string>

/// notes: already worded, each starting ", " (or empty); notWhole: none when only whole pictures
/// were not asked for.
std::string runCountsText(std::int64_t partial, const std::string& notes, std::optional<std::int64_t> notWhole);
/// ", <k> of them found by content": how many of the files written a search of the free space
/// found, after those the file system lists.
std::string foundByContentText(std::int64_t found);
