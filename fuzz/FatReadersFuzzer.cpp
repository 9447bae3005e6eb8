// Arbitrary bytes as a FAT12/16, FAT32 and exFAT volume: each reader's walk (standard, and the
// advanced finder, candidate scan and build), list texts and saving end on any of them.
#include "ReaderFuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const ScanMode mode : {ScanMode::Standard, ScanMode::Advanced}) {
        fuzzReader(data, size, "FAT16", mode);
        fuzzReader(data, size, "FAT32", mode);
        fuzzReader(data, size, "exFAT", mode);
    }
    return 0;
}
