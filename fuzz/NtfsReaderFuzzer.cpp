// Arbitrary bytes as the MFT (and everything after it) of a small NTFS volume: the Standard walk,
// list texts and saving of the first entries, the Deep scan, and LZNT1 on the raw bytes.

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "disk/MemoryReadSeek.h"
#include "fs/ntfs/Lznt1.h"
#include "fs/ntfs/ntfs.h"
#include "output/OutputFile.h"

namespace {
constexpr std::size_t kVolumeBytes = 512 * 1024;
constexpr std::size_t kMftOffset = 4 * 4096;

std::vector<unsigned char> volumeAround(const std::uint8_t* data, std::size_t size, bool bootSector) {
    std::vector<unsigned char> v(kVolumeBytes, 0);
    if (bootSector) {
        std::memcpy(&v[3], "NTFS    ", 8);
        v[0x0B] = 0x00;
        v[0x0C] = 0x02;  // 512 bytes per sector
        v[0x0D] = 8;     // 4 KiB clusters
        v[0x28] = 0x00;
        v[0x29] = 0x04;  // 1024 sectors
        v[0x30] = 4;     // MFT at cluster 4
        v[0x40] = 0xF6;  // 1024-byte records
    }
    std::memcpy(&v[kMftOffset], data, std::min(size, kVolumeBytes - kMftOffset));
    return v;
}

void walk(std::vector<unsigned char> bytes, std::uint32_t mode) {
    MemoryReadSeek source(std::move(bytes));
    SilentNotifier notifier;
    ntfs reader(ReaderInput{source, {}, source.byteSize(), NullProgressSink::instance(), notifier});
    reader.readBootSector();
    reader.scanMode = mode;
    if (mode == 3)
        reader.deepScan();
    else
        reader.locateMft();
    reader.buildEntryList();
    reader.parseEntries();
    const std::size_t n = std::min<std::size_t>(reader.entryList.size(), 48);
    for (std::size_t i = 0; i < n; ++i) {
        reader.details(reader.entryList[i]);
        reader.realDataSize(i);
        MemoryOutput saved;
        OutputFile file = saved.file();
        reader.writeEntry(i, file);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > kVolumeBytes)
        return 0;
    walk(volumeAround(data, size, true), 1);
    walk(volumeAround(data, size, false), 3);
    std::vector<std::uint8_t> out(65536);
    lznt1Decompress(ByteView(data, size), out.data(), out.size());
    return 0;
}
