#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <vector>

#include "DiskBytes.h"
#include "RecordingSinks.h"
#include "disk/FileReadSeek.h"
#include "disk/MemoryReadSeek.h"
#include "disk/Partition.h"

using namespace disk_bytes;

namespace {
struct Row {
    std::string fileSystem;
    std::string sizeText;
    std::int64_t startSector;
    bool operator==(const Row&) const = default;
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.fileSystem << "|" << r.sizeText << "|" << r.startSector; }

struct WalkResult {
    int code = 0;
    std::vector<Row> rows;
    std::vector<std::string> statuses;
    std::vector<std::int64_t> sectorCounts;
};

WalkResult walk(std::vector<unsigned char> disk, bool gpt, bool mbr = false) {
    MemoryReadSeek source(std::move(disk));
    RecordingVolumes volumes;
    RecordingProgress progress;
    Partition partition;
    partition.ownerPage = &volumes;
    partition.statusLine = &progress;
    partition.gptFlag = gpt ? 1 : 0;
    partition.mbrFlag = mbr ? 1 : 0;
    WalkResult result;
    result.code = partition.readPartitionTable(source);
    for (std::size_t i = 0; i < volumes.records.size(); ++i) {
        const VolumeRecord& r = volumes.records[i];
        EXPECT_EQ(r.deviceName, std::to_string(i)) << "rows are numbered in delivery order";
        result.rows.push_back({r.fileSystem, volumeSizeText(r), r.startSector});
        result.sectorCounts.push_back(r.sectorCount);
    }
    result.statuses = progress.statuses;
    return result;
}

std::vector<unsigned char> disk(std::size_t sectors) { return std::vector<unsigned char>(sectors * 512, 0); }
}  // namespace

// Without a flag the first sectors choose: a protective MBR leads to the GPT, a known boot
// sector or superblock at the start is one volume as long as the source (or shorter, when it
// says so), anything else is an MBR. The flags force the GPT or the MBR.
TEST(StandardWalk, ChoosesTheTableFromTheFirstSectors) {
    auto gpt = disk(2200);
    putMbrEntry(gpt, 0, 0, 0xEE, 1, 2199);
    putGptHeader(gpt);
    putGptEntry(gpt, 0, 100, 2147, u"Card");
    putFatBoot(gpt, 100 * 512, false, 2048);
    auto fat = disk(300);
    putFatBoot(fat, 0, false, 200);
    auto ext = disk(4096);
    putExtSuperblock(ext, 0, 8192);  // claims 8 MiB of a 2 MiB source
    auto mbr = disk(300);
    putMbrEntry(mbr, 0, 0, 0x0C, 100, 150);
    struct Case {
        const char* what;
        const std::vector<unsigned char>& bytes;
        bool gpt, mbr;
        std::vector<Row> rows;
        std::vector<std::int64_t> sectorCounts;
    };
    const Case cases[] = {
        {"protective MBR", gpt, false, false, {{"FAT16", "1  MB", 100}}, {2048}},
        {"protective MBR, --mbr", gpt, false, true, {{"Unknown", "1   MB", 1}}, {2199}},
        {"FAT volume without a table", fat, false, false, {{"FAT16", "0   MB", 0}}, {200}},
        {"ext volume without a table", ext, false, false, {{"extX", "2   MB", 0}}, {4096}},
        {"MBR", mbr, false, false, {{"FAT32", "0   MB", 100}}, {150}},
    };
    for (const Case& c : cases) {
        const WalkResult result = walk(c.bytes, c.gpt, c.mbr);
        EXPECT_EQ(result.code, 0) << c.what;
        EXPECT_EQ(result.rows, c.rows) << c.what;
        EXPECT_EQ(result.sectorCounts, c.sectorCounts) << c.what;
    }
}

TEST(MbrWalk, IdentifiesPrimaryEntriesByTypeCode) {
    auto d = disk(4096);
    putMbrEntry(d, 0, 0, 0x0C, 2048, 204800);  // FAT32, 100 MB
    putMbrEntry(d, 0, 1, 0x07, 100, 2048);     // NTFS (no exFAT boot sector)
    putMbrEntry(d, 0, 2, 0x07, 200, 4096);     // exFAT boot sector below
    putMbrEntry(d, 0, 3, 0x42, 300, 1);
    putExfatBoot(d, 200 * 512, 4096);
    const WalkResult result = walk(d, false);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.rows, (std::vector<Row>{{"FAT32", "100   MB", 2048},
                                             {"NTFS", "1   MB", 100},
                                             {"FAT64", "2   MB", 200},
                                             {"NTFS", "0   MB", 300}}));
    EXPECT_EQ(result.statuses,
              (std::vector<std::string>{"found FAT 32...", "found NTFS 1...", "found FAT64...", "NTFS..."}));
}

