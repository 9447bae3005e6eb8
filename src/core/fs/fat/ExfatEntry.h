#pragma once
// The record the exFAT reader produces for each file entry set it lists.

#include <cstdint>
#include <string>

struct ExfatEntry {
    std::uint8_t entryType = 0;  ///< 0x85, or 0x05 for a deleted set
    std::uint16_t attributes = 0;
    std::uint32_t createTimestamp = 0;
    std::uint32_t modifyTimestamp = 0;
    std::uint32_t accessTimestamp = 0;
    std::uint8_t create10ms = 0;
    std::uint8_t modify10ms = 0;
    std::uint8_t createUtcOffset = 0;
    std::uint8_t modifyUtcOffset = 0;
    std::uint8_t accessUtcOffset = 0;
    std::uint8_t streamType = 0;   ///< 0xC0, or 0x40 when deleted
    std::uint8_t streamFlags = 0;  ///< 0x01 allocation possible, 0x02 no FAT chain
    std::uint8_t nameLength = 0;
    std::uint64_t validDataLength = 0;  ///< the size shown and saved
    std::uint32_t firstCluster = 0;
    std::uint64_t dataLength = 0;
    std::string name;  ///< UTF-8
    std::uint32_t parentIndex = 0;
    std::uint32_t selfIndex = 0;
    ExfatEntry* firstChild = nullptr;
    ExfatEntry* nextSibling = nullptr;

    bool deleted() const { return entryType == 0x05; }
};
