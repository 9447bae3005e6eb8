#pragma once
// Which records of a catalog leaf node can be trusted when some of its 512-byte sectors could not
// be read (the medium served zeros there): those whose bytes all lie in sectors that were read.
// A node's descriptor or offset table may be lost with such a sector; its records are then found
// by walking the bytes that were read for records that hold together, so one bad sector costs
// the records it touches, not the node.

#include <cstdint>
#include <vector>

#include "common/ByteView.h"

namespace hfs_records {

/// The sectors of one node that came back as zeros.
class NodeDamage {
public:
    static constexpr std::uint64_t kSectorBytes = 512;

    void markUnreadable(std::uint64_t sector);
    bool any() const { return !unreadable_.empty(); }
    /// True when a byte of [offset, offset + length) lies in an unreadable sector.
    bool touches(std::uint64_t offset, std::uint64_t length) const;

private:
    std::vector<bool> unreadable_;  ///< by sector; past its end every sector was read
};

/// Bytes of the catalog leaf record at `at` (its key, then a folder, file or thread record) when
/// one can stand there within the node, else 0. exact: only a key as long as its name (as
/// catalog leaf keys are) with a parent, a name only where the record type has one, and a
/// folder or file ID: the test for bytes found without the node's offset table.
std::uint64_t catalogRecordBytes(ByteView node, std::uint64_t at, bool exact);

/// The offsets of the records of a catalog leaf node that can be parsed. With its offset table
/// read, the records it lists whose bytes avoid the unreadable sectors; without it, the records
/// that hold together (exact) found in order in the bytes that were read, the first at the
/// descriptor's end and each further one where the last ends or, past an unreadable sector or
/// bytes that hold none, at the next even offset where one stands.
std::vector<std::uint16_t> readableCatalogRecords(ByteView node, const std::vector<std::uint16_t>& table,
                                                  bool tableRead, const NodeDamage& damage);

}  // namespace hfs_records
