#pragma once
// Byte builders for NTFS fixtures: MFT records attribute by attribute (with the update-sequence
// fixup applied as a real volume stores it) and a small volume around them.

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "DiskBytes.h"

namespace ntfs_bytes {
using Bytes = std::vector<unsigned char>;
using disk_bytes::putLe;

inline Bytes utf16(const std::string& ascii) {
    Bytes out;
    for (char c : ascii) {
        out.push_back(static_cast<unsigned char>(c));
        out.push_back(0);
    }
    return out;
}

/// Mapping pairs for runs of (cluster number, count); a cluster number of -1 is a hole.
inline Bytes encodeRuns(const std::vector<std::pair<std::int64_t, std::uint64_t>>& runs) {
    Bytes out;
    std::int64_t previous = 0;
    for (const auto& [lcn, count] : runs) {
        auto width = [](std::uint64_t v, bool isSigned) {
            unsigned n = 1;
            while (n < 8) {
                const auto s = static_cast<std::int64_t>(v);
                const std::int64_t lo = -(std::int64_t{1} << (8 * n - 1));
                const std::int64_t hi = (std::int64_t{1} << (8 * n - 1)) - 1;
                if (isSigned ? (s >= lo && s <= hi) : (v >> (8 * n)) == 0)
                    break;
                ++n;
            }
            return n;
        };
        const unsigned lengthSize = width(count, true);
        const std::int64_t delta = lcn - previous;
        const unsigned offsetSize = lcn < 0 ? 0 : width(static_cast<std::uint64_t>(delta), true);
        out.push_back(static_cast<unsigned char>(lengthSize | (offsetSize << 4)));
        for (unsigned i = 0; i < lengthSize; ++i)
            out.push_back(static_cast<unsigned char>(count >> (8 * i)));
        for (unsigned i = 0; i < offsetSize; ++i)
            out.push_back(static_cast<unsigned char>(static_cast<std::uint64_t>(delta) >> (8 * i)));
        if (lcn >= 0)
            previous = lcn;
    }
    out.push_back(0);
    return out;
}

class Record {
public:
    explicit Record(std::uint32_t number, std::uint16_t flags = 1) : number_(number), flags_(flags) {}

    Record& standardInformation(std::uint64_t created, std::uint64_t modified, std::uint64_t accessed) {
        Bytes v(0x30, 0);
        putLe(v, 0x00, created, 8);
        putLe(v, 0x08, modified, 8);
        putLe(v, 0x10, modified, 8);
        putLe(v, 0x18, accessed, 8);
        return resident(0x10, v);
    }
    Record& fileName(std::uint64_t parent, const std::string& name, std::uint8_t nameSpace = 1, bool directory = false,
                     std::uint32_t fileFlags = 0x20) {
        Bytes v(0x42, 0);
        putLe(v, 0x00, parent | (std::uint64_t{1} << 48), 8);
        putLe(v, 0x38, fileFlags | (directory ? 0x10000000u : 0u), 4);
        v[0x40] = static_cast<unsigned char>(name.size());
        v[0x41] = nameSpace;
        const Bytes units = utf16(name);
        v.insert(v.end(), units.begin(), units.end());
        return resident(0x30, v);
    }
    Record& residentData(const std::string& content, const std::string& streamName = "") {
        return resident(0x80, Bytes(content.begin(), content.end()), streamName);
    }
    Record& nonResidentData(const Bytes& runs, std::uint64_t startVcn, std::uint64_t lastVcn, std::uint64_t realSize,
                            std::uint16_t flags = 0, std::uint8_t compressionExponent = 0, std::uint32_t type = 0x80) {
        const std::uint32_t header = flags != 0 ? 0x48 : 0x40;
        Bytes a(header, 0);
        putLe(a, 0x00, type, 4);
        a[0x08] = 1;
        putLe(a, 0x0C, flags, 2);
        putLe(a, 0x10, startVcn, 8);
        putLe(a, 0x18, lastVcn, 8);
        putLe(a, 0x20, header, 2);
        a[0x22] = compressionExponent;
        putLe(a, 0x28, (lastVcn + 1) * 4096, 8);
        putLe(a, 0x30, realSize, 8);
        putLe(a, 0x38, realSize, 8);
        a.insert(a.end(), runs.begin(), runs.end());
        return append(a);
    }
    /// A resident $ATTRIBUTE_LIST naming (type, first VCN, record number) entries.
    Record& attributeList(const std::vector<std::tuple<std::uint32_t, std::uint64_t, std::uint64_t>>& entries) {
        Bytes v;
        for (const auto& [type, vcn, record] : entries) {
            Bytes e(0x20, 0);
            putLe(e, 0x00, type, 4);
            putLe(e, 0x04, 0x20, 2);
            putLe(e, 0x08, vcn, 8);
            putLe(e, 0x10, record & 0xFFFFFFFF, 4);
            putLe(e, 0x14, record >> 32, 2);
            v.insert(v.end(), e.begin(), e.end());
        }
        return resident(0x20, v);
    }
    Record& baseRecord(std::uint64_t base) {
        base_ = base;
        return *this;
    }
    /// Raw attribute bytes (hostile fixtures).
    Record& append(Bytes attribute) {
        while (attribute.size() % 8 != 0)
            attribute.push_back(0);
        putLe(attribute, 0x04, attribute.size(), 4);
        attributes_.insert(attributes_.end(), attribute.begin(), attribute.end());
        return *this;
    }
    Record& appendUnpadded(const Bytes& attribute) {
        attributes_.insert(attributes_.end(), attribute.begin(), attribute.end());
        return *this;
    }

