#include "disk/StatedSize.h"

#include <algorithm>

#include "disk/BootSectorProbe.h"

std::uint64_t statedMediumBytes(ByteView s) {
    if (boot_sector::isNtfs(s, true)) {
        // The boot sector's copy sits in the sector after the counted ones.
        const std::uint64_t sectors = s.le64(0x28);
        const std::uint16_t sectorBytes = s.le16(0x0B);
        return sectors < (UINT64_MAX >> 13) ? (sectors + 1) * sectorBytes : 0;
    }
    if (boot_sector::isExfat(s)) {
        const std::uint8_t shift = s.u8(0x6C);
        const std::uint64_t sectors = s.le64(0x48);
        return shift >= 9 && shift <= 12 && sectors < (UINT64_MAX >> shift) ? sectors << shift : 0;
    }
    if (boot_sector::isFat(s))
        return boot_sector::fatVolumeBytes(s);
    if (boot_sector::diskStart(s) != boot_sector::DiskStart::Mbr)
        return 0;
    std::uint64_t end = 0;
    for (int entry = 0; entry < 4; ++entry) {
        const std::uint64_t at = 446 + 16 * static_cast<std::uint64_t>(entry);
        if (s.u8(at + 4) == 0 || s.u8(at + 4) == 0xEE)
            continue;
        end = std::max(end, (static_cast<std::uint64_t>(s.le32(at + 8)) + s.le32(at + 12)) * 512);
    }
    return end;
}
