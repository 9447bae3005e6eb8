#include <gtest/gtest.h>

#include "browser/AdvancedOptionsFinder.h"
#include "browser/ReaderRegistry.h"
#include "disk/BootSectorProbe.h"

// An identified volume must always reach a reader: every name a probe or a whole-source walk
// gives is one the table knows.
TEST(ReaderRegistry, EveryProbedVolumeHasAReader) {
    for (const boot_sector::VolumeProbe& probe : boot_sector::volumeProbes()) {
        EXPECT_TRUE(hasReader(fileSystemKind(probe.name))) << probe.name;
        EXPECT_EQ(fileSystemKind(probe.walkName), fileSystemKind(probe.name)) << probe.walkName;
    }
}

TEST(ReaderRegistry, NamesCompareWithoutCase) {
    const std::pair<const char*, FileSystemKind> cases[] = {
        {"NTFS", FileSystemKind::Ntfs},   {"fat", FileSystemKind::Fat16},  {"FAT12", FileSystemKind::Fat16},
        {"Fat16", FileSystemKind::Fat16}, {"fat32", FileSystemKind::Fat32}, {"FAT64", FileSystemKind::Exfat},
        {"exFAT", FileSystemKind::Exfat}, {"ext4", FileSystemKind::Ext},    {"EXTX", FileSystemKind::Ext},
        {"hfs+", FileSystemKind::Hfsp},   {"raw", FileSystemKind::Raw},     {"HFS", FileSystemKind::Unknown},
        {"", FileSystemKind::Unknown},
    };
    for (const auto& [name, kind] : cases)
        EXPECT_EQ(fileSystemKind(name), kind) << name;
    EXPECT_FALSE(hasReader(FileSystemKind::Raw));
    EXPECT_FALSE(hasReader(FileSystemKind::Unknown));
}

// The texts the front ends build from the rows, which users and scripts already know.
TEST(ReaderRegistry, FrontEndListsComeFromTheRows) {
    EXPECT_EQ(fileSystemOptionNames(), "ntfs, fat16, fat, fat32, fat64, exFat, extX, HFS+, RAW");
    EXPECT_EQ(treatAsNames(), (std::vector<std::string>{"EXTX", "FAT16", "FAT32", "FAT64", "HFS+", "NTFS", "RAW"}));
    for (const FileSystemRow& row : fileSystemRows())
        EXPECT_EQ(fileSystemKind(row.treatAsName), row.kind) << row.treatAsName;
    EXPECT_TRUE(AdvancedOptionsFinder::offered(FileSystemKind::Exfat));
    EXPECT_FALSE(AdvancedOptionsFinder::offered(FileSystemKind::Hfsp));
    EXPECT_EQ(AdvancedOptionsFinder::structureLabel(FileSystemKind::Ntfs), "TFS :");
}
