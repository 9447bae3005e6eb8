// HFSP on a tiny volume built here (512-byte blocks and nodes): a catalog of a header node and
// one leaf, an extents overflow file of a header node and one leaf. Hostile B-tree bytes and
// overflow records are each a change to that base volume.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <algorithm>

#include "DiskBytes.h"
#include "FaultySource.h"
#include "ListedCount.h"
#include "ReaderScan.h"
#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "browser/ReaderRegistry.h"
#include "disk/MemoryReadSeek.h"
#include "fs/hfsp/HFSP.h"

using disk_bytes::putBe;

namespace {
constexpr std::size_t kBlock = 512;
constexpr std::size_t kBlocks = 64;
constexpr std::size_t kCatalog = 8;   // catalog nodes 0 (header) and 1 (leaf) at blocks 8, 9
constexpr std::size_t kExtents = 12;  // overflow nodes 0 and 1 at blocks 12, 13
constexpr std::size_t kData = 20;     // the file's blocks: 20, then 30 (from the overflow record)
constexpr std::uint32_t kFileId = 20;

std::size_t at(std::size_t block) { return block * kBlock; }

/// A B-tree node of nodeSize bytes at base; returns each record's offset in the node.
std::vector<std::size_t> putNodeAt(std::vector<unsigned char>& b, std::size_t base, std::size_t nodeSize, std::int8_t kind,
                                   std::uint8_t height, const std::vector<std::vector<unsigned char>>& records) {
    b.at(base + 8) = static_cast<unsigned char>(kind);
    b.at(base + 9) = height;
    putBe(b, base + 10, records.size(), 2);
    std::vector<std::size_t> offsets;
    std::size_t offset = 14;
    for (std::size_t i = 0; i < records.size(); ++i) {
        putBe(b, base + nodeSize - 2 - 2 * i, offset, 2);
        std::copy(records[i].begin(), records[i].end(), b.begin() + static_cast<std::ptrdiff_t>(base + offset));
        offsets.push_back(offset);
        offset += records[i].size();
    }
    putBe(b, base + nodeSize - 2 - 2 * records.size(), offset, 2);
    return offsets;
}

void putNode(std::vector<unsigned char>& b, std::size_t node, std::int8_t kind, std::uint8_t height,
             const std::vector<std::vector<unsigned char>>& records) {
    putNodeAt(b, at(node), kBlock, kind, height, records);
}

std::vector<unsigned char> headerRecord(std::uint32_t totalNodes, std::size_t nodeSize = kBlock) {
    std::vector<unsigned char> r(106, 0);
    putBe(r, 0x12, nodeSize, 2);
    putBe(r, 0x16, totalNodes, 4);
    return r;
}

std::vector<unsigned char> catalogKey(std::uint32_t parent, const std::string& name) {
    std::vector<unsigned char> k(8 + 2 * name.size(), 0);
    putBe(k, 0, 6 + 2 * name.size(), 2);
    putBe(k, 2, parent, 4);
    putBe(k, 6, name.size(), 2);
    for (std::size_t i = 0; i < name.size(); ++i)
        putBe(k, 8 + 2 * i, static_cast<unsigned char>(name[i]), 2);
    return k;
}

std::vector<unsigned char> fileRecord(std::uint32_t parent, const std::string& name, std::uint32_t id,
                                      std::uint64_t size, std::uint32_t totalBlocks, std::uint32_t start) {
    std::vector<unsigned char> r = catalogKey(parent, name);
    const std::size_t rec = r.size();
    r.resize(rec + 248, 0);
    putBe(r, rec + 0x00, 2, 2);
    putBe(r, rec + 0x08, id, 4);
    putBe(r, rec + 0x10, 1500000000 + 2082844800ull, 4);  // content modified
    putBe(r, rec + 0x2A, 0x81A4, 2);
    putBe(r, rec + 0x58, size, 8);
    putBe(r, rec + 0x64, totalBlocks, 4);
    putBe(r, rec + 0x68, start, 4);
    putBe(r, rec + 0x6C, 1, 4);
    return r;
}

std::vector<unsigned char> folderRecord(std::uint32_t parent, const std::string& name, std::uint32_t id) {
    std::vector<unsigned char> r = catalogKey(parent, name);
    const std::size_t rec = r.size();
    r.resize(rec + 88, 0);
    putBe(r, rec, 1, 2);
    putBe(r, rec + 0x08, id, 4);
    return r;
}

/// A folder's thread record: its own ID as the key's parent, no name; its parent and name after.
std::vector<unsigned char> threadRecord(std::uint32_t id, std::uint32_t parent, const std::string& name) {
    std::vector<unsigned char> r = catalogKey(id, "");
    const std::size_t rec = r.size();
    r.resize(rec + 10 + 2 * name.size(), 0);
    putBe(r, rec, 3, 2);
    putBe(r, rec + 4, parent, 4);
    putBe(r, rec + 8, name.size(), 2);
    for (std::size_t i = 0; i < name.size(); ++i)
        putBe(r, rec + 10 + 2 * i, static_cast<unsigned char>(name[i]), 2);
    return r;
}

std::vector<unsigned char> overflowRecord(std::uint32_t file, std::uint32_t startBlock, std::uint32_t extentStart,
                                          std::uint32_t count) {
    std::vector<unsigned char> r(12 + 64, 0);
    putBe(r, 0, 10, 2);
    putBe(r, 4, file, 4);
    putBe(r, 8, startBlock, 4);
    putBe(r, 12, extentStart, 4);
    putBe(r, 16, count, 4);
    return r;
}

std::vector<unsigned char> baseVolume() {
    std::vector<unsigned char> b(kBlocks * kBlock, 0);
    b[1024] = 'H';
    b[1025] = '+';
    putBe(b, 1024 + 0x28, kBlock, 4);
    putBe(b, 1024 + 0x2C, kBlocks, 4);
    putBe(b, 1024 + 0xC0 + 0x0C, 2, 4);  // extents file: 2 blocks at 12
    putBe(b, 1024 + 0xC0 + 0x10, kExtents, 4);
    putBe(b, 1024 + 0xC0 + 0x14, 2, 4);
    putBe(b, 1024 + 0x110 + 0x0C, 2, 4);  // catalog file: 2 blocks at 8
    putBe(b, 1024 + 0x110 + 0x10, kCatalog, 4);
    putBe(b, 1024 + 0x110 + 0x14, 2, 4);
    putNode(b, kCatalog, 1, 0, {headerRecord(2)});
    putNode(b, kCatalog + 1, -1, 1,
            {folderRecord(1, "vol", 2), folderRecord(2, "DCIM", 16), fileRecord(16, "a.jpg", kFileId, 700, 2, kData)});
    putNode(b, kExtents, 1, 0, {headerRecord(2)});
    putNode(b, kExtents + 1, -1, 1, {overflowRecord(kFileId, 1, 30, 1)});
    for (std::size_t i = 0; i < kBlock; ++i) {
        b[at(kData) + i] = static_cast<unsigned char>(i % 13 + 1);
        b[at(30) + i] = static_cast<unsigned char>(i % 7 + 100);
    }
    return b;
}

std::string fileBytes(const std::vector<unsigned char>& b) {
    std::string s(reinterpret_cast<const char*>(&b[at(kData)]), kBlock);
    s.append(reinterpret_cast<const char*>(&b[at(30)]), 700 - kBlock);
    return s;
}

struct Scan : MemoryScan {
    Scan(std::vector<unsigned char> bytes, ScanMode mode) : MemoryScan(std::move(bytes), "HFS+", mode) {}
    /// "path=size" of every entry, depth first.
    std::vector<std::string> listing() const {
        std::vector<std::string> out;
        if (view)
            walk(view->topLevel(), "", out, 0);
        return out;
    }
    void walk(const std::vector<EntryRef>& refs, const std::string& prefix, std::vector<std::string>& out, int depth) const {
        for (EntryRef ref : refs) {
            const std::string path = prefix + view->name(ref);
            out.push_back(path + "=" + std::to_string(view->byteSize(ref)));
            if (depth < 16 && view->isFolder(ref, depth == 0 ? Placement::TopLevel : Placement::Nested))
                walk(view->children(ref), path + "/", out, depth + 1);
        }
    }
    std::string saved(EntryRef ref) { return savedBytes(ref); }
};

TEST(HfsReader, ListsAndSavesWithOverflowExtents) {
    const auto volume = baseVolume();
    Scan scan(volume, ScanMode::Standard);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    EXPECT_EQ(scan.listing(), (std::vector<std::string>{"DCIM=0", "DCIM/a.jpg=700"}));
    EXPECT_EQ(scan.progress.entriesFound(), listedCount(*scan.view));
    const EntryRef file = scan.view->children(scan.view->topLevel()[0]).at(0);
    EXPECT_EQ(scan.saved(file), fileBytes(volume));
    EXPECT_EQ(scan.view->details(file).attributes, "-Owner:W-Owner:R-OR-GR");
}

TEST(HfsReader, DeepScanFindsLeafNodesAnywhereAndUsesOrphanEntry) {
    Scan scan(baseVolume(), ScanMode::Deep);
    ASSERT_NE(scan.view, nullptr) << scan.error;
    EXPECT_EQ(scan.listing(), (std::vector<std::string>{"ORPHAN_ENTRY=0", "ORPHAN_ENTRY/vol=0", "ORPHAN_ENTRY/vol/DCIM=0",
                                                        "ORPHAN_ENTRY/vol/DCIM/a.jpg=700"}));
}

TEST(HfsReader, FirstOfTwoRecordsWithOneIdStays) {
    auto volume = baseVolume();
    // A third catalog node (a free one, say) holds a second record for the same file ID.
    putBe(volume, 1024 + 0x110 + 0x0C, 3, 4);
    putBe(volume, 1024 + 0x110 + 0x14, 3, 4);
    putBe(volume, at(kCatalog) + 14 + 0x16, 3, 4);
    putNode(volume, kCatalog + 2, -1, 1, {fileRecord(16, "b.jpg", kFileId, 5, 1, kData)});
    Scan scan(volume, ScanMode::Standard);
    EXPECT_EQ(scan.listing(), (std::vector<std::string>{"DCIM=0", "DCIM/a.jpg=700"}));
}

namespace {
constexpr std::size_t kBigNode = 4096;  ///< 8 sectors: a sector's loss is a part of the node
constexpr std::size_t kCatalogAt = 16 * kBlock, kLeafAt = kCatalogAt + kBigNode;

struct LeafRecord {
    std::string name;
    std::size_t offset, end;  ///< in the leaf node
};

/// A volume whose catalog is a header node and one leaf node of 4096 bytes: a folder, its thread
/// record, and 13 files filling all eight sectors of the leaf. Gives the records' places.
std::vector<unsigned char> bigLeafVolume(std::vector<LeafRecord>& records) {
    std::vector<unsigned char> b(128 * kBlock, 0);
    b[1024] = 'H';
    b[1025] = '+';
    putBe(b, 1024 + 0x28, kBlock, 4);
    putBe(b, 1024 + 0x2C, 128, 4);
    putBe(b, 1024 + 0x110 + 0x0C, 16, 4);  // catalog file: 16 blocks at 16
    putBe(b, 1024 + 0x110 + 0x10, 16, 4);
    putBe(b, 1024 + 0x110 + 0x14, 16, 4);
    putNodeAt(b, kCatalogAt, kBigNode, 1, 0, {headerRecord(2, kBigNode)});
    std::vector<std::vector<unsigned char>> bytes{folderRecord(2, "DCIM", 16), threadRecord(16, 2, "DCIM")};
    std::vector<std::string> names{"DCIM", ""};
    for (std::uint32_t i = 1; i <= 13; ++i) {
        names.push_back(std::to_string(1000 + i));
        names.back().insert(0, "IMG_").append(".JPG");
        bytes.push_back(fileRecord(16, names.back(), 20 + i, 100, 1, 40));
    }
    const std::vector<std::size_t> offsets = putNodeAt(b, kLeafAt, kBigNode, -1, 1, bytes);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (!names[i].empty())
            records.push_back({names[i], offsets[i], offsets[i] + bytes[i].size()});
    return b;
}

/// The names of the folder and file records a walk of the volume keeps while the given sectors
/// of the leaf node fail every read.
std::set<std::string> namesKept(const std::vector<unsigned char>& volume, const std::vector<std::size_t>& badSectors,
                                ScanMode mode) {
    FaultySource source(volume);
    source.open("");
    for (std::size_t sector : badSectors)
        source.failRange(static_cast<std::int64_t>(kLeafAt + 512 * sector), 512);
    RecordingProgress progress;
    RecordingNotifier notifier;
    HFSP hfs(ReaderInput{source, {}, source.byteSize(), progress, notifier});
    hfs.volumeSize = volume.size();
    hfs.openVolume();
    EXPECT_TRUE(hfs.readVolumeHeader());
    hfs.readExtentsOverflow();
    EXPECT_TRUE(mode == ScanMode::Deep ? hfs.scanCatalogNodes() : hfs.readCatalogNodes());
    hfs.parseCatalog();
    EXPECT_EQ(source.rangeMap().unreadableBytes(), static_cast<std::int64_t>(512 * badSectors.size()));
    std::set<std::string> names;
    for (const auto& [cnid, entry] : hfs.entryMap)
        names.insert(entry.name);
    // Each one kept is listed: below the root, or below ORPHAN_ENTRY when its folder was lost.
    hfs.linkEntries();
    std::set<std::string> listed;
    std::vector<std::uint32_t> folders;
    for (const auto& [cnid, entry] : hfs.entryMap)
        if (entry.parentId == 2 && (mode == ScanMode::Standard || cnid == hfs.orphanKey))
            folders.push_back(cnid);
    for (std::size_t i = 0; i < folders.size() && i < 1000; ++i) {
        const HfsEntry& entry = hfs.entryMap.at(folders[i]);
        if (folders[i] != hfs.orphanKey)
            listed.insert(entry.name);
        for (std::uint32_t child = entry.firstChild; child != 0 && hfs.entryMap.count(child) != 0;
             child = hfs.entryMap.at(child).nextSibling)
            folders.push_back(child);
    }
    EXPECT_EQ(listed, names);
    return names;
}
}  // namespace

// A catalog leaf node with unreadable sectors (read as zeros) keeps every record that lies wholly
// in the sectors read: through its offset table where that was read, and by walking its bytes
// for records that hold together where the descriptor or the table was lost with a sector.
TEST(HfsReader, DamagedLeafNodeKeepsTheRecordsItCanRead) {
    std::vector<LeafRecord> records;
    const std::vector<unsigned char> volume = bigLeafVolume(records);
    const std::vector<std::vector<std::size_t>> cases = {
        {},      // all read
        {3},     // a sector inside: records crossing it go
        {2, 5},  // two
        {7},     // the offset table
        {0},     // the descriptor and the first records
        {0, 7},  // both: the node's records are found by their shape alone
    };
    for (const auto& bad : cases) {
        std::set<std::string> expected;
        for (const LeafRecord& r : records) {
            const bool touched = std::any_of(bad.begin(), bad.end(), [&](std::size_t s) {
                return r.offset < 512 * (s + 1) && 512 * s < r.end;
            });
            if (!touched)
                expected.insert(r.name);
        }
        SCOPED_TRACE("bad sectors " + ::testing::PrintToString(bad));
        EXPECT_EQ(namesKept(volume, bad, ScanMode::Standard), expected);
        // The deep scan knows a leaf by its descriptor: one lost with the first sector is not found.
        if (std::find(bad.begin(), bad.end(), 0) == bad.end()) {
            EXPECT_EQ(namesKept(volume, bad, ScanMode::Deep), expected) << "deep";
        }
    }
}

struct HostileCase {
    const char* what;
    std::function<void(std::vector<unsigned char>&)> change;
    std::vector<std::string> listing;  // what the Standard walk still lists
};

class HfsHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HfsHostile, EndsWithAClearResult) {
    auto volume = baseVolume();
    GetParam().change(volume);
    for (ScanMode mode : {ScanMode::Standard, ScanMode::Deep}) {
        Scan scan(volume, mode);
        const auto listing = scan.listing();
        if (mode == ScanMode::Standard) {
            EXPECT_EQ(listing, GetParam().listing) << GetParam().what << ": " << scan.error;
        }
        if (scan.view)
            for (EntryRef ref : scan.view->topLevel())
                for (EntryRef child : scan.view->children(ref))
                    if (!scan.view->isFolder(child, Placement::Nested))
                        (void)scan.saved(child);
    }
}

