#pragma once
// One catalog record (folder or file) of an HFS+ volume, keyed by its catalog node ID.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct HfsEntry {
    std::uint16_t type = 0;             ///< 1 folder, 2 file
    std::uint32_t parentId = 0;         ///< CNID of the parent folder, from the key
    std::uint32_t cnid = 0;
    std::uint32_t firstChild = 0xFFFFFFFFu;
    std::uint32_t nextSibling = 0xFFFFFFFFu;
    std::uint32_t totalBlocks = 0;      ///< data fork blocks (files)
    std::string name;                   ///< the key's name, as UTF-8
    std::uint64_t nodeOffset = 0;       ///< byte offset of the catalog node holding the record, in the volume
    std::uint32_t recordOffset = 0;     ///< offset of the record's key within that node
    std::uint64_t logicalSize = 0;      ///< data fork logical size (files)
    std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;  ///< data fork (start, count), start non-zero
    // Kept from the record so that list texts and saving need not find the node again.
    std::uint32_t createDate = 0;  ///< seconds since 1904-01-01 UTC
    std::uint32_t contentModDate = 0;
    std::uint32_t attributeModDate = 0;
    std::uint32_t accessDate = 0;
    std::uint16_t fileMode = 0;
};