// A deleted middle entry leaves type 0x00; the volumes after it must still be found.
TEST(MbrWalk, EmptyEntryDoesNotEndTheWalk) {
    auto d = disk(64);
    putMbrEntry(d, 0, 0, 0x83, 10, 2048);
    putMbrEntry(d, 0, 2, 0x01, 20, 4096);
    EXPECT_EQ(walk(d, false).rows, (std::vector<Row>{{"extX", "1   MB", 10}, {"FAT12", "2   MB", 20}}));
}

// NTFS, extended, FAT32: the logical volumes come where the extended entry stands, then the
// primary after it (it used to be lost).
TEST(MbrWalk, ExtendedChainIsFollowedInPlace) {
    auto d = disk(400);
    putMbrEntry(d, 0, 0, 0x07, 1, 9);
    putMbrEntry(d, 0, 1, 0x0F, 100, 200);
    putMbrEntry(d, 0, 2, 0x0C, 350, 40);
    // EBR 1 at 100: logical FAT16 at 100+2, link to 150 (relative 50).
    putMbrEntry(d, 100 * 512, 0, 0x06, 2, 4096);
    putMbrEntry(d, 100 * 512, 1, 0x05, 50, 100);
    // EBR 2 at 150: logical type 0x42 and 0x83, then the chain ends.
    putMbrEntry(d, 150 * 512, 0, 0x42, 2, 10);
    putMbrEntry(d, 150 * 512, 1, 0x83, 5, 2048);
    const WalkResult result = walk(d, false);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.rows, (std::vector<Row>{{"NTFS", "0   MB", 1},
                                             {"FAT16", "2   MB", 102},
                                             {"Unknown", "0   MB", 152},
                                             {"extX", "1   MB", 155},
                                             {"FAT32", "0   MB", 350}}));
    EXPECT_EQ(result.statuses, (std::vector<std::string>{"found NTFS 1...", "found FAT 16...", "found UNKNOWN...",
                                                         "found extx...", "found FAT 32..."}));
}

TEST(MbrWalk, CircularChainListsEachLogicalVolumeOnce) {
    auto d = disk(200);
    putMbrEntry(d, 0, 0, 0x05, 100, 100);
    putMbrEntry(d, 100 * 512, 0, 0x0B, 1, 20);
    putMbrEntry(d, 100 * 512, 1, 0x05, 50, 50);
    putMbrEntry(d, 150 * 512, 0, 0x0B, 1, 20);
    putMbrEntry(d, 150 * 512, 1, 0x05, 0, 50);  // back to the first record
    EXPECT_EQ(walk(d, false).rows, (std::vector<Row>{{"FAT32", "0   MB", 101}, {"FAT32", "0   MB", 151}}));
}

TEST(MbrWalk, LogicalStartSectorsUse64Bits) {
    // The chain lives beyond 2^32 sectors: a sparse image is not needed, only the EBR read is
    // real; the source reports a short read there, so check the arithmetic on a record near 0.
    auto d = disk(8);
    putMbrEntry(d, 0, 0, 0x0F, 4, 100);
    putMbrEntry(d, 4 * 512, 0, 0x83, 0xFFFFFFF0u, 2048);
    EXPECT_EQ(walk(d, false).rows, (std::vector<Row>{{"extX", "1   MB", 4 + 0xFFFFFFF0ll}}));
}

TEST(MbrWalk, UnreadableTablesReturnTheError) {
    EXPECT_NE(walk(std::vector<unsigned char>(100, 0), false).code, 0) << "truncated image";
    auto d = disk(8);
    putMbrEntry(d, 0, 0, 0x07, 1, 4);
    putMbrEntry(d, 0, 1, 0x05, 1000, 100);  // chain starts past the end
    putMbrEntry(d, 0, 2, 0x0C, 2, 4);
    const WalkResult result = walk(d, false);
    EXPECT_NE(result.code, 0);
    EXPECT_EQ(result.rows.size(), 2u) << "finds before and after the failed chain stay";
}

