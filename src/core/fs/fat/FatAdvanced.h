#pragma once
// The Advanced mode of the FAT family: find the lost FAT starts (and exFAT heap offsets) on the
// volume, assume a geometry from the user's choices, scan the volume for directory entries and
// build the entry list from them. These run the readers' own steps in the order the advanced
// options page and the results page would.

#include "common/ScanError.h"

struct AdvancedChoice;
class Fat16Class;
class Fat32Class;
class Fat64Class;
class ProgressSink;

/// Each searches for the FAT starts (exFAT: and the heap offsets), takes the structure, sectors
/// per cluster (exFAT: the shift) and heap offset of the choice (-1 sectors per cluster: the first
/// the advanced options page offers), scans the volume and builds and links the entry list.
/// False with error set when no structure could be found or chosen.
bool runFat16Advanced(Fat16Class& reader, const AdvancedChoice& choice, ProgressSink& progress, ScanError& error);
bool runFat32Advanced(Fat32Class& reader, const AdvancedChoice& choice, ProgressSink& progress, ScanError& error);
bool runExfatAdvanced(Fat64Class& reader, const AdvancedChoice& choice, ProgressSink& progress, ScanError& error);
