// The Advanced mode on a FAT16 volume built in memory whose boot sector is gone: the FAT is
// found, the geometry settled from the directories' '.' entries, the tree rebuilt from the root,
// a directory nobody points at any more shows its files under "ORPHAN ENTRY", and content comes
// back through the found FAT.
#include <gtest/gtest.h>

#include <algorithm>

#include "FatScan.h"
#include "FatVolumeBuilder.h"
#include "fs/fat/Fat16Class.h"

namespace {
TEST(FatAdvanced, RebuildsTheTreeWithoutTheBootSector) {
    FatVolumeBuilder v(16, 4200);
    std::size_t root = v.rootOffset();
    v.putSlot(root, "DCIM       ", 0x10, 10, 0);
    v.chain({10});
    std::size_t at = v.startDirectory(10, 0);
    at = v.putLongName(at, "Beach Day.jpg", "BEACHD~1JPG");
    v.putSlot(at, "BEACHD~1JPG", 0x20, 30, 100);
    v.chain({30});
    v.fillCluster(30, 'b');
    v.putSlot(root + 32, "ROOT    JPG", 0x20, 20, 700);
    v.chain({20, 25});
    v.fillCluster(20, 'r');
    v.fillCluster(25, 's');
    // A directory whose entry is gone, and a deleted file in it.
    at = v.startDirectory(40, 99);
    v.putSlot(at, "\xE5OST    JPG", 0x20, 50, 10);
    v.fillCluster(50, 'l');
    std::fill(v.bytes.begin(), v.bytes.begin() + 512, 0);

    // The chosen cluster size is wrong: the '.' entries settle it.
    Scan scan(v.bytes, FileSystemKind::Fat16, ScanMode::Advanced, AdvancedChoice{0, 8, 0, 3});
    ASSERT_NE(scan.view, nullptr) << scan.error;
    EXPECT_EQ(scan.paths(), (std::vector<std::string>{"ORPHAN ENTRY", "ORPHAN ENTRY/_OST.JPG", "DCIM",
                                                      "DCIM/Beach Day.jpg", "ROOT.JPG"}));
    EXPECT_FALSE(scan.view->isDeleted(scan.find("ORPHAN ENTRY"), false));
    EXPECT_TRUE(scan.view->isDeleted(scan.find("ORPHAN ENTRY/_OST.JPG"), false));
    EXPECT_EQ(scan.content(scan.find("ROOT.JPG")), std::string(512, 'r') + std::string(188, 's'));  // through the found FAT
    EXPECT_EQ(scan.content(scan.find("DCIM/Beach Day.jpg")), std::string(100, 'b'));
    EXPECT_EQ(scan.content(scan.find("ORPHAN ENTRY/_OST.JPG")), std::string(10, 'l'));
    EXPECT_NE(std::find(scan.progress.statuses.begin(), scan.progress.statuses.end(), "FAT copies found: 1"),
              scan.progress.statuses.end());
}

TEST(FatAdvanced, AttributeBitsNeverHideAFile) {
    FatVolumeBuilder v(16, 4200);
    const std::pair<const char*, std::uint8_t> files[] = {
        {"PLAIN   JPG", 0x00}, {"READONLYJPG", 0x01}, {"HIDDEN  JPG", 0x02},
        {"SYSTEM  JPG", 0x04}, {"ROARCH  JPG", 0x21}, {"ALLBITS JPG", 0x27},
    };
    v.putSlot(v.rootOffset(), "DCIM       ", 0x10, 10, 0);
    v.chain({10});
    std::uint32_t cluster = 20;
    std::size_t at = v.startDirectory(10, 0);
    for (const auto& [name, attributes] : files) {
        v.putSlot(at, name, attributes, cluster, 10);
        v.chain({cluster++});
        at += 32;
    }
    std::fill(v.bytes.begin(), v.bytes.begin() + 512, 0);
    Scan scan(v.bytes, FileSystemKind::Fat16, ScanMode::Advanced, AdvancedChoice{0, 8, 0, 3});
    ASSERT_NE(scan.view, nullptr) << scan.error;
    const std::vector<std::string> paths = scan.paths();
    for (const char* name : {"PLAIN.JPG", "READONLY.JPG", "HIDDEN.JPG", "SYSTEM.JPG", "ROARCH.JPG",
                             "ALLBITS.JPG"})
        EXPECT_NE(std::find(paths.begin(), paths.end(), name), paths.end()) << name << " in " << testing::PrintToString(paths);
}

TEST(FatAdvanced, NoFatFoundAndAnIndexPastTheFindsAreClearErrors) {
    FatVolumeBuilder v(16, 4200);
    Scan past(v.bytes, FileSystemKind::Fat16, ScanMode::Advanced, AdvancedChoice{5, 1, 0, 3});
    EXPECT_EQ(past.view, nullptr);
    EXPECT_EQ(past.error, "no FAT_ENTRY:5 (1 found)");
    std::vector<unsigned char> blank(1 << 20, 0);
    Scan none(blank, FileSystemKind::Fat16, ScanMode::Advanced);
    EXPECT_EQ(none.view, nullptr);
    EXPECT_EQ(none.error, "No File system Entry Found.Process cannot be continued...");
}
}  // namespace

namespace {
TEST(FatAdvanced, StopEndsTheScanAndWhatWasFoundIsStillBuilt) {
    FatVolumeBuilder v(16, 4200);
    v.putSlot(v.rootOffset(), "ROOT    JPG", 0x20, 20, 10);
    RecordingProgress progress;
    SilentNotifier notifier;
    MemoryReadSeek source(v.bytes);
    Fat16Class reader(ReaderInput{source, {}, source.byteSize(), progress, notifier});
    reader.openVolume();
    reader.setAssumedGeometry(1, v.fatOffset());
    reader.stopFlag.set();
    reader.scanDirectoryEntries();
    EXPECT_TRUE(reader.candidates().empty());
    EXPECT_FALSE(reader.stopFlag.isSet());  // cleared, so the build goes on
    const auto built = reader.buildFromCandidates();
    ASSERT_GE(built.size(), 2u);
    EXPECT_EQ(built[0].name, "DUMMY ENTRY");
    EXPECT_EQ(built[1].name, "ORPHAN ENTRY");
    EXPECT_EQ(progress.ranges.front(), (std::pair<std::int64_t, std::int64_t>{0, 100000}));
}
}  // namespace
