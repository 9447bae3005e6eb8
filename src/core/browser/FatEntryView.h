#pragma once
// The browser's adapter over the FAT12/16 and FAT32 readers, and their scan functions for the
// reader table.

#include <memory>
#include <string>

#include "browser/ReaderRegistry.h"

/// Standard: the boot sector walk. Advanced: the candidate build on an assumed geometry.
/// Deep is not offered for FAT volumes.
std::unique_ptr<EntryView> scanFat16Volume(ReaderContext& context, std::string& error);
std::unique_ptr<EntryView> scanFat32Volume(ReaderContext& context, std::string& error);
/// The same for exFAT (ExfatEntryView.cpp).
std::unique_ptr<EntryView> scanExfatVolume(ReaderContext& context, std::string& error);

/// The text every FAT-family scan returns for the Deep mode.
inline constexpr const char* kFatDeepModeError = "Deep mode is not offered for FAT and exFAT volumes";
