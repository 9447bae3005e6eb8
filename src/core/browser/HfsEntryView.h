#pragma once
// The browser's view of an HFS+ (or HFSX) volume, and the reader table's scan function for it.

#include <memory>
#include <string>

#include "browser/EntryView.h"
#include "browser/ReaderRegistry.h"

/// Standard mode walks the catalog file's nodes; Deep mode scans the whole volume for catalog
/// leaf nodes and shows everything under ORPHAN_ENTRY (the table refuses the Advanced mode). An
/// error when the volume header or catalog cannot be read.
ScanResult scanHfsVolume(ReaderContext& context);
