#include <gtest/gtest.h>

#include <tuple>

#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "browser/AdvancedOptionsFinder.h"
#include "browser/FatEntryView.h"
#include "browser/ReaderRegistry.h"
#include "disk/BootSectorProbe.h"
#include "disk/MemoryReadSeek.h"

// An identified volume must always reach a reader: every name a probe or a whole-source walk
// gives is one the table knows.
TEST(ReaderRegistry, EveryProbedVolumeHasAReader) {
    for (const boot_sector::VolumeProbe& probe : boot_sector::volumeProbes()) {
        EXPECT_TRUE(hasReader(probe.kind)) << probe.name;
        EXPECT_EQ(fileSystemKind(probe.name), probe.kind) << probe.name;
        EXPECT_EQ(fileSystemKind(probe.walkName), probe.kind) << probe.walkName;
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

// The words each kind of failure is shown with are the ones users already met.
TEST(ScanError, KindsReadAsTheSystemsMessages) {
    const std::pair<ScanError, const char*> cases[] = {
        {{ScanFailure::NoReader, {}}, "can not parse unknown volume"},
        {{ScanFailure::NotThisFormat, "Fat32", 0}, "Selected Drive is not in Fat32 Format"},
        {{ScanFailure::NoStructureFound, {}}, "No File system Entry Found.Process cannot be continued..."},
        {{ScanFailure::NoStructureFound, "NO FAT  FAT32-ENTRY found .."}, "NO FAT  FAT32-ENTRY found .."},
        {{ScanFailure::NoSuchStructure, "MFT_ENTRY:1 (1 found)"}, "no MFT_ENTRY:1 (1 found)"},
        {{ScanFailure::Aborted, {}}, "Scanning process Aborted...."},
        {{ScanFailure::Unreadable, "no ext2/3/4 superblock found"}, "no ext2/3/4 superblock found"},
        {{ScanFailure::Unreadable, {}}, "the volume could not be read"},
    };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(scanErrorText(error), text);
}

// The table refuses a mode, or a kind without a reader, before any reader is made.
TEST(ReaderRegistry, RefusesWhatNoReaderOffers) {
    const std::tuple<FileSystemKind, ScanMode, ScanFailure, const char*> cases[] = {
        {FileSystemKind::Ext, ScanMode::Deep, ScanFailure::ModeNotOffered,
         "ext2/3/4 volumes are read in the standard and deleted files (journal) modes"},
        {FileSystemKind::Hfsp, ScanMode::Advanced, ScanFailure::ModeNotOffered,
         "HFS+ volumes are read in the standard and deep modes"},
        {FileSystemKind::Hfsp, ScanMode::Journal, ScanFailure::ModeNotOffered,
         "HFS+ volumes are read in the standard and deep modes"},
        {FileSystemKind::Exfat, ScanMode::Deep, ScanFailure::ModeNotOffered, kFatDeepModeError},
        {FileSystemKind::Raw, ScanMode::Standard, ScanFailure::NoReader, "can not parse unknown volume"},
        {FileSystemKind::Unknown, ScanMode::Standard, ScanFailure::NoReader, "can not parse unknown volume"},
    };
    for (const auto& [kind, mode, failure, text] : cases) {
        MemoryReadSeek source(std::vector<unsigned char>(4096, 0));
        ApplicationState app;
        SilentNotifier notifier;
        ReaderContext context{source, {}, source.byteSize(), app, NullProgressSink::instance(), notifier, mode, {},
                              nullptr, nullptr};
        const ScanResult scan = scanVolume(kind, context);
        ASSERT_EQ(scan.view, nullptr) << text;
        EXPECT_EQ(scan.error.kind, failure) << text;
        EXPECT_EQ(scanErrorText(scan.error), text);
    }
}
