#include <gtest/gtest.h>

#include "RecordingSinks.h"
#include "app/StopFlag.h"
#include "disk/MemoryReadSeek.h"
#include "disk/readWriteInterface.h"
#include "fs/fat/FatStructureFinder.h"

namespace {
std::vector<unsigned char> volumeWith(const std::vector<std::pair<std::size_t, std::vector<unsigned char>>>& marks) {
    std::vector<unsigned char> bytes(12 * 1024 * 1024, 0);  // two search pieces
    for (const auto& [at, sig] : marks)
        std::copy(sig.begin(), sig.end(), bytes.begin() + static_cast<long>(at));
    return bytes;
}

const std::vector<unsigned char> kFat16 = {0xF8, 0xFF, 0xFF, 0xFF};
const std::vector<unsigned char> kFat32 = {0xF8, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF};

TEST(FatStructureFinder, FindsAlignedStartsInOrderUpToTheMaximum) {
    // Two FAT copies, one in the second 10 MiB piece, and one off a 512-byte boundary.
    MemoryReadSeek medium(volumeWith({{512, kFat16}, {11 * 1024 * 1024 + 512, kFat16}, {1000, kFat16}}));
    readWriteInterface source{SourceVolume(medium)};
    StopFlag stop;
    RecordingProgress progress;
    std::vector<std::uint64_t> list;
    EXPECT_EQ(findStructures(FinderKind::Fat16, source, medium.byteSize(), 3, stop, progress, list),
              (std::vector<std::uint64_t>{512, 11 * 1024 * 1024 + 512}));
    EXPECT_EQ(progress.statuses, (std::vector<std::string>{"FAT copies found: 1", "FAT copies found: 2"}));
    EXPECT_EQ(progress.positions.back(), 1000);
    std::vector<std::uint64_t> one;
    EXPECT_EQ(findStructures(FinderKind::Fat16, source, medium.byteSize(), 1, stop, progress, one),
              (std::vector<std::uint64_t>{512}));
}

TEST(FatStructureFinder, Fat32NeedsBothEntriesAndHeapCandidatesAreAllOnes) {
    std::vector<unsigned char> mkfsEntry1 = kFat32;
    mkfsEntry1[7] = 0x0F;  // entry 1 of 0x0FFFFFFF, as mkfs.fat writes it: the top 4 bits are reserved
    std::vector<unsigned char> notEntry1 = kFat32;
    notEntry1[7] = 0xF7;  // a bad-cluster mark is not entry 1
    MemoryReadSeek medium(volumeWith({{4096, kFat32}, {8192, mkfsEntry1}, {12288, notEntry1},
                                      {16384, std::vector<unsigned char>(8, 0xFF)}}));
    readWriteInterface source{SourceVolume(medium)};
    StopFlag stop;
    RecordingProgress progress;
    std::vector<std::uint64_t> fat32, heap;
    EXPECT_EQ(findStructures(FinderKind::Fat32, source, medium.byteSize(), 3, stop, progress, fat32),
              (std::vector<std::uint64_t>{4096, 8192}));
    EXPECT_EQ(progress.statuses.front(), "Searching the volume for FAT copies: 0 Bytes of 12.00 MB");
    stop.set();  // a stop left from an earlier search does not stop the heap search
    EXPECT_EQ(findStructures(FinderKind::ExfatHeap, source, medium.byteSize(), 3, stop, progress, heap),
              (std::vector<std::uint64_t>{16384}));
}
}  // namespace
