#include "fs/fat/FatStructureFinder.h"

#include <cstring>
#include <memory>
#include <new>

#include "app/ProgressSink.h"
#include "app/StopFlag.h"
#include "common/ListTextFormat.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"

namespace {
constexpr std::uint32_t kSearchBuffer = 10 * 1024 * 1024;

std::string_view signatureOf(FinderKind kind) {
    static const unsigned char fat16[] = {0xF8, 0xFF, 0xFF, 0xFF};
    static const unsigned char fat32[] = {0xF8, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF};
    static const unsigned char exfatFat[] = {0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    static const unsigned char heap[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    auto view = [](const unsigned char* b, std::size_t n) { return std::string_view(reinterpret_cast<const char*>(b), n); };
    switch (kind) {
    case FinderKind::Fat16: return view(fat16, sizeof fat16);
    case FinderKind::Fat32: return view(fat32, sizeof fat32);
    case FinderKind::ExfatFat: return view(exfatFat, sizeof exfatFat);
    case FinderKind::ExfatHeap: break;
    }
    return view(heap, sizeof heap);
}
/// FAT32 entries are 28 bits wide: entry 1 reads 0x0FFFFFFF on volumes made by mkfs.fat and
/// many cameras, 0xFFFFFFFF on others, so its top four bits are not compared.
bool matchesAt(FinderKind kind, const unsigned char* at, std::string_view signature) {
    if (kind != FinderKind::Fat32)
        return std::memcmp(at, signature.data(), signature.size()) == 0;
    return std::memcmp(at, signature.data(), 7) == 0 && (at[7] & 0x0F) == 0x0F;
}
}  // namespace

std::vector<std::uint64_t> findStructures(FinderKind kind, readWriteInterface& source, std::int64_t totalBytes,
                                          std::int64_t maxCount, StopFlag& stop, ProgressSink& progress,
                                          std::vector<std::uint64_t>& list) {
    const bool heap = kind == FinderKind::ExfatHeap;
    const std::string_view signature = signatureOf(kind);
    if (kind == FinderKind::Fat32)
        progress.setRange(0, 1000);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kSearchBuffer]);
    if (!buffer) {
        if (kind == FinderKind::Fat16)
            progress.setPosition(1000);
        return list;
    }
    std::memset(buffer.get(), 0, kSearchBuffer);
    if (kind == FinderKind::Fat16 || kind == FinderKind::ExfatFat)
        progress.setRange(0, 1000);
    if (heap)
        stop.clear();
    const double length = static_cast<double>(totalBytes);
    auto permille = [&](std::int64_t p) { return static_cast<std::int64_t>(static_cast<double>(p) / length * 1000); };
    std::int64_t finds = 0;
    bool full = false;
    for (std::int64_t p = 0; p < totalBytes && !full;) {
        if (heap && stop.isSet())
            break;
        if (kind == FinderKind::Fat32 || kind == FinderKind::ExfatFat)
            progress.setPosition(permille(p));
        source.readAt(p, buffer.get(), kSearchBuffer);
        if (kind == FinderKind::Fat16)
            progress.setPosition(permille(p));
        if (kind == FinderKind::Fat32)
            progress.setStatus("Searching the volume for FAT copies: " + formatListSize(static_cast<std::uint64_t>(p)) +
                               " of " + formatListSize(static_cast<std::uint64_t>(totalBytes)));
        for (std::uint32_t s = 0; s + signature.size() <= kSearchBuffer; s += 512) {
            if (heap && stop.isSet())
                break;
            if (!matchesAt(kind, buffer.get() + s, signature))
                continue;
            list.push_back(static_cast<std::uint64_t>(p) + s);
            ++finds;
            if (!heap)
                progress.setStatus(formatText("FAT copies found: %d", static_cast<int>(finds)));
            if (static_cast<std::int64_t>(list.size()) >= maxCount) {
                full = true;
                break;
            }
        }
        if (stop.isSet()) {
            if (kind == FinderKind::Fat16)
                stop.clear();
            break;
        }
        std::memset(buffer.get(), 0, kSearchBuffer);
        p += kSearchBuffer;
    }
    if (kind == FinderKind::Fat16 || kind == FinderKind::Fat32)
        progress.setPosition(1000);
    return list;
}
