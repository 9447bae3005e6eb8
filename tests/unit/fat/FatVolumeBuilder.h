#pragma once
// Tiny FAT12/16/32 volumes built in memory for the reader tests: 512-byte sectors, one sector per
// cluster, one FAT; every field written where it is named.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "DiskBytes.h"

class FatVolumeBuilder {
public:
    /// bits: 12, 16 or 32. clusters: data clusters of the volume.
    FatVolumeBuilder(int bits, std::uint32_t clusters) : bits_(bits), clusters_(clusters) {
        using disk_bytes::putLe;
        fatSectors_ = ((clusters + 2) * static_cast<std::uint32_t>(bits) / 8 + 511) / 512;
        const std::uint32_t rootSectors = bits == 32 ? 0 : 4;  // 64 root entries
        reserved_ = bits == 32 ? 8 : 1;
        dataSector_ = reserved_ + fatSectors_ + rootSectors;
        const std::uint32_t total = dataSector_ + clusters;
        bytes.assign(static_cast<std::size_t>(total) * 512, 0);
        bytes[0] = 0xEB;
        bytes[1] = bits == 32 ? 0x58 : 0x3C;
        disk_bytes::putText(bytes, 3, "mkfs.fat");
        putLe(bytes, 11, 512, 2);
        bytes[13] = 1;
        putLe(bytes, 14, reserved_, 2);
        bytes[16] = 1;
        putLe(bytes, 17, bits == 32 ? 0 : 64, 2);
        if (total < 0x10000 && bits != 32)
            putLe(bytes, 19, total, 2);
        else
            putLe(bytes, 32, total, 4);
        bytes[21] = 0xF8;
        if (bits == 32) {
            putLe(bytes, 36, fatSectors_, 4);
            putLe(bytes, 44, 2, 4);  // root cluster
        } else {
            putLe(bytes, 22, fatSectors_, 2);
        }
        putLe(bytes, 510, 0xAA55, 2);
        setFat(0, bits == 12 ? 0xFF8 : bits == 16 ? 0xFFF8 : 0x0FFFFFF8);
        setFat(1, endMark());
    }

    std::uint32_t endMark() const { return bits_ == 12 ? 0xFFF : bits_ == 16 ? 0xFFFF : 0x0FFFFFFF; }
    std::size_t fatOffset() const { return static_cast<std::size_t>(reserved_) * 512; }
    std::size_t rootOffset() const { return fatOffset() + fatSectors_ * 512; }
    std::size_t clusterOffset(std::uint32_t c) const { return (dataSector_ + (c - 2)) * 512ull; }

    void setFat(std::uint32_t c, std::uint32_t value) {
        const std::size_t f = fatOffset();
        if (bits_ == 12) {
            const std::size_t at = f + c * 3 / 2;
            if (c & 1) {
                bytes[at] = static_cast<unsigned char>((bytes[at] & 0x0F) | ((value << 4) & 0xF0));
                bytes[at + 1] = static_cast<unsigned char>(value >> 4);
            } else {
                bytes[at] = static_cast<unsigned char>(value);
                bytes[at + 1] = static_cast<unsigned char>((bytes[at + 1] & 0xF0) | ((value >> 8) & 0x0F));
            }
        } else {
            disk_bytes::putLe(bytes, f + c * static_cast<std::size_t>(bits_ / 8), value, bits_ / 8);
        }
    }
    /// Links the clusters into one chain ending with the end mark.
    void chain(const std::vector<std::uint32_t>& clusters) {
        for (std::size_t i = 0; i < clusters.size(); ++i)
            setFat(clusters[i], i + 1 < clusters.size() ? clusters[i + 1] : endMark());
    }

    /// A short directory entry at byte offset. name11: 11 bytes, blank-padded.
    void putSlot(std::size_t at, const std::string& name11, std::uint8_t attributes, std::uint32_t firstCluster,
                 std::uint32_t size, std::uint8_t caseFlags = 0) {
        using disk_bytes::putLe;
        if (name11.size() != 11)
            throw std::invalid_argument("short names have 11 bytes: " + name11);
        disk_bytes::putText(bytes, at, name11);
        bytes[at + 11] = attributes;
        bytes[at + 12] = caseFlags;
        putLe(bytes, at + 14, 0x5000, 2);  // 10:00:00
        putLe(bytes, at + 16, (41 << 9) | (6 << 5) | 15, 2);  // 2021-06-15
        putLe(bytes, at + 18, (41 << 9) | (6 << 5) | 16, 2);
        putLe(bytes, at + 20, firstCluster >> 16, 2);
        putLe(bytes, at + 22, (13 << 11) | (5 << 5) | 10, 2);  // 13:05:20
        putLe(bytes, at + 24, (41 << 9) | (6 << 5) | 15, 2);
        putLe(bytes, at + 26, firstCluster & 0xFFFF, 2);
        putLe(bytes, at + 28, size, 4);
    }
    /// The long-name slots for name (ASCII) before a short entry whose 11 bytes are name11;
    /// returns the offset after them. deleted marks every slot 0xE5.
    std::size_t putLongName(std::size_t at, const std::string& name, const std::string& name11, bool deleted = false) {
        std::uint8_t sum = 0;
        for (char ch : name11)
            sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + static_cast<std::uint8_t>(ch));
        const std::size_t parts = (name.size() + 12) / 13;
        static const int unitOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (std::size_t k = parts; k-- > 0;) {
            const std::size_t slot = at + (parts - 1 - k) * 32;
            bytes[slot] = deleted ? 0xE5 : static_cast<unsigned char>((k + 1) | (k + 1 == parts ? 0x40 : 0));
            bytes[slot + 11] = 0x0F;
            bytes[slot + 13] = sum;
            for (int u = 0; u < 13; ++u) {
                const std::size_t i = k * 13 + static_cast<std::size_t>(u);
                const std::uint16_t unit = i < name.size() ? static_cast<unsigned char>(name[i]) : (i == name.size() ? 0 : 0xFFFF);
                disk_bytes::putLe(bytes, slot + static_cast<std::size_t>(unitOffsets[u]), unit, 2);
            }
        }
        return at + parts * 32;
    }
    /// A directory cluster starting with its '.' and '..' entries; returns the offset of slot 2.
    std::size_t startDirectory(std::uint32_t c, std::uint32_t parent) {
        putSlot(clusterOffset(c), ".          ", 0x10, c, 0);
        putSlot(clusterOffset(c) + 32, "..         ", 0x10, parent, 0);
        return clusterOffset(c) + 64;
    }
    void fillCluster(std::uint32_t c, unsigned char value) {
        std::fill(bytes.begin() + static_cast<long>(clusterOffset(c)), bytes.begin() + static_cast<long>(clusterOffset(c) + 512), value);
    }

    std::vector<unsigned char> bytes;

private:
    int bits_;
    std::uint32_t clusters_;
    std::uint32_t fatSectors_ = 0;
    std::uint32_t reserved_ = 0;
    std::uint32_t dataSector_ = 0;
};
