#pragma once
// The text and tab-separated forms of `list`: one line per entry, so a name can never break a
// line or a column.

#include <cstdint>
#include <string>

#include "browser/EntryView.h"
#include "browser/EntryWalk.h"

/// Control characters (bytes below 0x20 and 0x7F) written as "\xHH"; everything else unchanged.
std::string escapeListingText(const std::string& text);

/// path, D|F, deleted 0|1, size, created, accessed, modified, attributes; tab-separated, no newline.
std::string formatTsvRow(const ListedEntry& entry, std::uint64_t size, const ListTexts& texts);

/// Two spaces per level, the name ("/" after a folder's), a file's size text, "  [deleted]" for a
/// deleted entry; no newline.
std::string formatTreeLine(const ListedEntry& entry, const ListTexts& texts);
