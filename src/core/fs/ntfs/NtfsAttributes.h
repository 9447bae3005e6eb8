#pragma once
// The one walk over the attributes of a fixed-up MFT record. Every attribute it hands out lies
// wholly inside the record: a length of 0, one shorter than a header or one that runs past the
// record ends the walk.

#include <cstdint>

#include "common/ByteView.h"
#include "fs/ntfs/NtfsLayout.h"

struct AttributeRef {
    std::uint32_t type = 0;
    std::uint32_t offset = 0;  ///< from the record's start
    bool nonResident = false;
    ByteView bytes;            ///< the whole attribute, header included
};

/// Calls visit(AttributeRef) for each attribute in record order until it returns false.
template <typename Visit>
void forEachAttribute(ByteView record, Visit visit) {
    using namespace ntfs_layout;
    std::uint64_t offset = record.le16(kRecordFirstAttribute);
    while (record.has(offset, 8)) {
        const std::uint32_t type = record.le32(offset + kAttrType);
        if (type == kTypeEnd)
            break;
        const std::uint32_t length = record.le32(offset + kAttrLength);
        if (length < 16 || !record.has(offset, length))
            break;
        AttributeRef attribute{type, static_cast<std::uint32_t>(offset), record.u8(offset + kAttrNonResident) != 0,
                               record.slice(offset, length)};
        if (!visit(attribute))
            break;
        offset += length;
    }
}

/// The value of a resident attribute, or an empty view when its offset and length do not fit.
inline ByteView residentValue(const AttributeRef& a) {
    using namespace ntfs_layout;
    if (a.nonResident || !a.bytes.has(0, kResidentHeaderSize))
        return {};
    return a.bytes.slice(a.bytes.le16(kAttrValueOffset), a.bytes.le32(kAttrValueLength));
}
