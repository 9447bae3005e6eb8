// Arbitrary bytes as an ext3/ext4 journal: the walk ends in bounded time on any of them, and every
// copy it indexes reads back. The first byte picks the block size (1, 2 or 4 KiB); the rest is
// the journal from its superblock on. Seeds: fuzz/corpus/ext_journal (journals of real volumes).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fs/ext/JournalIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint32_t blockSize = 1024u << (data[0] % 3);
    const std::uint8_t* journal = data + 1;
    const std::size_t bytes = size - 1;
    const std::uint64_t blocks = bytes / blockSize;
    auto read = [&](std::uint64_t position, std::vector<std::uint8_t>& block) {
        if (position >= blocks)
            return false;
        block.assign(journal + position * blockSize, journal + (position + 1) * blockSize);
        return true;
    };
    // The journal claims a few more blocks than it has: reads past the end fail, as on a short volume.
    const JournalIndex index(read, blockSize, blocks + 2, 1u << 20);
    std::vector<std::uint8_t> block;
    for (const auto& [fsBlock, copies] : index.allCopies())
        for (const JournalCopy& copy : copies)
            (void)index.readCopy(copy, block);
    return 0;
}
