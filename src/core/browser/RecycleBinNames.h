#pragma once
// Files in a recycle bin carry made-up "$R..." names; each "$I..." partner records the path the
// file had before it was deleted. The former names are what a save should write.

#include <string>

#include "browser/FileSystemKind.h"

class EntryView;

/// For the file systems whose row has a recycle bin: NTFS (one subfolder per user below the
/// bin), FAT32 and exFAT (the bin's own children):
/// reads every "$I" file of a top-level "$RECYCLE.BIN" or "$RECYCLEBIN" folder (into memory,
/// through the reader's writer), takes the former name from it, and gives the "$R" partner of
/// the same folder that name for saving. Returns the number of names restored.
int restoreRecycleBinNames(EntryView& view, FileSystemKind kind);

/// The file name (after the last '\') recorded in an "$I" file's bytes, in the older layout
/// (path at byte 24) and in the newer one (version 2, a length at 24, path at 28); empty when
/// there is none.
std::string formerNameFromInfoRecord(const std::string& bytes);
