#pragma once
// Where the programs find the files shipped with them (the default signature set): beside the
// program in the build tree, in ../share/pictorva from an installed bin/, wherever the prefix is.

#include <string>

/// The running program's folder, ending in "/"; "" when /proc/self/exe cannot be read.
std::string runningProgramFolder();

/// programFolder + name when that file exists, else programFolder + "../share/pictorva/" + name when
/// that exists, else programFolder + name (so a message names the place looked at first).
std::string dataFilePath(const std::string& programFolder, const std::string& name);
