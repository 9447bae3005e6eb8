#pragma once
// The browser's view of an ext2/3/4 volume, and the reader table's scan function for it.

#include <memory>
#include <string>

#include "browser/EntryView.h"
#include "browser/ReaderRegistry.h"

/// Standard and Journal modes (the table refuses the others): runs ext2Class's walk over the
/// volume, and in the Journal mode adds the deleted files; an error when the volume or its
/// superblock or group descriptors cannot be read.
ScanResult scanExtVolume(ReaderContext& context);