TEST(GptWalk, IdentifiesEachEntry) {
    auto d = disk(700);
    putGptHeader(d);
    putGptEntry(d, 0, 40, 79, u"Microsoft reserved partition");
    putGptEntry(d, 1, 80, 2047 + 80, u"Basic data partition");
    putNtfsBoot(d, 80 * 512, 4096);
    putGptEntry(d, 2, 100, 199, u"Card");
    putFatBoot(d, 100 * 512, false, 4096, 32, "        ");  // FAT16 as a camera writes it
    putGptEntry(d, 3, 200, 299, u"Big");
    putFatBoot(d, 200 * 512, true, 8192);
    putGptEntry(d, 4, 300, 399, u"x");
    putExfatBoot(d, 300 * 512, 2048);
    putGptEntry(d, 5, 400, 4495, u"Mac");
    putHfsHeader(d, 400 * 512, 4096, 512);
    putGptEntry(d, 6, 500, 500 + 4096, u"linux");
    putLe(d, 500 * 512 + 1080, 0xEF53, 2);
    putGptEntry(d, 7, 600, 600 + 6143, u"Daten \u00fc\u00df");
    const WalkResult result = walk(d, true);
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.rows, (std::vector<Row>{{"NTFS", "2   MB", 80},
                                             {"FAT16", "2  MB", 100},
                                             {"FAT32", "4  MB", 200},
                                             {"FAT64", "1  MB", 300},
                                             {"HFS+", "1", 400},
                                             {"extX", "2", 500},
                                             {"Daten \xC3\xBC\xC3\x9F", "2", 600}}));
    EXPECT_EQ(result.statuses, (std::vector<std::string>{"found NTFS 1...", "found FAT 16...", "found FAT 32...",
                                                         "found FAT 64..."}));
}

TEST(GptWalk, EmptyEntriesAreSkippedAndZeroSizedBootSectorsNotListed) {
    auto d = disk(300);
    putGptHeader(d);
    putGptEntry(d, 1, 100, 199, u"");
    putFatBoot(d, 100 * 512, true, 100);  // FAT32 of 0 MB
    putGptEntry(d, 3, 200, 2248, u"data");
    EXPECT_EQ(walk(d, true).rows, (std::vector<Row>{{"data", "1", 200}}));
}

TEST(GptWalk, HeaderPointingPastTheEndReturnsAnError) {
    auto d = disk(40);
    putGptHeader(d);
    putLe(d, 512 + 72, 0x7FFFFFFFFFFFull, 8);
    EXPECT_NE(walk(d, true).code, 0);
    putLe(d, 512 + 72, 0xFFFFFFFFFFFFFFFFull, 8);
    EXPECT_NE(walk(d, true).code, 0);
}

namespace {
struct ScanResult {
    int code = 0;
    std::vector<Row> rows;
    RecordingProgress progress;
    RecordingVolumes volumes;
};

void scan(ScanResult& result, std::vector<unsigned char> d, bool skip, std::int64_t start = 0, std::int64_t end = 0) {
    MemoryReadSeek source(std::move(d));
    Partition partition;
    partition.ownerPage = &result.volumes;
    partition.statusLine = &result.progress;
    partition.skipVolume = skip ? 1 : 0;
    partition.customStartSector = start;
    partition.customEndSector = end;
    partition.deviceSectorCount = source.deviceSectorCount();
    result.code = partition.scanForVolumes(source);
    for (const VolumeRecord& r : result.volumes.records)
        result.rows.push_back({r.fileSystem, volumeSizeText(r), r.startSector});
}
}  // namespace

TEST(AdvancedScan, FindsBootSectorsAndTheBackupWithoutSkip) {
    auto d = disk(3 * 2048 + 7);  // not a whole number of 1 MiB blocks: the tail is scanned too
    putNtfsBoot(d, 2048 * 512, 2048);
    putNtfsBoot(d, (2048 + 2047) * 512, 2048);  // backup boot sector at the volume's last sector
    putFatBoot(d, 4200 * 512, false, 4096, 128);
    putHfsHeader(d, 5000 * 512, 512, 4096);
    putExfatBoot(d, (3 * 2048 + 5) * 512, 4096);
    ScanResult all;
    scan(all, d, false);
    EXPECT_EQ(all.code, 1);
    EXPECT_EQ(all.rows, (std::vector<Row>{{"NTFS", "1   MB", 2048},
                                          {"NTFS", "1   MB", 4095},
                                          {"FAT16", "2  MB", 4200},
                                          {"HFS+", "2  MB", 5000},
                                          {"FAT64", "2  MB", 6149}}));
    EXPECT_EQ(all.volumes.scanRows, 5);
    EXPECT_EQ(all.progress.ranges, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 1000}}));
    EXPECT_EQ(all.volumes.filterStates, (std::vector<bool>{false, true}));
    EXPECT_EQ(all.progress.statuses.front(), "Scanning partition.....");

    ScanResult skipping;
    scan(skipping, d, true);
    EXPECT_EQ(skipping.rows, (std::vector<Row>{{"NTFS", "1   MB", 2048}, {"FAT16", "2  MB", 4200}}))
        << "the backup, and the HFS+ and exFAT headers inside the FAT16 volume, are jumped over";
}

// Only a primary superblock that a real ext volume could have is a find: not a backup copy in a
// later group, not the magic number alone.
TEST(AdvancedScan, FindsExtVolumesByTheirPrimarySuperblock) {
    auto d = disk(4 * 2048);
    putExtSuperblock(d, 2048 * 512, 3072);
    putExtSuperblock(d, 5000 * 512, 3072, 1);
    putLe(d, 6000 * 512 + 1080, 0xEF53, 2);
    ScanResult result;
    scan(result, d, false);
    EXPECT_EQ(result.rows, (std::vector<Row>{{"extX", "3  MB", 2048}}));
    EXPECT_EQ(result.volumes.records.at(0).sectorCount, 6144);
}

