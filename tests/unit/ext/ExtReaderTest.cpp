// ext2Class on a tiny volume built here (1024-byte blocks, one group): the paths that real
// images rarely show (holes, index nodes, hostile extent trees, lying directory records, absurd
// superblocks) each as a change to one base volume.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "DiskBytes.h"
#include "ListedCount.h"
#include "ReaderScan.h"
#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "browser/ReaderRegistry.h"
#include "disk/MemoryReadSeek.h"

using disk_bytes::putLe;

namespace {
constexpr std::size_t kBlock = 1024;
constexpr std::size_t kBlocks = 128;
constexpr std::size_t kTable = 5;       // inode table: blocks 5..8 (32 inodes of 128 bytes)
constexpr std::size_t kRootDir = 10;
constexpr std::size_t kData = 20;       // photo.jpg's blocks 20..22
constexpr std::size_t kIndexLeaf = 30;  // spare block for extent tree nodes

std::size_t inodeAt(std::uint32_t number) { return kTable * kBlock + (number - 1) * 128; }

void putDirEntry(std::vector<unsigned char>& b, std::size_t& at, std::uint32_t inode, std::uint16_t recLen,
                 const std::string& name, std::uint8_t type) {
    putLe(b, at, inode, 4);
    putLe(b, at + 4, recLen, 2);
    b.at(at + 6) = static_cast<unsigned char>(name.size());
    b.at(at + 7) = type;
    disk_bytes::putText(b, at + 8, name);
    at += recLen;
}

void putExtentHeader(std::vector<unsigned char>& b, std::size_t at, std::uint16_t entries, std::uint16_t depth) {
    putLe(b, at, 0xF30A, 2);
    putLe(b, at + 2, entries, 2);
    putLe(b, at + 4, 4, 2);
    putLe(b, at + 6, depth, 2);
}

std::vector<unsigned char> baseVolume() {
    std::vector<unsigned char> b(kBlocks * kBlock, 0);
    const std::size_t sb = 1024;
    putLe(b, sb + 0x00, 32, 4);    // inodes
    putLe(b, sb + 0x04, kBlocks, 4);
    putLe(b, sb + 0x14, 1, 4);     // first data block
    putLe(b, sb + 0x18, 0, 4);     // 1024-byte blocks
    putLe(b, sb + 0x20, 8192, 4);  // blocks per group
    putLe(b, sb + 0x28, 32, 4);    // inodes per group
    putLe(b, sb + 0x38, 0xEF53, 2);
    putLe(b, sb + 0x4C, 1, 4);     // revision 1
    putLe(b, sb + 0x58, 128, 2);   // inode size
    putLe(b, sb + 0x60, 0x2, 4);   // directory entries carry file types
    putLe(b, 2 * kBlock + 0x08, kTable, 4);  // group 0's inode table

    putLe(b, inodeAt(2), 0x41ED, 2);
    putLe(b, inodeAt(2) + 0x04, kBlock, 4);
    putLe(b, inodeAt(2) + 0x28, kRootDir, 4);
    std::size_t at = kRootDir * kBlock;
    putDirEntry(b, at, 2, 12, ".", 2);
    putDirEntry(b, at, 2, 12, "..", 2);
    putDirEntry(b, at, 12, 20, "photo.jpg", 1);
    putDirEntry(b, at, 13, static_cast<std::uint16_t>(kBlock - 44), "sub", 2);
    putLe(b, inodeAt(13), 0x41ED, 2);  // "sub": a directory without blocks

    // photo.jpg: 2500 bytes in one extent of three blocks, times set.
    const std::size_t photo = inodeAt(12);
    putLe(b, photo, 0x81A4, 2);
    putLe(b, photo + 0x04, 2500, 4);
    putLe(b, photo + 0x08, 1600000000, 4);  // access
    putLe(b, photo + 0x10, 1500000000, 4);  // modification
    putLe(b, photo + 0x20, 0x80000, 4);     // extents
    putExtentHeader(b, photo + 0x28, 1, 0);
    putLe(b, photo + 0x34 + 0x04, 3, 2);
    putLe(b, photo + 0x34 + 0x08, kData, 4);
    for (std::size_t i = 0; i < 3 * kBlock; ++i)
        b[kData * kBlock + i] = static_cast<unsigned char>(1 + i % 251);
    return b;
}

std::string photoBytes(const std::vector<unsigned char>& volume, bool middleHole = false) {
    std::string bytes(reinterpret_cast<const char*>(&volume[kData * kBlock]), 2500);
    if (middleHole)
        std::fill(bytes.begin() + kBlock, bytes.begin() + 2 * kBlock, '\0');
    return bytes;
}

struct Scan : MemoryScan {
    explicit Scan(std::vector<unsigned char> bytes) : MemoryScan(std::move(bytes), "extX", ScanMode::Standard) {}
    /// The saved content of the top-level file named name, or "<missing>".
    std::string saved(const std::string& name) {
        for (EntryRef ref : view->topLevel())
            if (view->name(ref) == name)
                return savedBytes(ref);
        return "<missing>";
    }
};

TEST(ExtReader, ListsNamesSizesAndSavesContentWithTimes) {
    const auto volume = baseVolume();
    Scan scan(volume);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    std::vector<std::string> names;
    for (EntryRef ref : scan.view->topLevel())
        names.push_back(scan.view->name(ref));
    // Children come highest inode first; the root's own "." is not an entry.
    EXPECT_EQ(names, (std::vector<std::string>{"sub", "photo.jpg"}));
    EXPECT_EQ(scan.progress.entriesFound(), listedCount(*scan.view));
    EXPECT_EQ(scan.saved("photo.jpg"), photoBytes(volume));
    const auto path = std::filesystem::temp_directory_path() / "pictorva-ext-times";
    const EntryRef photo = scan.view->topLevel()[1];
    std::filesystem::remove(path);
    ASSERT_TRUE(scan.view->writeNewFile(photo, path.string()));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1500000000);
    EXPECT_EQ(st.st_atime, 1600000000);
    std::filesystem::remove(path);
    const EntryDetails details = scan.view->details(photo);
    EXPECT_EQ(details.attributes, "-OR-GR-UW-UR");
    EXPECT_EQ(details.modified, EntryTime::instant(1500000000));
    EXPECT_EQ(details.accessed, EntryTime::instant(1600000000));
    EXPECT_FALSE(details.created.known());  // a 128-byte inode keeps no creation time
}

