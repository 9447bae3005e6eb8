#pragma once
// Recognising a volume from its first sectors: the one identification table shared by the
// partition walks, the advanced scan, the volume enumeration and the command line.

#include <cstdint>
#include <span>
#include <string>

#include "common/ByteView.h"
#include "common/FileSystemKind.h"
#include "disk/VolumeRecord.h"

class readWriteInterface;

enum class FatKind { None, Fat16, Fat32, Unknown };

namespace boot_sector {
inline constexpr std::uint32_t kExtMagicOffset = 1080;  // s_magic of the superblock at byte 1024
inline constexpr std::uint16_t kExtMagic = 0xEF53;

/// EB 52 .., bytes per sector 512; requireOemName also asks for "NTFS" at byte 3.
bool isNtfs(ByteView sector, bool requireOemName);
/// EB 3C/58/76 and "EXFA" at byte 3.
bool isExfat(ByteView sector);
/// The BIOS parameter block of a FAT12/16/32 boot sector is plausible: bytes per sector
/// 512..4096 (power of two), sectors per cluster a power of two, reserved sectors >= 1, at
/// least one FAT. The probe and the FAT readers both decide with this one check; the readers
/// then ask fatKind for the width they read.
bool hasValidFatBpb(ByteView sector);
/// EB 3C/58/76, not exFAT, and hasValidFatBpb. The OEM name does not matter: mkfs.fat, cameras
/// and phones write their own.
bool isFat(ByteView sector);
/// For a sector that passes isFat: a non-zero 16-bit sectors-per-FAT means FAT12/16; zero with
/// a non-zero 32-bit value means FAT32; otherwise Unknown.
FatKind fatKind(ByteView sector);
/// Volume size in bytes as the FAT boot sector states it: the 16-bit total sector count when it
/// is not zero, else the 32-bit one.
std::uint64_t fatVolumeBytes(ByteView sector);
/// "H+" or "HX" followed by a version: the HFS+/HFSX volume header (byte 1024 of the volume).
bool isHfsPlusHeader(ByteView sector);
/// The ext superblock magic, given the volume's sector 2 (bytes 1024..1535).
bool isExtSuperblockSector(ByteView sector2);

/// A primary superblock (bytes 1024.. of an ext2/3/4 volume) that a real file system could have:
/// the magic, a block size of 1 to 64 KiB, a non-zero block count, blocks per group within what
/// one bitmap block can map, a first data block that fits the block size and group number 0 (the
/// backup copies in later groups are not volumes of their own).
bool isPlausibleExtSuperblock(ByteView superblock);
/// Bytes of the ext volume whose superblock this is (block count, 64-bit when flagged, times block size).
std::uint64_t extVolumeBytes(ByteView superblock);
/// Boot signature 55 AA and a partition entry of type 0xEE: the disk's table is its GPT.
bool isProtectiveMbr(ByteView sector0);

/// Where bytes are probed: at a volume's start named by a table entry or by the source's own
/// start (Named), or at any sector of the search for lost volumes (AnySector), where bytes that
/// merely look right are not believed without a plausible header.
enum class ProbePlace : std::uint8_t { Named, AnySector };

/// One file system as its first sectors show it: how to recognise it, the size it states and
/// what the walks call it. Every name here is also a name the reader table knows, so that an
/// identified volume always finds its reader. The partition walks, the lost-volume search and
/// the command line all ask these rows; a new file system adds one.
struct VolumeProbe {
    FileSystemKind kind;   ///< the reader table's row for what it recognises
    const char* name;      ///< what identifyVolume says: "NTFS", "FAT", "FAT32", "exFAT", "extX", "HFS+"
    const char* walkName;  ///< what the partition walks call a volume of it ("FAT16", "FAT64", ...)
    /// Where the bytes it recognises lie in the volume: 0 for a boot sector, 1024 for a
    /// superblock or volume header. The search finds such a volume headerOffset before the sector.
    std::uint32_t headerOffset;
    bool (*matchesHeader)(ByteView header, ProbePlace place);  ///< given the 512 bytes at headerOffset
    std::uint64_t (*claimedBytes)(ByteView header);             ///< the size the header states; 0 unknown
    std::uint64_t maxMegabytes;  ///< the search believes no larger claim (0: any size)
    const char* foundText;       ///< the walks' status on finding one ("%d": the running NTFS count)
    VolumeSizeForm sizeForm;     ///< how the walks list the size the header states
};
/// Every probe, in the order identifyVolume tries them.
std::span<const VolumeProbe> volumeProbes();
/// The first probe that matches the volume's first bytes (at least 1536 of them), or null.
const VolumeProbe* probeVolume(ByteView firstBytes, ProbePlace place = ProbePlace::Named);
/// The first probe whose header the 512-byte sector at position (bytes from the medium's start)
/// is, for a volume that would start at or after the medium's start; null when none.
const VolumeProbe* probeSector(ByteView sector, std::int64_t position);
/// Bytes the volume's boot sector or superblock claims (at least 1536 bytes given), 0 when unknown.
std::uint64_t claimedVolumeBytes(ByteView firstBytes);

/// The name the command line and the volume enumeration give a volume from its first bytes
/// (at least 1536 of them): "NTFS", "FAT" (FAT12/16), "FAT32", "exFAT", "extX", "HFS+" or "Unknown".
std::string identifyVolume(ByteView firstBytes);
/// Reads the first 1536 bytes of source (from its origin) and probes them: null when nothing matched.
const VolumeProbe* probeVolume(readWriteInterface& source);
/// A volume seen whole (a mounted volume, an image read as a volume), named as the platform
/// names it ("ext4" rather than "extX") from its first 1536 bytes, with its kind; "Unknown" and
/// no kind when nothing matched. Its other fields are left empty.
VolumeRecord recognisedVolume(ByteView firstBytes);
/// What a whole disk starts with, from its first 1536 bytes.
enum class DiskStart : std::uint8_t {
    Volume,   ///< a file system the probe table recognises
    Gpt,      ///< a protective MBR entry of type 0xEE
    Mbr,      ///< boot signature 55 AA and no file system
    Unknown,  ///< none of these
};
DiskStart diskStart(ByteView firstBytes);
/// diskStart as the drive list writes it: "GPT", "MBR", or the name identifyVolume gives.
std::string describeDisk(ByteView firstBytes);
/// ext2/ext3/ext4 from the superblock's feature flags, as the platform would name a mounted volume.
std::string extVariant(ByteView firstBytes);
}  // namespace boot_sector
