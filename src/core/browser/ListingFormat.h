#pragma once
// The text and tab-separated forms of `list`: one line per entry, so a name can never break a
// line or a column. The command line's own formatting, kept beside the walk it prints.

#include <cstdint>
#include <string>

#include "browser/EntryView.h"
#include "browser/EntryWalk.h"

/// Control characters (bytes below 0x20 and 0x7F) written as "\xHH"; everything else unchanged.
std::string escapeListingText(const std::string& text);

/// path, D|F, deleted 0|1, size, created, accessed, modified (ISO 8601 UTC, empty when unknown),
/// attributes; tab-separated, no newline.
std::string formatTsvRow(const ListedEntry& entry, std::uint64_t size, const EntryDetails& details);

/// Two spaces per level, the name ("/" after a folder's), a file's size as the file list shows
/// it, "  [deleted]" for a deleted entry; no newline.
std::string formatTreeLine(const ListedEntry& entry, std::uint64_t size);
