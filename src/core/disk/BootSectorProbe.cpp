#include "disk/BootSectorProbe.h"

#include <array>
#include <bit>
#include <vector>

#include "disk/readWriteInterface.h"

namespace boot_sector {
namespace {
bool hasFatJump(ByteView s) {
    const std::uint8_t j = s.u8(1);
    return s.u8(0) == 0xEB && (j == 0x3C || j == 0x58 || j == 0x76);
}
}  // namespace

bool isNtfs(ByteView s, bool requireOemName) {
    return s.u8(0) == 0xEB && s.u8(1) == 0x52 && s.le16(11) == 512 && (!requireOemName || s.matches(3, "NTFS"));
}

bool isExfat(ByteView s) { return hasFatJump(s) && s.matches(3, "EXFA"); }

bool hasValidFatBpb(ByteView s) {
    const std::uint16_t bytesPerSector = s.le16(11);
    const std::uint8_t sectorsPerCluster = s.u8(13);
    return bytesPerSector >= 512 && bytesPerSector <= 4096 && std::has_single_bit(bytesPerSector) &&
           std::has_single_bit(sectorsPerCluster) && s.le16(14) >= 1 && s.u8(16) >= 1;
}

bool isFat(ByteView s) { return hasFatJump(s) && !isExfat(s) && hasValidFatBpb(s); }

FatKind fatKind(ByteView s) {
    if (s.le16(22) != 0)
        return FatKind::Fat16;
    return s.le32(36) != 0 ? FatKind::Fat32 : FatKind::Unknown;
}

std::uint64_t fatVolumeBytes(ByteView s) {
    // The 16-bit count is unsigned (32768 sectors and more are common on small cards), and
    // mkfs.fat uses it on FAT32 too when the volume is small enough.
    const std::uint16_t total16 = s.le16(19);
    return static_cast<std::uint64_t>(total16 != 0 ? total16 : s.le32(32)) * 512;
}

bool isHfsPlusHeader(ByteView s) {
    return s.u8(0) == 'H' && (s.u8(1) == '+' || s.u8(1) == 'X') && s.u8(2) == 0x00;
}

bool isExtSuperblockSector(ByteView sector2) { return sector2.le16(kExtMagicOffset - 1024) == kExtMagic; }

bool isPlausibleExtSuperblock(ByteView super) {
    constexpr std::uint32_t kRoCompatBigalloc = 0x200;
    const std::uint32_t logBlockSize = super.le32(0x18);
    if (super.le16(kExtMagicOffset - 1024) != kExtMagic || logBlockSize > 6 || super.le32(0x04) == 0)
        return false;
    const std::uint32_t blockSize = 1024u << logBlockSize;
    const std::uint32_t perGroup = super.le32(0x20);
    const bool bigalloc = (super.le32(0x64) & kRoCompatBigalloc) != 0;
    return perGroup != 0 && (bigalloc || perGroup <= 8 * blockSize) && super.le32(0x28) != 0 &&
           super.le32(0x14) == (blockSize == 1024 ? 1u : 0u) && super.le16(0x5A) == 0;
}

std::uint64_t extVolumeBytes(ByteView super) {
    constexpr std::uint32_t kIncompat64Bit = 0x80;
    const std::uint32_t logBlockSize = super.le32(0x18);
    if (logBlockSize > 6)
        return 0;
    std::uint64_t blocks = super.le32(0x04);
    if ((super.le32(0x60) & kIncompat64Bit) != 0)
        blocks |= static_cast<std::uint64_t>(super.le32(0x150)) << 32;
    const std::uint64_t blockSize = 1024u << logBlockSize;
    return blocks > UINT64_MAX / blockSize ? 0 : blocks * blockSize;
}

bool isProtectiveMbr(ByteView s) {
    if (s.le16(510) != 0xAA55)
        return false;
    for (int index = 0; index < 4; ++index)
        if (s.u8(446 + 16 * index + 4) == 0xEE)
            return true;
    return false;
}

namespace {
std::uint64_t sectorBytes(std::uint64_t count) { return count > UINT64_MAX / 512 ? 0 : count * 512; }

bool isFatOf(ByteView b, FatKind kind) { return isFat(b) && fatKind(b) == kind; }

// A table entry or the source's start says a volume is there, so an NTFS boot sector whose OEM
// name was damaged still counts; the search over every sector asks for the name.
bool ntfsHeader(ByteView b, ProbePlace place) { return isNtfs(b, place == ProbePlace::AnySector); }
bool exfatHeader(ByteView b, ProbePlace) { return isExfat(b); }
bool fat16Header(ByteView b, ProbePlace) { return isFatOf(b, FatKind::Fat16); }
bool fat32Header(ByteView b, ProbePlace) { return isFatOf(b, FatKind::Fat32); }
bool hfsHeader(ByteView b, ProbePlace) { return isHfsPlusHeader(b); }
// The magic number alone turns up in any data; only the search has nothing else to go on.
bool extHeader(ByteView b, ProbePlace place) {
    return place == ProbePlace::Named ? isExtSuperblockSector(b) : isPlausibleExtSuperblock(b);
}
std::uint64_t ntfsBytes(ByteView b) { return sectorBytes(b.le64(40)); }
std::uint64_t exfatBytes(ByteView b) { return sectorBytes(b.le64(72)); }
std::uint64_t hfsBytes(ByteView b) { return static_cast<std::uint64_t>(b.be32(40)) * b.be32(44); }

constexpr std::uint32_t kSuperblockOffset = 1024;
constexpr std::uint64_t kHfsMaxMegabytes = 20971519;

// In the order they are tried: an exFAT boot sector would pass the FAT jump test, and a FAT
// volume's first sectors may hold anything at byte 1024.
constexpr std::array<VolumeProbe, 6> kProbes{{
    {FileSystemKind::Ntfs, "NTFS", "NTFS", 0, ntfsHeader, ntfsBytes, 0, "found NTFS %d...", VolumeSizeForm::MegabytesWide},
    {FileSystemKind::Exfat, "exFAT", "FAT64", 0, exfatHeader, exfatBytes, 0, "found FAT 64...", VolumeSizeForm::MegabytesNarrow},
    {FileSystemKind::Fat16, "FAT", "FAT16", 0, fat16Header, fatVolumeBytes, 0, "found FAT 16...", VolumeSizeForm::MegabytesNarrow},
    {FileSystemKind::Fat32, "FAT32", "FAT32", 0, fat32Header, fatVolumeBytes, 0, "found FAT 32...", VolumeSizeForm::MegabytesNarrow},
    {FileSystemKind::Hfsp, "HFS+", "HFS+", kSuperblockOffset, hfsHeader, hfsBytes, kHfsMaxMegabytes, "found HFS+...",
     VolumeSizeForm::MegabytesNarrow},
    {FileSystemKind::Ext, "extX", "extX", kSuperblockOffset, extHeader, extVolumeBytes, 0, "found extX...",
     VolumeSizeForm::MegabytesNarrow},
}};
}  // namespace

std::span<const VolumeProbe> volumeProbes() { return kProbes; }

const VolumeProbe* probeVolume(ByteView firstBytes, ProbePlace place) {
    for (const VolumeProbe& probe : kProbes)
        if (probe.matchesHeader(firstBytes.from(probe.headerOffset), place))
            return &probe;
    return nullptr;
}

const VolumeProbe* probeSector(ByteView sector, std::int64_t position) {
    for (const VolumeProbe& probe : kProbes)
        if (position >= static_cast<std::int64_t>(probe.headerOffset) && probe.matchesHeader(sector, ProbePlace::AnySector))
            return &probe;
    return nullptr;
}

std::uint64_t claimedVolumeBytes(ByteView b) {
    const VolumeProbe* probe = probeVolume(b);
    return probe != nullptr ? probe->claimedBytes(b.from(probe->headerOffset)) : 0;
}

std::string identifyVolume(ByteView b) {
    const VolumeProbe* probe = probeVolume(b);
    return probe != nullptr ? probe->name : "Unknown";
}

const VolumeProbe* probeVolume(readWriteInterface& source) {
    std::vector<unsigned char> first(1536, 0);
    source.readAt(0, first.data(), static_cast<std::uint32_t>(first.size()));  // a short volume still identifies
    return probeVolume(ByteView(first.data(), first.size()));
}

VolumeRecord recognisedVolume(ByteView b) {
    VolumeRecord record;
    const VolumeProbe* probe = probeVolume(b);
    record.fileSystem = probe == nullptr ? std::string("Unknown") : probe->kind == FileSystemKind::Ext ? extVariant(b) : probe->name;
    record.kind = probe != nullptr ? probe->kind : FileSystemKind::Unknown;
    return record;
}

DiskStart diskStart(ByteView b) {
    if (probeVolume(b) != nullptr)
        return DiskStart::Volume;
    if (isProtectiveMbr(b))
        return DiskStart::Gpt;
    return b.le16(510) == 0xAA55 ? DiskStart::Mbr : DiskStart::Unknown;
}

std::string describeDisk(ByteView b) {
    switch (diskStart(b)) {
    case DiskStart::Gpt: return "GPT";
    case DiskStart::Mbr: return "MBR";
    default: return identifyVolume(b);
    }
}

std::string extVariant(ByteView b) {
    const ByteView super = b.from(1024);
    const std::uint32_t compat = super.le32(0x5C);
    const std::uint32_t incompat = super.le32(0x60);
    constexpr std::uint32_t kHasJournal = 0x4, kExtents = 0x40, k64Bit = 0x80, kFlexBg = 0x200;
    if ((incompat & (kExtents | k64Bit | kFlexBg)) != 0)
        return "ext4";
    return (compat & kHasJournal) != 0 ? "ext3" : "ext2";
}
}  // namespace boot_sector
