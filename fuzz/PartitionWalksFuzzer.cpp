// Arbitrary bytes as a whole disk: the MBR walk, the GPT walk and the advanced scan must end
// with a result on any of them.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "disk/MemoryReadSeek.h"
#include "disk/Partition.h"

namespace {
struct Discard final : VolumeSink {
    void volumeFound(const VolumeRecord&, bool) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryReadSeek source(std::vector<unsigned char>(data, data + size));
    Discard sink;
    for (int gpt = 0; gpt < 2; ++gpt) {
        Partition walk;
        walk.ownerPage = &sink;
        walk.gptFlag = static_cast<std::uint8_t>(gpt);
        walk.readPartitionTable(source);
    }
    for (int skip = 0; skip < 2; ++skip) {
        Partition scan;
        scan.ownerPage = &sink;
        scan.skipVolume = static_cast<std::uint8_t>(skip);
        scan.deviceSectorCount = source.deviceSectorCount();
        scan.scanForVolumes(source);
    }
    return 0;
}
