#pragma once
// The browser's view of an ext2/3/4 volume, and the reader table's scan function for it.

#include <memory>
#include <string>

#include "browser/EntryView.h"
#include "browser/ReaderRegistry.h"

/// Standard mode only: runs ext2Class's walk over the volume. Null with error when the mode is
/// not offered or no superblock is found.
std::unique_ptr<EntryView> scanExtVolume(ReaderContext& context, std::string& error);