// Image files are mapped instead of read: the finds must be the same, the tail included.
TEST(AdvancedScan, MappedImageFileGivesTheSameFinds) {
    auto d = disk(3 * 2048 + 300);
    putNtfsBoot(d, 2048 * 512, 2048);
    putNtfsBoot(d, (2048 + 2047) * 512, 2048);
    putExfatBoot(d, (3 * 2048 + 5) * 512, 4096);
    const std::string path = ::testing::TempDir() + "/pictorva-scan.img";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
    FileReadSeek file;
    ASSERT_TRUE(file.open(path));
    RecordingVolumes volumes;
    Partition partition;
    partition.ownerPage = &volumes;
    partition.deviceSectorCount = file.deviceSectorCount();
    EXPECT_EQ(partition.scanForVolumes(file), 1);
    ScanResult memory;
    scan(memory, d, false);
    ASSERT_EQ(volumes.records.size(), 3u);
    EXPECT_EQ(volumes.records, memory.volumes.records);
    std::remove(path.c_str());
}

TEST(AdvancedScan, CustomRangeAndStop) {
    auto d = disk(4 * 2048);
    putNtfsBoot(d, 100 * 512, 2048);
    putNtfsBoot(d, 5000 * 512, 2048);
    ScanResult ranged;
    scan(ranged, d, true, 4096, 4100);
    EXPECT_EQ(ranged.rows, (std::vector<Row>{{"NTFS", "1   MB", 5000}}))
        << "the block holding the end sector is examined whole, the ones after it not";

    struct StopOnFirstFind : VolumeSink {
        Partition* partition = nullptr;
        int finds = 0;
        void volumeFound(const VolumeRecord&, bool) override {
            ++finds;
            partition->stop.set();
        }
    } stopper;
    MemoryReadSeek source(d);
    RecordingProgress progress;
    Partition partition;
    stopper.partition = &partition;
    partition.ownerPage = &stopper;
    partition.statusLine = &progress;
    partition.deviceSectorCount = source.deviceSectorCount();
    EXPECT_EQ(partition.scanForVolumes(source), 1);
    EXPECT_EQ(stopper.finds, 1);
    EXPECT_EQ(progress.statuses.back(), "Scanned Partitions");
}

TEST(AdvancedScan, FatSignatureTextsAppearWithoutADelivery) {
    auto d = disk(2048);
    putFatBoot(d, 10 * 512, true, 100);            // FAT32 of 0 MB
    putFatBoot(d, 20 * 512, false, 100, 0);        // no sectors per FAT at all
    d[30 * 512] = 0xEB;                            // a jump but no parameter block
    d[30 * 512 + 1] = 0x3C;
    ScanResult result;
    scan(result, d, false);
    EXPECT_TRUE(result.rows.empty());
    EXPECT_EQ(result.progress.statuses,
              (std::vector<std::string>{"Scanning partition.....", "found FAT 32...", "found unknown..."}));
}

TEST(MbrWalk, OnlyASignedTableWithAVolumeOnTheSourceIsOne) {
    struct Case {
        const char* what;
        std::function<void(std::vector<unsigned char>&)> make;
        bool table;
    };
    const std::vector<Case> cases{
        {"signed, inside", [](auto& d) { putMbrEntry(d, 0, 0, 0x07, 10, 20); }, true},
        {"no 0x55AA", [](auto& d) { putMbrEntry(d, 0, 0, 0x07, 10, 20); d[510] = d[511] = 0; }, false},
        {"boot flag neither 0 nor 0x80", [](auto& d) { putMbrEntry(d, 0, 0, 0x07, 10, 20); d[446] = 'D'; }, false},
        {"every volume past the end", [](auto& d) { putMbrEntry(d, 0, 0, 0x07, 1000, 20); putMbrEntry(d, 0, 1, 0x0C, 5000, 9); }, false},
        {"one inside, one past (cut short)", [](auto& d) { putMbrEntry(d, 0, 0, 0x07, 10, 20); putMbrEntry(d, 0, 1, 0x0C, 5000, 9); }, true},
    };
    for (const Case& c : cases) {
        auto d = disk(64);
        c.make(d);
        EXPECT_EQ(holdsPartitionTable(ByteView(d.data(), 512), d.size()), c.table) << c.what;
        const WalkResult result = walk(d, false);
        EXPECT_EQ(result.rows.empty(), !c.table) << c.what;
        if (!c.table) {
            EXPECT_EQ(result.statuses, std::vector<std::string>{"no partition table found; reading it as one volume"}) << c.what;
        }
    }
}
