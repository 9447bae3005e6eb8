#pragma once
// The record the FAT12/16 and FAT32 readers produce for each directory entry they list.

#include <cstdint>
#include <string>

struct FatEntry {
    // Bytes 11 to 31 of the directory entry, in their on-disk order (byte 12 left out).
    std::uint8_t attributes = 0;
    std::uint8_t createTimeTenths = 0;
    std::uint16_t createTime = 0;
    std::uint16_t createDate = 0;
    std::uint16_t accessDate = 0;
    std::uint16_t firstClusterHigh = 0;
    std::uint16_t writeTime = 0;
    std::uint16_t writeDate = 0;
    std::uint16_t firstClusterLow = 0;
    std::uint32_t size = 0;
    std::uint8_t deleted = 0;  ///< 1 for a deleted entry
    std::string name;          ///< long name, or the short name in directory or file form (UTF-8)
    std::uint32_t parentIndex = 0;
    std::uint32_t selfIndex = 0;
    // Filled by linkEntries once the list is complete; the list must not grow afterwards.
    FatEntry* firstChild = nullptr;
    FatEntry* nextSibling = nullptr;

    std::uint32_t firstCluster() const { return (static_cast<std::uint32_t>(firstClusterHigh) << 16) | firstClusterLow; }
};