struct ContentCase {
    const char* what;
    std::function<void(std::vector<unsigned char>&)> change;
    bool middleHole;   // the content expected: photo's bytes, with block 1 zeroed when set
    bool allZeros;     // or 2500 zeros (no block could be trusted)
};

class ExtContent : public ::testing::TestWithParam<ContentCase> {};

TEST_P(ExtContent, SavesWhatTheMapReallyHolds) {
    auto volume = baseVolume();
    const std::string original = photoBytes(volume);
    GetParam().change(volume);
    Scan scan(volume);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    std::string want = GetParam().allZeros ? std::string(2500, '\0') : original;
    if (GetParam().middleHole)
        std::fill(want.begin() + kBlock, want.begin() + 2 * kBlock, '\0');
    EXPECT_EQ(scan.saved("photo.jpg"), want) << GetParam().what;
}

const std::size_t kPhoto = inodeAt(12);

INSTANTIATE_TEST_SUITE_P(
    Maps, ExtContent,
    ::testing::Values(
        ContentCase{"block map with a hole keeps the third block at its offset",
                    [](auto& b) {
                        putLe(b, kPhoto + 0x20, 0, 4);
                        std::fill(b.begin() + kPhoto + 0x28, b.begin() + kPhoto + 0x64, 0);
                        putLe(b, kPhoto + 0x28, kData, 4);
                        putLe(b, kPhoto + 0x30, kData + 2, 4);
                    },
                    true, false},
        ContentCase{"extents with a gap between them",
                    [](auto& b) {
                        putExtentHeader(b, kPhoto + 0x28, 2, 0);
                        putLe(b, kPhoto + 0x34 + 0x04, 1, 2);
                        putLe(b, kPhoto + 0x40 + 0x00, 2, 4);
                        putLe(b, kPhoto + 0x40 + 0x04, 1, 2);
                        putLe(b, kPhoto + 0x40 + 0x08, kData + 2, 4);
                    },
                    true, false},
        ContentCase{"an index node leads to the leaf",
                    [](auto& b) {
                        putExtentHeader(b, kPhoto + 0x28, 1, 1);
                        std::fill(b.begin() + kPhoto + 0x34, b.begin() + kPhoto + 0x40, 0);
                        putLe(b, kPhoto + 0x34 + 0x04, kIndexLeaf, 4);
                        putExtentHeader(b, kIndexLeaf * kBlock, 1, 0);
                        putLe(b, kIndexLeaf * kBlock + 12 + 0x04, 3, 2);
                        putLe(b, kIndexLeaf * kBlock + 12 + 0x08, kData, 4);
                    },
                    false, false},
        ContentCase{"an index node that points at itself ends",
                    [](auto& b) {
                        putExtentHeader(b, kPhoto + 0x28, 1, 2);
                        std::fill(b.begin() + kPhoto + 0x34, b.begin() + kPhoto + 0x40, 0);
                        putLe(b, kPhoto + 0x34 + 0x04, kIndexLeaf, 4);
                        putExtentHeader(b, kIndexLeaf * kBlock, 1, 1);
                        putLe(b, kIndexLeaf * kBlock + 12 + 0x04, kIndexLeaf, 4);
                    },
                    false, true},
        ContentCase{"a depth of 40 is not believed", [](auto& b) { putExtentHeader(b, kPhoto + 0x28, 1, 40); }, false,
                    true},
        ContentCase{"a 48-bit block beyond the volume is a hole",
                    [](auto& b) { putLe(b, kPhoto + 0x34 + 0x06, 1, 2); }, false, true},
        ContentCase{"an unwritten extent reads as zeros",
                    [](auto& b) { putLe(b, kPhoto + 0x34 + 0x04, 32768 + 3, 2); }, false, true}));

