#pragma once
// The checks save and carve make on --out before anything is read or written.

#include <string>

/// False, after saying why on stderr, when out lies on the medium being recovered or names
/// something that is not a folder.
bool outputFolderUsable(const std::string& out, const std::string& source);
