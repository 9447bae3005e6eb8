#pragma once
// The length a disk's first sectors claim for it: the end of the last MBR partition, or the size
// in a volume's boot sector. An image shorter than that was cut off while it was copied.

#include <cstdint>

#include "common/ByteView.h"

/// Bytes the first sectors of a medium claim it holds (0 when they claim nothing known):
/// MBR partitions (not GPT's protective entry), FAT, NTFS and exFAT boot sectors.
std::uint64_t statedMediumBytes(ByteView firstBytes);
