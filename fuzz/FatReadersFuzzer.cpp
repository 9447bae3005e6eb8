// Arbitrary bytes as a FAT12/16, FAT32 and exFAT volume: each reader's standard walk, list texts
// and saving, and its advanced candidate scan and build (on a FAT position and cluster size taken
// from the bytes themselves; the finders' 10 MiB searches would only slow the fuzzer), end on any
// of them.
#include "ReaderFuzzWalk.h"
#include "fs/fat/Fat16Class.h"
#include "fs/fat/Fat32Class.h"
#include "fs/fat/Fat64Class.h"

namespace {
template <typename Reader>
void fuzzAdvanced(const std::uint8_t* data, std::size_t size, std::uint32_t spc, std::uint64_t fatPosition) {
    MemoryReadSeek source(std::vector<unsigned char>(data, data + size));
    SilentNotifier notifier;
    Reader reader(ReaderInput{source, {}, source.byteSize(), NullProgressSink::instance(), notifier});
    reader.openVolume();
    reader.fatPositions = {fatPosition, fatPosition + 4096};
    reader.setAssumedGeometry(spc, fatPosition);
    reader.scanDirectoryEntries();
    reader.buildFromCandidates();
    reader.linkEntries();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzReader(data, size, "FAT16", ScanMode::Standard);
    fuzzReader(data, size, "FAT32", ScanMode::Standard);
    fuzzReader(data, size, "exFAT", ScanMode::Standard);
    if (size < 4)
        return 0;
    const std::uint32_t spc = 1u << (data[0] % 8);
    const std::uint64_t fatPosition = static_cast<std::uint64_t>(data[1] % 16) * 512;
    fuzzAdvanced<Fat16Class>(data, size, spc, fatPosition);
    fuzzAdvanced<Fat32Class>(data, size, spc, fatPosition);
    MemoryReadSeek source(std::vector<unsigned char>(data, data + size));
    SilentNotifier notifier;
    Fat64Class exfat(ReaderInput{source, {}, source.byteSize(), NullProgressSink::instance(), notifier});
    exfat.openVolume();
    exfat.setAssumedGeometry(data[2] % 12);
    exfat.scanEntrySets();
    exfat.heapAgreement(static_cast<std::uint64_t>(data[3] % 32) * 512);
    exfat.buildFromCandidates(static_cast<std::uint64_t>(data[3] % 32) * 512, fatPosition);
    exfat.linkEntries();
    return 0;
}
