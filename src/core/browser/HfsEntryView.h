#pragma once
// The browser's view of an HFS+ (or HFSX) volume, and the reader table's scan function for it.

#include <memory>
#include <string>

#include "browser/EntryView.h"
#include "browser/ReaderRegistry.h"

/// Standard mode walks the catalog file's nodes; Deep mode scans the whole volume for catalog
/// leaf nodes and shows everything under ORPHAN_ENTRY. Null with error for the Advanced mode or
/// when the volume header or catalog cannot be read.
std::unique_ptr<EntryView> scanHfsVolume(ReaderContext& context, std::string& error);
