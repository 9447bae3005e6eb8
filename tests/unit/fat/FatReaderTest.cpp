#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "FatScan.h"
#include "FatVolumeBuilder.h"
#include "ListedCount.h"
#include "browser/FatEntryView.h"
#include "common/ListTextFormat.h"
#include "fs/fat/Fat16Class.h"
#include "fs/fat/Fat32Class.h"

namespace {
std::string repeated(char c, std::size_t n) { return std::string(n, c); }

TEST(FatBootSector, ValidParameterBlockDecidesNotTheOemName) {
    struct Case {
        const char* what;
        std::size_t offset;
        std::vector<unsigned char> bytes;
        bool fat16, fat32;
    };
    const std::vector<Case> cases = {
        {"mkfs.fat OEM name", 3, {'m', 'k', 'f', 's', '.', 'f', 'a', 't'}, true, false},
        {"blank OEM name", 3, {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '}, true, false},
        {"MSDOS", 3, {'M', 'S', 'D', 'O', 'S', '5', '.', '0'}, true, false},
        {"BSD", 3, {'B', 'S', 'D', ' ', ' ', '4', '.', '4'}, true, false},
        {"bytes per sector 0", 11, {0, 0}, false, false},
        {"bytes per sector 513", 11, {1, 2}, false, false},
        {"bytes per sector 4096", 11, {0, 16}, true, false},
        {"sectors per cluster 0", 13, {0}, false, false},
        {"sectors per cluster 3", 13, {3}, false, false},
        {"no reserved sector", 14, {0, 0}, false, false},
        {"no FAT", 16, {0}, false, false},
        {"FAT32 layout", 22, {0, 0}, false, false},  // 16-bit field zero, 32-bit field zero too
    };
    for (const Case& c : cases) {
        FatVolumeBuilder volume(12, 100);
        std::copy(c.bytes.begin(), c.bytes.end(), volume.bytes.begin() + static_cast<long>(c.offset));
        RecordingProgress progress;
        SilentNotifier notifier;
        MemoryReadSeek source(volume.bytes);
        const ReaderInput input{source, {}, 0, progress, notifier};
        Fat16Class fat16(input);
        fat16.openVolume();
        EXPECT_EQ(fat16.readBootSector(), c.fat16) << c.what;
        Fat32Class fat32(input);
        fat32.openVolume();
        EXPECT_EQ(fat32.readBootSector(), c.fat32) << c.what;
    }
    FatVolumeBuilder fat32Volume(32, 100);
    RecordingProgress progress;
    SilentNotifier notifier;
    MemoryReadSeek source(fat32Volume.bytes);
    const ReaderInput input{source, {}, 0, progress, notifier};
    Fat32Class fat32(input);
    fat32.openVolume();
    EXPECT_TRUE(fat32.readBootSector());
    Fat16Class fat16(input);
    fat16.openVolume();
    EXPECT_FALSE(fat16.readBootSector());

    Scan wrongKind(fat32Volume.bytes, FileSystemKind::Fat16);
    EXPECT_EQ(wrongKind.view, nullptr);
    EXPECT_EQ(wrongKind.error, "Selected Drive is not in Fat16 Format");
    Scan deep(fat32Volume.bytes, FileSystemKind::Fat32, ScanMode::Deep);
    EXPECT_EQ(deep.view, nullptr);
    EXPECT_EQ(deep.error, kFatDeepModeError);
}

TEST(FatTwelve, ChainsUseTwelveBitEntries) {
    FatVolumeBuilder v(12, 200);
    // Odd and even entries, which share bytes in a 12-bit FAT.
    v.chain({2, 3, 5, 8});
    for (std::uint32_t c : {2u, 3u, 5u, 8u})
        v.fillCluster(c, static_cast<unsigned char>('a' + c));
    v.putSlot(v.rootOffset(), "PHOTO   JPG", 0x20, 2, 4 * 512 - 100);
    Scan scan(v.bytes, FileSystemKind::Fat16);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    EXPECT_EQ(scan.paths(), std::vector<std::string>{"PHOTO.JPG"});
    const std::string expected = repeated('c', 512) + repeated('d', 512) + repeated('f', 512) + repeated('i', 412);
    EXPECT_EQ(scan.content(scan.find("PHOTO.JPG")), expected);
}

TEST(FatThirtyTwo, RootStartsAtTheRootClusterFieldAndFollowsItsChain) {
    FatVolumeBuilder v(32, 300);
    disk_bytes::putLe(v.bytes, 44, 5, 4);
    v.chain({5, 9});
    v.putSlot(v.clusterOffset(5), "FIRST   JPG", 0x20, 0, 0);
    v.putSlot(v.clusterOffset(9), "SECOND  JPG", 0x20, 0, 0);
    Scan scan(v.bytes, FileSystemKind::Fat32);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    EXPECT_EQ(scan.paths(), (std::vector<std::string>{"FIRST.JPG", "SECOND.JPG"}));
}

TEST(FatThirtyTwo, LongDirectoriesAreFollowedToTheirEnd) {
    FatVolumeBuilder v(32, 300);
    v.chain({2});
    v.putSlot(v.clusterOffset(2), "DCIM       ", 0x10, 10, 0);
    std::vector<std::uint32_t> clusters;
    for (std::uint32_t c = 10; c < 40; ++c)
        clusters.push_back(c);
    v.chain(clusters);
    std::size_t at = v.startDirectory(10, 0);
    int files = 0;
    for (std::uint32_t c : clusters) {
        for (std::size_t end = v.clusterOffset(c) + 512; at < end; at += 32)
            v.putSlot(at, "IMG_" + std::to_string(1000 + files++) + "JPG", 0x20, 0, 0);
        at = v.clusterOffset(c + 1);
    }
    Scan scan(v.bytes, FileSystemKind::Fat32);
    ASSERT_NE(scan.view, nullptr);
    EXPECT_EQ(scan.paths().size(), static_cast<std::size_t>(files) + 1);
    EXPECT_EQ(scan.paths().back(), "DCIM/IMG_" + std::to_string(1000 + files - 1) + ".JPG");
}

// A page's Stop reaches a reader that is made and walks inside the one scan call.
TEST(FatThirtyTwo, FrontEndStopRequestEndsTheWalk) {
    FatVolumeBuilder v(32, 300);
    v.chain({2});
    v.putSlot(v.clusterOffset(2), "DCIM       ", 0x10, 10, 0);
    v.chain({10});
    std::size_t at = v.startDirectory(10, 0);
    for (int i = 0; i < 8; ++i, at += 32)
        v.putSlot(at, "IMG_" + std::to_string(1000 + i) + "JPG", 0x20, 0, 0);
    const std::atomic<bool> stopRequest{true};
    Scan stopped(v.bytes, FileSystemKind::Fat32, ScanMode::Standard, {}, &stopRequest);
    Scan whole(v.bytes, FileSystemKind::Fat32);
    ASSERT_NE(whole.view, nullptr);
    EXPECT_EQ(whole.paths().size(), 9u);
    const std::size_t found = stopped.view ? stopped.paths().size() : 0;
    EXPECT_LT(found, 9u);
}

TEST(FatNames, ShortAndLongNameForms) {
    for (int bits : {16, 32}) {
        FatVolumeBuilder v(bits == 16 ? 12 : 32, 100);
        std::size_t at = bits == 32 ? v.clusterOffset(2) : v.rootOffset();
        if (bits == 32)
            v.chain({2, 3});
        v.putSlot(at, "PHOTO   JPG", 0x20, 0, 0);
        v.putSlot(at += 32, "README     ", 0x20, 0, 0);
        v.putSlot(at += 32, "NOTES   TXT", 0x20, 0, 0, 0x18);
        v.putSlot(at += 32, "\xE5HOTO2  JPG", 0x20, 0, 0);
        v.putSlot(at += 32, "DCIM       ", 0x10, 0, 0);
        const std::string longName = repeated('L', 190) + ".jpg";  // 15 long-name slots
        at = v.putLongName(at + 32, longName, "LLLLLL~1JPG");
        v.putSlot(at, "LLLLLL~1JPG", 0x20, 0, 0);
        // A deleted run followed by a live short entry that reused the slot: not its name.
        at = v.putLongName(at + 32, "old deleted name.jpg", "OLDDEL~1JPG", true);
        v.putSlot(at, "NEWFILE JPG", 0x20, 0, 0);
        at = v.putLongName(at + 32, "gone photo.jpg", "GONEPH~1JPG", true);
        v.putSlot(at, "\xE5ONEPH~1JPG", 0x20, 0, 0);
        Scan scan(v.bytes, bits == 16 ? FileSystemKind::Fat16 : FileSystemKind::Fat32);
        ASSERT_NE(scan.view, nullptr) << scan.error;
        const std::vector<EntryRef> top = scan.view->topLevel();
        std::vector<std::string> names;
        std::vector<bool> deleted;
        for (EntryRef ref : top) {
            names.push_back(scan.view->name(ref));
            deleted.push_back(scan.view->isDeleted(ref, false));
        }
        // Shown as a user would type them: the padding of short names and an empty
        // extension's dot go.
        EXPECT_EQ(names, (std::vector<std::string>{"PHOTO.JPG", "README", "notes.txt", "_HOTO2.JPG", "DCIM",
                                                   longName, "NEWFILE.JPG", "gone photo.jpg"}))
            << bits;
        EXPECT_EQ(deleted, (std::vector<bool>{false, false, false, true, false, false, false, true})) << bits;
    }
}

// Read-only, hidden, system or a cleared archive bit hide nothing, at the root as in folders, on
// FAT12/16 as on FAT32; volume labels are no entries.
TEST(FatAttributes, EveryRootAndNestedEntryIsShownWhateverItsBits) {
    struct Slot {
        const char* name11;
        std::uint8_t attributes;
        const char* shown;  // nullptr: not listed
        bool folder;
    };
    const Slot slots[] = {
        {"IMG_0001JPG", 0x20, "IMG_0001.JPG", false}, {"DSC_0052JPG", 0x21, "DSC_0052.JPG", false},
        {"HIDDEN  JPG", 0x22, "HIDDEN.JPG", false},   {"SYSTEM  JPG", 0x24, "SYSTEM.JPG", false},
        {"NOARCH  JPG", 0x00, "NOARCH.JPG", false},   {"ALLBITS JPG", 0x07, "ALLBITS.JPG", false},
        {"CARD LABEL ", 0x08, nullptr, false},        {"ARCHLABEL  ", 0x28, nullptr, false},
        {"DCIM       ", 0x10, "DCIM", true},          {"HIDDIR     ", 0x12, "HIDDIR", true},
        {"ROHSDIR    ", 0x17, "ROHSDIR", true},       {"ARCHDIR    ", 0x32, "ARCHDIR", true},
    };
    for (int bits : {12, 16, 32}) {
        FatVolumeBuilder v(bits, bits == 16 ? 4200 : 200);  // FAT16 needs 4085 clusters or more
        std::size_t root = bits == 32 ? v.clusterOffset(2) : v.rootOffset();
        if (bits == 32)
            v.chain({2});
        std::vector<std::string> expected;
        std::uint32_t next = 10;
        for (const Slot& slot : slots) {
            const std::uint32_t cluster = next++;
            v.chain({cluster});
            v.putSlot(root, slot.name11, slot.attributes, cluster, slot.folder ? 0 : 5);
            root += 32;
            if (slot.folder) {
                // Each folder holds one file with the same bits, and no archive bit.
                const std::uint32_t inner = next++;
                v.chain({inner});
                v.fillCluster(inner, 'n');
                v.putSlot(v.startDirectory(cluster, 0), "INNER   JPG", slot.attributes & 0x07, inner, 3);
            } else {
                v.fillCluster(cluster, 'f');
            }
            if (slot.shown != nullptr)
                expected.push_back(slot.shown);
            if (slot.folder)
                expected.push_back(std::string(slot.shown) + "/INNER.JPG");
        }
        Scan scan(v.bytes, bits == 32 ? FileSystemKind::Fat32 : FileSystemKind::Fat16);
        ASSERT_NE(scan.view, nullptr) << scan.error;
        EXPECT_EQ(scan.paths(), expected) << bits;
        EXPECT_EQ(scan.progress.entriesFound(), listedCount(*scan.view)) << bits;
        for (const Slot& slot : slots) {
            if (slot.shown == nullptr)
                continue;
            const EntryRef ref = scan.find(slot.shown);
            EXPECT_EQ(scan.view->isFolder(ref, Placement::TopLevel), slot.folder) << bits << slot.shown;
            EXPECT_EQ(scan.view->isFile(ref, Placement::TopLevel), !slot.folder) << bits << slot.shown;
            if (slot.folder)
                EXPECT_EQ(scan.content(scan.find(std::string(slot.shown) + "/INNER.JPG")), "nnn") << bits;
            else
                EXPECT_EQ(scan.content(ref), "fffff") << bits << slot.shown;
        }
    }
}

TEST(FatContent, DeletedFilesComeBackFromConsecutiveClusters) {
    FatVolumeBuilder v(16, 4200);
    for (std::uint32_t c = 20; c < 23; ++c)
        v.fillCluster(c, static_cast<unsigned char>('0' + c - 20));
    // Freed chain (zeros in the FAT), as every deletion leaves it.
    v.putSlot(v.rootOffset(), "\xE5" "ELETED JPG", 0x20, 20, 1300);
    v.chain({30, 31});
    v.fillCluster(30, 'x');
    v.fillCluster(31, 'y');
    v.putSlot(v.rootOffset() + 32, "LIVE    JPG", 0x20, 30, 600);
    Scan scan(v.bytes, FileSystemKind::Fat16);
    ASSERT_NE(scan.view, nullptr);
    const auto top = scan.view->topLevel();
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(scan.content(top[0]), repeated('0', 512) + repeated('1', 512) + repeated('2', 276));
    EXPECT_EQ(scan.content(top[1]), repeated('x', 512) + repeated('y', 88));
}

TEST(FatContent, TimesAreSetFromTheEntry) {
    FatVolumeBuilder v(32, 100);
    v.chain({2});
    v.chain({3});
    v.putSlot(v.clusterOffset(2), "A       JPG", 0x20, 3, 10);
    Scan scan(v.bytes, FileSystemKind::Fat32);
    ASSERT_NE(scan.view, nullptr);
    const auto path = std::filesystem::temp_directory_path() / ("pictorva-fat-times-" + std::to_string(::getpid()));
    std::filesystem::remove(path);
    ASSERT_TRUE(scan.view->writeNewFile(scan.view->topLevel().at(0), path.string()));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1623762320);  // 2021-06-15 13:05:20 as it stands
    EXPECT_EQ(st.st_atime, 1623801600);  // 2021-06-16 00:00
    EXPECT_EQ(st.st_size, 10);
    std::filesystem::remove(path);
    // The list shows the times as stored, whatever the zone; they are the same values the save set.
    const EntryDetails details = scan.view->details(scan.view->topLevel().at(0));
    EXPECT_EQ(details.modified, EntryTime::wallClock(1623762320));
    EXPECT_EQ(details.accessed, EntryTime::wallDate(1623801600));
    EXPECT_EQ(formatListTime(details.modified), "06/15/2021  01:05 PM");
    EXPECT_EQ(formatListTime(details.created), "06/15/2021  10:00 AM");
    EXPECT_EQ(formatListTime(details.accessed), "06/16/2021");
    EXPECT_EQ(details.attributes, "-A");
}

/// An exFAT volume of eight 512-byte sectors (512-byte clusters, FAT in sector 1, heap from
/// sector 2) whose boot sector claims four thousand million clusters, with one deleted 64 MiB
/// file set in the root.
std::vector<unsigned char> craftedExfat() {
    using disk_bytes::putLe;
    std::vector<unsigned char> b(8 * 512, 0);
    disk_bytes::putText(b, 3, "EXFAT   ");
    putLe(b, 80, 1, 4);            // FAT offset, sectors
    putLe(b, 84, 1, 4);            // FAT length
    putLe(b, 88, 2, 4);            // heap offset
    putLe(b, 92, 0xFFFFFFF0, 4);   // cluster count
    putLe(b, 96, 2, 4);            // root cluster
    b[108] = 9;
    b[109] = 0;
    putLe(b, 512 + 8, 0xFFFFFFFF, 4);  // the root's FAT entry: end of chain
    std::size_t at = 2 * 512;
    b[at] = 0x05;
    b[at + 1] = 2;
    putLe(b, at + 4, 0x20, 2);
    b[at + 32] = 0x40;
    b[at + 33] = 0x03;  // no FAT chain
    b[at + 35] = 3;
    putLe(b, at + 40, 64ull << 20, 8);
    putLe(b, at + 52, 3, 4);
    putLe(b, at + 56, 64ull << 20, 8);
    b[at + 64] = 0x41;
    putLe(b, at + 66, 'B', 2);
    putLe(b, at + 68, 'I', 2);
    putLe(b, at + 70, 'G', 2);
    return b;
}

// exFAT: the directory bit makes a folder whatever the other bits; any other entry is a file.
TEST(ExfatAttributes, TheDirectoryBitMakesAFolder) {
    using disk_bytes::putLe;
    const struct {
        const char* name;
        std::uint16_t attributes;
        bool folder;
    } sets[] = {{"D10", 0x10, true}, {"D14", 0x14, true}, {"D30", 0x30, true}, {"D17", 0x17, true}, {"F21", 0x21, false}};
    // 512-byte clusters, FAT in sector 1, heap from sector 2, root in cluster 2.
    std::vector<unsigned char> b(24 * 512, 0);
    disk_bytes::putText(b, 3, "EXFAT   ");
    putLe(b, 80, 1, 4);
    putLe(b, 84, 1, 4);
    putLe(b, 88, 2, 4);
    putLe(b, 92, 20, 4);
    putLe(b, 96, 2, 4);
    b[108] = 9;
    putLe(b, 512 + 8, 0xFFFFFFFF, 4);
    const auto cluster = [](std::uint32_t c) { return static_cast<std::size_t>(c) * 512; };  // heap at 2 sectors
    const auto putSet = [&](std::size_t at, const std::string& name, std::uint16_t attributes, std::uint32_t first,
                            std::uint64_t length) {
        b[at] = 0x85;
        b[at + 1] = 2;
        putLe(b, at + 4, attributes, 2);
        b[at + 32] = 0xC0;
        b[at + 33] = 0x03;  // no FAT chain
        b[at + 35] = static_cast<unsigned char>(name.size());
        putLe(b, at + 40, length, 8);
        putLe(b, at + 52, first, 4);
        putLe(b, at + 56, length, 8);
        b[at + 64] = 0xC1;
        for (std::size_t i = 0; i < name.size(); ++i)
            putLe(b, at + 66 + 2 * i, static_cast<unsigned char>(name[i]), 2);
    };
    std::vector<std::string> expected;
    std::uint32_t next = 3;
    for (std::size_t i = 0; i < std::size(sets); ++i) {
        const std::uint32_t first = next++;
        putSet(cluster(2) + i * 96, sets[i].name, sets[i].attributes, first, sets[i].folder ? 512 : 5);
        expected.push_back(sets[i].name);
        if (sets[i].folder) {
            const std::uint32_t inner = next++;
            putSet(cluster(first), "IN.JPG", 0x20, inner, 3);
            std::fill_n(b.begin() + static_cast<long>(cluster(inner)), 3, 'i');
            expected.push_back(std::string(sets[i].name) + "/IN.JPG");
        } else {
            std::fill_n(b.begin() + static_cast<long>(cluster(first)), 5, 'f');
        }
    }
    Scan scan(b, FileSystemKind::Exfat);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    EXPECT_EQ(scan.paths(), expected);
    EXPECT_EQ(scan.progress.entriesFound(), listedCount(*scan.view));
    for (const auto& set : sets) {
        EXPECT_EQ(scan.view->isFolder(scan.find(set.name), Placement::TopLevel), set.folder) << set.name;
        EXPECT_EQ(scan.content(scan.find(set.folder ? std::string(set.name) + "/IN.JPG" : set.name)),
                  set.folder ? "iii" : "fffff")
            << set.name;
    }
}

TEST(FatContent, NeverReadsPastTheVolumeEnd) {
    // A FAT16 boot sector claiming the largest volume there is with 32 KiB clusters, and a
    // deleted 64 MiB file: only what the image holds comes back, and the save says the file is
    // incomplete.
    FatVolumeBuilder fat16(16, 4200);
    disk_bytes::putLe(fat16.bytes, 19, 0, 2);
    disk_bytes::putLe(fat16.bytes, 32, 0xFFFFFFFF, 4);
    fat16.bytes[13] = 64;
    fat16.putSlot(fat16.rootOffset(), "\xE5" "IG     JPG", 0x20, 2, 64u << 20);
    struct Case {
        std::vector<unsigned char> bytes;
        FileSystemKind kind;
        std::size_t contentStart;
    } cases[] = {{fat16.bytes, FileSystemKind::Fat16, fat16.clusterOffset(2)}, {craftedExfat(), FileSystemKind::Exfat, 3 * 512}};
    for (const Case& c : cases) {
        Scan scan(c.bytes, c.kind);
        ASSERT_NE(scan.view, nullptr) << scan.error;
        ASSERT_EQ(scan.view->topLevel().size(), 1u);
        const auto path = std::filesystem::temp_directory_path() / ("pictorva-fat-end-" + std::to_string(::getpid()));
        std::filesystem::remove(path);
        EXPECT_FALSE(scan.view->writeNewFile(scan.view->topLevel()[0], path.string()));
        EXPECT_EQ(std::filesystem::file_size(path), c.bytes.size() - c.contentStart);
        std::filesystem::remove(path);
    }
}

TEST(FatHostile, LoopsAndAbsurdFieldsEndWithAResult) {
    FatVolumeBuilder v(32, 100);
    v.chain({2});
    std::size_t at = v.clusterOffset(2);
    // A directory whose chain loops back on itself, and one that points at the root.
    v.putSlot(at, "LOOP       ", 0x10, 10, 0);
    v.startDirectory(10, 0);
    v.setFat(10, 11);
    v.setFat(11, 10);
    v.startDirectory(11, 0);
    v.putSlot(v.clusterOffset(11) + 64, "INNER   JPG", 0x20, 0, 0);
    v.putSlot(at += 32, "ROOTAGN    ", 0x10, 2, 0);
    // Files with a looping chain and with a first cluster and size past the volume's end.
    v.setFat(20, 21);
    v.setFat(21, 20);
    v.putSlot(at += 32, "CYCLE   JPG", 0x20, 20, 0xFFFFFFFF);
    v.putSlot(at += 32, "PAST    JPG", 0x20, 5000, 100000);
    v.putSlot(at += 32, "\xE5" "EAREND JPG", 0x20, 99, 0xFFFFFFF0);
    Scan scan(v.bytes, FileSystemKind::Fat32);
    ASSERT_NE(scan.view, nullptr);
    EXPECT_EQ(scan.paths(), (std::vector<std::string>{"LOOP", "LOOP/INNER.JPG", "ROOTAGN", "CYCLE.JPG",
                                                      "PAST.JPG", "_EAREND.JPG"}));
    // The looping chain ends where it meets a cluster again.
    EXPECT_EQ(scan.content(scan.find("CYCLE.JPG")).size(), 2u * 512);
    EXPECT_EQ(scan.content(scan.find("PAST.JPG")).size(), 0u);
    // A deleted file never reads past the volume's last cluster.
    EXPECT_EQ(scan.content(scan.find("_EAREND.JPG")).size(), 3u * 512);
}
}  // namespace
