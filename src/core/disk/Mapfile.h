#pragma once
// Reading back a rescue mapfile (the format BadRangeMap::mapfileText writes and imaging tools
// share): comment lines, one status line, then "pos size status" lines, positions and sizes in
// hex (0x...) or decimal.

#include <string>

#include "disk/BadRangeMap.h"

/// The map a mapfile's text describes: '+' Read, '-' Bad, '*' and '/' Skipped (failed, not yet
/// split down to sectors), '?' Unread. False with error naming the line when the text is no
/// mapfile (a block with a bad number or status, or overlapping the one before it), or when a
/// block reaches past mediumSize (the map of another medium).
bool readMapfile(const std::string& text, std::int64_t mediumSize, BadRangeMap& map, std::string& error);
