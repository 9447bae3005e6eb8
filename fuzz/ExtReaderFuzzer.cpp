// Arbitrary bytes as an ext2/3/4 volume: the walk, the deleted files' search through the
// journal, the list texts and saving end on any of them.
#include "ReaderFuzzWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzReader(data, size, "extX", ScanMode::Standard);
    fuzzReader(data, size, "extX", ScanMode::Journal);
    return 0;
}
