#include <gtest/gtest.h>

#include "DiskBytes.h"
#include "disk/BootSectorProbe.h"

using namespace disk_bytes;

namespace {
std::vector<unsigned char> volume() { return std::vector<unsigned char>(1536, 0); }
}  // namespace

TEST(BootSectorProbe, IdentifiesVolumesByTheirFirstSectors) {
    struct Case {
        const char* what;
        void (*make)(std::vector<unsigned char>&);
        const char* name;
    };
    const Case cases[] = {
        {"NTFS", [](auto& b) { putNtfsBoot(b, 0, 1000); }, "NTFS"},
        {"exFAT", [](auto& b) { putExfatBoot(b, 0, 1000); }, "exFAT"},
        {"FAT16 by mkfs.fat", [](auto& b) { putFatBoot(b, 0, false, 1000); }, "FAT"},
        {"FAT16, blank OEM name", [](auto& b) { putFatBoot(b, 0, false, 1000, 6, "        "); }, "FAT"},
        {"FAT32", [](auto& b) { putFatBoot(b, 0, true, 100000); }, "FAT32"},
        {"FAT without sectors per FAT", [](auto& b) { putFatBoot(b, 0, false, 1000, 0); }, "Unknown"},
        {"FAT with 3 sectors per cluster", [](auto& b) { putFatBoot(b, 0, false, 1000), b[13] = 3; }, "Unknown"},
        {"FAT with no FATs", [](auto& b) { putFatBoot(b, 0, false, 1000), b[16] = 0; }, "Unknown"},
        {"FAT with 700-byte sectors", [](auto& b) { putFatBoot(b, 0, false, 1000), putLe(b, 11, 700, 2); }, "Unknown"},
        {"HFS+", [](auto& b) { putHfsHeader(b, 0, 4096, 10); }, "HFS+"},
        {"ext", [](auto& b) { putLe(b, 1080, 0xEF53, 2); }, "extX"},
        {"zeros", [](auto&) {}, "Unknown"},
    };
    for (const Case& c : cases) {
        auto bytes = volume();
        c.make(bytes);
        EXPECT_EQ(boot_sector::identifyVolume(ByteView(bytes.data(), bytes.size())), c.name) << c.what;
    }
}

// The 16-bit total is unsigned, and small FAT32 volumes made by mkfs.fat use it too.
TEST(BootSectorProbe, FatSizeTakesTheSixteenBitCountWhenSet) {
    auto bytes = volume();
    putFatBoot(bytes, 0, false, 32768);
    EXPECT_EQ(boot_sector::fatVolumeBytes(ByteView(bytes.data(), bytes.size())), 32768u * 512);
    auto small32 = volume();
    putFatBoot(small32, 0, true, 0);
    putLe(small32, 19, 16384, 2);
    EXPECT_EQ(boot_sector::fatVolumeBytes(ByteView(small32.data(), small32.size())), 16384u * 512);
}
