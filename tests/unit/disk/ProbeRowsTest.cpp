#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "DiskBytes.h"
#include "RecordingSinks.h"
#include "browser/ReaderRegistry.h"
#include "disk/BootSectorProbe.h"
#include "disk/MemoryReadSeek.h"
#include "disk/Partition.h"

using namespace disk_bytes;

namespace {
constexpr std::size_t kVolumeSector = 2048;
constexpr std::uint32_t kVolumeSectors = 4096;  // 2 MiB: every walk lists it

/// A volume of each kind the probe table knows, kVolumeSectors long, at byte offset.
const std::vector<std::pair<FileSystemKind, std::function<void(std::vector<unsigned char>&, std::size_t)>>>& volumeMakers() {
    static const std::vector<std::pair<FileSystemKind, std::function<void(std::vector<unsigned char>&, std::size_t)>>> makers{
        {FileSystemKind::Ntfs, [](auto& d, std::size_t at) { putNtfsBoot(d, at, kVolumeSectors); }},
        {FileSystemKind::Exfat, [](auto& d, std::size_t at) { putExfatBoot(d, at, kVolumeSectors); }},
        {FileSystemKind::Fat16, [](auto& d, std::size_t at) { putFatBoot(d, at, false, kVolumeSectors); }},
        {FileSystemKind::Fat32, [](auto& d, std::size_t at) { putFatBoot(d, at, true, kVolumeSectors); }},
        {FileSystemKind::Hfsp, [](auto& d, std::size_t at) { putHfsHeader(d, at, 4096, kVolumeSectors / 8); }},
        {FileSystemKind::Ext, [](auto& d, std::size_t at) { putExtSuperblock(d, at, kVolumeSectors / 2); }},
    };
    return makers;
}

std::vector<VolumeRecord> walk(std::vector<unsigned char> bytes, bool gpt, bool search) {
    MemoryReadSeek source(std::move(bytes));
    RecordingVolumes volumes;
    Partition partition;
    partition.ownerPage = &volumes;
    partition.gptFlag = gpt ? 1 : 0;
    partition.deviceSectorCount = source.deviceSectorCount();
    if (search)
        partition.scanForVolumes(source);
    else
        partition.readPartitionTable(source);
    return volumes.records;
}

std::vector<unsigned char> disk() { return std::vector<unsigned char>((kVolumeSector + kVolumeSectors + 64) * 512, 0); }
}  // namespace

// A file system is recognised in one place: every probe row is found, under its kind, at the
// start of a source, behind a GPT entry, behind an MBR entry whose type code names nothing, and
// by the search for lost volumes; and its kind has a reader.
TEST(ProbeRows, EveryRowIsFoundByEveryWalkAndHasAReader) {
    const auto& makers = volumeMakers();
    ASSERT_EQ(makers.size(), boot_sector::volumeProbes().size()) << "a probe row without a volume to test it";
    for (const boot_sector::VolumeProbe& row : boot_sector::volumeProbes()) {
        SCOPED_TRACE(row.name);
        const auto maker = std::find_if(makers.begin(), makers.end(), [&](const auto& m) { return m.first == row.kind; });
        ASSERT_NE(maker, makers.end());
        const auto place = maker->second;
        EXPECT_TRUE(hasReader(row.kind));
        EXPECT_EQ(fileSystemKind(row.walkName), row.kind);

        auto whole = std::vector<unsigned char>(kVolumeSectors * 512, 0);
        place(whole, 0);
        const auto wholeRows = walk(whole, false, false);
        ASSERT_EQ(wholeRows.size(), 1u);
        EXPECT_EQ(wholeRows[0].kind, row.kind);
        EXPECT_EQ(wholeRows[0].fileSystem, row.walkName);
        EXPECT_EQ(wholeRows[0].sectorCount, kVolumeSectors);

        auto gpt = disk();
        putGptHeader(gpt);
        putGptEntry(gpt, 0, kVolumeSector, kVolumeSector + kVolumeSectors - 1, u"data");
        place(gpt, kVolumeSector * 512);
        const auto gptRows = walk(gpt, true, false);
        ASSERT_EQ(gptRows.size(), 1u);
        EXPECT_EQ(gptRows[0].kind, row.kind);
        EXPECT_EQ(gptRows[0].startSector, static_cast<std::int64_t>(kVolumeSector));

        auto mbr = disk();
        putMbrEntry(mbr, 0, 0, 0xDA, kVolumeSector, kVolumeSectors);  // a code that names no file system
        place(mbr, kVolumeSector * 512);
        const auto mbrRows = walk(mbr, false, false);
        ASSERT_EQ(mbrRows.size(), 1u);
        EXPECT_EQ(mbrRows[0].kind, row.kind);
        EXPECT_EQ(mbrRows[0].fileSystem, row.walkName);

        auto lost = disk();
        place(lost, kVolumeSector * 512);
        const auto found = walk(lost, false, true);
        ASSERT_FALSE(found.empty());
        EXPECT_EQ(found[0].kind, row.kind);
        EXPECT_EQ(found[0].startSector, static_cast<std::int64_t>(kVolumeSector));
        EXPECT_EQ(found[0].sectorCount, kVolumeSectors);
    }
}

// The type code names a volume; only where a code stands for several file systems, or for none
// the table knows, do its first sectors decide. A partition formatted again keeps its code.
TEST(ProbeRows, TypeCodesAskTheProbeOnlyWhereTheyDoNotDecide) {
    struct Case {
        const char* what;
        std::uint8_t type;
        FileSystemKind placed;  // Unknown: nothing at the volume's start
        const char* name;
        FileSystemKind kind;
    };
    const Case cases[] = {
        {"0x07 with an exFAT boot sector", 0x07, FileSystemKind::Exfat, "FAT64", FileSystemKind::Exfat},
        {"0x07 with nothing recognisable", 0x07, FileSystemKind::Unknown, "NTFS", FileSystemKind::Ntfs},
        {"EFI system partition holding FAT32", 0xEF, FileSystemKind::Fat32, "FAT32", FileSystemKind::Fat32},
        {"0xEF with nothing recognisable", 0xEF, FileSystemKind::Unknown, "Unknown", FileSystemKind::Unknown},
        {"0x83 keeps its code over an old FAT boot sector", 0x83, FileSystemKind::Fat16, "extX", FileSystemKind::Ext},
        {"0x01 is FAT12, read as FAT16", 0x01, FileSystemKind::Fat16, "FAT12", FileSystemKind::Fat16},
    };
    for (const Case& c : cases) {
        auto mbr = disk();
        putMbrEntry(mbr, 0, 0, c.type, kVolumeSector, kVolumeSectors);
        for (const auto& [kind, place] : volumeMakers())
            if (kind == c.placed)
                place(mbr, kVolumeSector * 512);
        const auto rows = walk(mbr, false, false);
        ASSERT_EQ(rows.size(), 1u) << c.what;
        EXPECT_EQ(rows[0].fileSystem, c.name) << c.what;
        EXPECT_EQ(rows[0].kind, c.kind) << c.what;
    }
}
