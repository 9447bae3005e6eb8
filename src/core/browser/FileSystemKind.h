#pragma once
// Which reader serves a volume, from the name its record carries. Names compare without regard
// to case: the walks say "FAT16", the overrides "fat16", the command line may say "Fat16".

#include <string>

#include "common/FileSystemKind.h"

/// The kind whose row in the file-system table (ReaderRegistry) has name among its names:
/// "NTFS" -> Ntfs; "FAT"/"FAT12"/"FAT16" -> Fat16; "FAT32" -> Fat32; "FAT64"/"exFAT" -> Exfat;
/// "extX"/"ext2"/"ext3"/"ext4" -> Ext; "HFS+" -> Hfsp; "RAW" -> Raw; anything else Unknown.
FileSystemKind fileSystemKind(const std::string& name);
