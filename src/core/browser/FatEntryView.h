#pragma once
// The browser's adapter over the FAT12/16 and FAT32 readers, and their scan functions for the
// reader table.

#include <memory>
#include <string>

#include "browser/ReaderRegistry.h"
#include "disk/readWriteInterface.h"

/// Standard: the boot sector walk. Advanced: the candidate build on an assumed geometry.
/// Deep is not offered for FAT volumes (the table refuses it).
ScanResult scanFat16Volume(ReaderContext& context);
ScanResult scanFat32Volume(ReaderContext& context);
/// The same for exFAT (ExfatEntryView.cpp).
ScanResult scanExfatVolume(ReaderContext& context);

/// A FAT-family reader (Fat16Class, Fat32Class, Fat64Class) on context's volume, opened.
template <typename Reader>
std::unique_ptr<Reader> openFatReader(ReaderContext& context) {
    auto reader = std::make_unique<Reader>(context.readerInput());
    reader->openVolume();
    return reader;
}

/// What the FAT family says when the Deep mode is asked of it.
inline constexpr const char* kFatDeepModeError = "Deep mode is not offered for FAT and exFAT volumes";
