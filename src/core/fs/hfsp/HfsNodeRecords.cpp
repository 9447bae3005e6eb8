#include "fs/hfsp/HfsNodeRecords.h"

#include <algorithm>
#include <cstdint>

#include "fs/hfsp/HfsLayout.h"

using namespace hfs_layout;

namespace hfs_records {

void NodeDamage::markUnreadable(std::uint64_t sector) {
    if (sector >= unreadable_.size())
        unreadable_.resize(sector + 1, false);
    unreadable_[sector] = true;
}

bool NodeDamage::touches(std::uint64_t offset, std::uint64_t length) const {
    if (length == 0)
        return false;
    const std::uint64_t last = (offset + std::min(length, UINT64_MAX - offset) - 1) / kSectorBytes;
    for (std::uint64_t s = offset / kSectorBytes; s <= last && s < unreadable_.size(); ++s)
        if (unreadable_[s])
            return true;
    return false;
}

std::uint64_t catalogRecordBytes(ByteView node, std::uint64_t at, bool exact) {
    if (!node.has(at, kKeyName))
        return 0;
    const std::uint16_t keyLength = node.be16(at + kKeyLength);
    const std::uint16_t nameLength = node.be16(at + kKeyNameLength);
    if (keyLength < kMinCatalogKeyLength || nameLength > kMaxNameLength || kMinCatalogKeyLength + 2u * nameLength > keyLength)
        return 0;
    if (exact && (keyLength != kMinCatalogKeyLength + 2u * nameLength || node.be32(at + kKeyParentId) == 0))
        return 0;
    const std::uint64_t record = at + keyLength + 2;
    const std::uint16_t type = node.be16(record + kRecordType);
    const bool thread = type == kRecordFolderThread || type == kRecordFileThread;
    std::uint64_t size = 0;
    if (type == kRecordFolder || type == kRecordFile) {
        if (nameLength == 0 || (exact && node.be32(record + kRecordId) == 0))
            return 0;
        size = type == kRecordFolder ? kFolderRecordSize : kFileRecordSize;
    } else if (thread) {
        const std::uint16_t threadName = node.be16(record + kThreadNameLength);
        if (threadName > kMaxNameLength || (exact && nameLength != 0))
            return 0;
        size = kThreadRecordBaseSize + 2u * threadName;
    } else {
        return 0;
    }
    return node.has(record, size) ? record + size - at : 0;
}

std::vector<std::uint16_t> readableCatalogRecords(ByteView node, const std::vector<std::uint16_t>& table,
                                                  bool tableRead, const NodeDamage& damage) {
    std::vector<std::uint16_t> records;
    if (tableRead) {
        for (std::uint16_t r : table) {
            const std::uint64_t bytes = catalogRecordBytes(node, r, false);
            if (bytes != 0 && !damage.touches(r, bytes))
                records.push_back(r);
        }
        return records;
    }
    // The table's last entry (the free space's offset) lies in the node's last two bytes at least.
    const std::uint64_t end = node.size() >= 2 ? node.size() - 2 : 0;
    for (std::uint64_t at = kNodeDescriptorSize; at + kKeyName <= end;) {
        if (damage.touches(at, kKeyName)) {
            at = (at / NodeDamage::kSectorBytes + 1) * NodeDamage::kSectorBytes;
            continue;
        }
        const std::uint64_t bytes = catalogRecordBytes(node, at, true);
        if (bytes == 0 || bytes > end - at) {
            at += 2;
            continue;
        }
        // A record running into an unreadable sector is passed over whole: bytes inside it are
        // no place to look for the next one.
        if (!damage.touches(at, bytes))
            records.push_back(static_cast<std::uint16_t>(at));
        at += bytes;
    }
    return records;
}

}  // namespace hfs_records