const std::vector<std::string> kWhole{"DCIM=0", "DCIM/a.jpg=700"};

INSTANTIATE_TEST_SUITE_P(
    BadBytes, HfsHostile,
    ::testing::Values(
        HostileCase{"record count far beyond the node", [](auto& b) { putBe(b, at(kCatalog + 1) + 10, 0xFFFF, 2); }, {}},
        HostileCase{"record offsets past the node",
                    [](auto& b) {
                        putBe(b, at(kCatalog + 1) + kBlock - 2, 0xFFF0, 2);
                        putBe(b, at(kCatalog + 1) + kBlock - 4, 0x1F0, 2);
                    },
                    {}},
        HostileCase{"header claims a billion nodes", [](auto& b) { putBe(b, at(kCatalog) + 14 + 0x16, 1u << 30, 4); },
                    kWhole},
        HostileCase{"node size 0", [](auto& b) { putBe(b, at(kCatalog) + 14 + 0x12, 0, 2); }, {}},
        HostileCase{"key length longer than the node", [](auto& b) { putBe(b, at(kCatalog + 1) + 14, 0xFFFE, 2); },
                    kWhole},
        HostileCase{"catalog extent beyond the volume", [](auto& b) { putBe(b, 1024 + 0x110 + 0x10, 0xFFFFFF00, 4); }, {}},
        HostileCase{"block size 0", [](auto& b) { putBe(b, 1024 + 0x28, 0, 4); }, {}},
        HostileCase{"overflow records that refer to each other",
                    [](auto& b) {
                        putNode(b, kExtents + 1, -1, 1,
                                {overflowRecord(kFileId, 1, 30, 0), overflowRecord(kFileId, 0, 20, 1)});
                    },
                    kWhole},
        HostileCase{"folder that is its own parent",
                    [](auto& b) { putNode(b, kCatalog + 1, -1, 1, {folderRecord(16, "loop", 16)}); }, {}}));
}  // namespace