struct HostileCase {
    const char* what;
    std::function<void(std::vector<unsigned char>&)> change;
    bool viewExpected;
};

class ExtHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(ExtHostile, EndsWithAClearResult) {
    auto volume = baseVolume();
    GetParam().change(volume);
    Scan scan(volume);
    EXPECT_EQ(scan.view != nullptr, GetParam().viewExpected) << GetParam().what << ": " << scan.error;
    if (scan.view)
        for (EntryRef ref : scan.view->topLevel())
            (void)scan.view->children(ref);
}

INSTANTIATE_TEST_SUITE_P(
    BadBytes, ExtHostile,
    ::testing::Values(
        HostileCase{"absurd inodes per group", [](auto& b) { putLe(b, 1024 + 0x28, 0xFFFFFFFF, 4); }, false},
        HostileCase{"descriptor table larger than the volume", [](auto& b) { putLe(b, 1024 + 0x04, 0xFFFFFFFF, 4); }, false},
        HostileCase{"block size shift of 30", [](auto& b) { putLe(b, 1024 + 0x18, 30, 4); }, false},
        HostileCase{"inode table past the volume", [](auto& b) { putLe(b, 2 * kBlock + 0x08, 0x7FFFFFFF, 4); }, true},
        HostileCase{"record length 0", [](auto& b) { putLe(b, kRootDir * kBlock + 24 + 4, 0, 2); }, true},
        HostileCase{"name running past the block",
                    [](auto& b) {
                        putLe(b, kRootDir * kBlock + 44 + 4, kBlock - 44, 2);
                        b[kRootDir * kBlock + 44 + 6] = 255;
                        putLe(b, kRootDir * kBlock + kBlock - 12, 13, 4);
                    },
                    true},
        HostileCase{"directory whose block is the root's own", [](auto& b) { putLe(b, inodeAt(13) + 0x28, kRootDir, 4); },
                    true},
        HostileCase{"no magic", [](auto& b) { putLe(b, 1024 + 0x38, 0, 2); }, false}));
}  // namespace
