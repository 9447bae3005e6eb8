#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "disk/DeviceEnumeration.h"

namespace fs = std::filesystem;

namespace {
void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}
}  // namespace

TEST(DeviceEnumeration, WholeDisksInNameOrderWithModels) {
    const fs::path sys = fs::path(::testing::TempDir()) / "pictorva-sys";
    fs::remove_all(sys);
    writeFile(sys / "block/sdb/device/vendor", "ATA     \n");
    writeFile(sys / "block/sdb/device/model", "Card Reader     \n");
    writeFile(sys / "block/sdb/size", "1024\n");
    writeFile(sys / "block/sdb/sdb1/partition", "1\n");
    writeFile(sys / "block/nvme0n1/device/model", "Fast SSD\n");
    writeFile(sys / "block/vda/device/vendor", "0x1af4\n");
    writeFile(sys / "block/loop3/loop/backing_file", "/home/me/card.img\n");
    fs::create_directories(sys / "block/loop4");  // no backing file: not a drive
    fs::create_directories(sys / "block/zram0");
    fs::create_directories(sys / "block/sr0");
    fs::create_directories(sys / "block/mmcblk0boot0");

    const auto drives = enumeratePhysicalDrives(sys.string());
    std::vector<std::string> seen;
    for (const PhysicalDrive& d : drives)
        seen.push_back(std::to_string(d.index) + " " + d.devicePath + " " + d.displayName());
    EXPECT_EQ(seen, (std::vector<std::string>{"0 /dev/loop3 /home/me/card.img", "1 /dev/nvme0n1 Fast SSD",
                                              "2 /dev/sdb ATA Card Reader", "3 /dev/vda /dev/vda"}));
    EXPECT_EQ(drives[2].sysfsBytes, 1024u * 512);
    fs::remove_all(sys);
}

TEST(DeviceEnumeration, SizeTextPrintsTheLowMegabytes) {
    EXPECT_EQ(volumeSizeText(500'000'000'000ULL), "476837  MB");
    EXPECT_EQ(volumeSizeText(0), "0  MB");
}
