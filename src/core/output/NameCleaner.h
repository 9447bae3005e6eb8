#pragma once
// The one name cleaner: every name that comes from a disk or a signature file passes here before
// it becomes a file or folder name in the output. Names are hostile bytes; the result is always
// one harmless path component.

#include <string>

/// Longest name one Linux path component may have, in bytes.
inline constexpr std::size_t kLongestOutputName = 255;

/// name made one harmless path component: white space trimmed at both ends; "/", NUL and the
/// other control characters (0x01-0x1F, 0x7F) replaced by "_"; an empty name becomes "unnamed",
/// "." and ".." become "_" and "__"; a name longer than 255 bytes is cut on a UTF-8 character
/// boundary, its extension kept.
std::string cleanName(const std::string& name);

/// Where the extension of a cleaned name starts (name.size() when it has none): the last ".",
/// unless it is the first character or leaves a tail longer than 16 bytes.
std::size_t extensionStart(const std::string& name);

/// The k-th name for a clean name that is taken (k >= 2): " (k)" before the extension, the stem
/// cut (on a character boundary) so that the result still fits 255 bytes. A stem that already
/// ends in a blank ("IMG .jpg") gets "(k)" without a second blank.
std::string numberedName(const std::string& name, int k, bool keepExtension = true);
