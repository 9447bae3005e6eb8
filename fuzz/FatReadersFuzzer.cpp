// Arbitrary bytes as a FAT12/16, FAT32 and exFAT volume: each reader's walk, list texts and
// saving end on any of them.
#include "ReaderFuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzReader(data, size, "FAT16", ScanMode::Standard);
    fuzzReader(data, size, "FAT32", ScanMode::Standard);
    fuzzReader(data, size, "exFAT", ScanMode::Standard);
    return 0;
}
