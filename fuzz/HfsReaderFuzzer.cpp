// Arbitrary bytes as an HFS+ volume, in the catalog walk and the whole-volume scan.
#include "ReaderFuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzReader(data, size, "HFS+", ScanMode::Standard);
    fuzzReader(data, size, "HFS+", ScanMode::Deep);
    return 0;
}