    /// The record as stored: the last two bytes of each 512-byte sector moved into the update
    /// sequence and replaced by the check value.
    Bytes bytes(std::uint32_t size = 1024) const {
        Bytes r(size, 0);
        disk_bytes::putText(r, 0, "FILE");
        putLe(r, 0x04, 0x30, 2);
        putLe(r, 0x06, size / 512 + 1, 2);
        putLe(r, 0x14, 0x38, 2);
        putLe(r, 0x16, flags_, 2);
        putLe(r, 0x18, 0x38 + attributes_.size() + 8, 4);
        putLe(r, 0x1C, size, 4);
        putLe(r, 0x20, base_, 8);
        putLe(r, 0x2C, number_, 4);
        for (std::size_t i = 0; i < attributes_.size() && 0x38 + i < size; ++i)
            r[0x38 + i] = attributes_[i];
        if (0x38 + attributes_.size() + 4 <= size)
            putLe(r, 0x38 + attributes_.size(), 0xFFFFFFFF, 4);
        putLe(r, 0x30, 0x0001, 2);
        for (std::uint32_t k = 1; k <= size / 512; ++k) {
            r[0x30 + 2 * k] = r[512 * k - 2];
            r[0x30 + 2 * k + 1] = r[512 * k - 1];
            putLe(r, 512 * k - 2, 0x0001, 2);
        }
        return r;
    }

private:
    Record& resident(std::uint32_t type, const Bytes& value, const std::string& streamName = "") {
        const Bytes name = utf16(streamName);
        std::size_t valueOffset = 0x18 + name.size();
        while (valueOffset % 8 != 0)
            ++valueOffset;
        Bytes a(valueOffset, 0);
        putLe(a, 0x00, type, 4);
        a[0x09] = static_cast<unsigned char>(streamName.size());
        putLe(a, 0x0A, 0x18, 2);
        putLe(a, 0x10, value.size(), 4);
        putLe(a, 0x14, valueOffset, 2);
        for (std::size_t i = 0; i < name.size(); ++i)
            a[0x18 + i] = name[i];
        a.insert(a.end(), value.begin(), value.end());
        return append(a);
    }

    std::uint32_t number_;
    std::uint16_t flags_;
    std::uint64_t base_ = 0;
    Bytes attributes_;
};

/// A volume of totalClusters clusters: boot sector, MFT at mftCluster holding the records given
/// (record 0, the $MFT, is made to map exactly those slots), data placed by cluster.
class Volume {
public:
    Volume(std::uint32_t clusterSize, std::uint64_t totalClusters, std::uint64_t mftCluster, std::uint32_t mftSlots = 32)
        : clusterSize_(clusterSize), mftCluster_(mftCluster), mftSlots_(mftSlots), bytes_(clusterSize * totalClusters, 0) {
        bytes_[0] = 0xEB;
        bytes_[1] = 0x52;
        bytes_[2] = 0x90;
        disk_bytes::putText(bytes_, 3, "NTFS    ");
        putLe(bytes_, 0x0B, 512, 2);
        bytes_[0x0D] = static_cast<unsigned char>(clusterSize / 512);  // 128 for 64 KiB clusters
        putLe(bytes_, 0x28, bytes_.size() / 512 - 1, 8);
        putLe(bytes_, 0x30, mftCluster, 8);
        bytes_[0x40] = 0xF6;  // 2^10 = 1024-byte records
        putLe(bytes_, 0x1FE, 0xAA55, 2);
    }
    std::uint64_t mftClusters() const { return (std::uint64_t{mftSlots_} * 1024 + clusterSize_ - 1) / clusterSize_; }
    /// The standard system records ($MFT mapping the MFT, root ".") so that a walk works.
    Volume& withSystemRecords() {
        put(Record(0).fileName(5, "$MFT").nonResidentData(encodeRuns({{static_cast<std::int64_t>(mftCluster_), mftClusters()}}),
                                                          0, mftClusters() - 1, std::uint64_t{mftSlots_} * 1024));
        put(Record(1).fileName(5, "$MFTMirr"));
        put(Record(2).fileName(5, "$LogFile"));
        put(Record(3).fileName(5, "$Volume"));
        put(Record(4).fileName(5, "$AttrDef"));
        put(Record(5, 3).fileName(5, ".", 3, true));
        put(Record(6).fileName(5, "$Bitmap"));
        put(Record(7).fileName(5, "$Boot"));
        return *this;
    }
    Volume& put(const Record& record, std::uint32_t number) {
        const Bytes r = record.bytes();
        std::copy(r.begin(), r.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(mftCluster_ * clusterSize_ + number * 1024));
        return *this;
    }
    Volume& put(const Record& record) { return put(record, number(record)); }
    Volume& data(std::uint64_t cluster, const Bytes& content) {
        std::copy(content.begin(), content.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(cluster * clusterSize_));
        return *this;
    }
    Bytes& bytes() { return bytes_; }

private:
    static std::uint32_t number(const Record& record) {
        const Bytes r = record.bytes();
        return static_cast<std::uint32_t>(r[0x2C] | (r[0x2D] << 8));
    }
    std::uint32_t clusterSize_;
    std::uint64_t mftCluster_;
    std::uint32_t mftSlots_;
    Bytes bytes_;
};
}  // namespace ntfs_bytes
