#include "fs/AllocationMap.h"

#include <algorithm>

std::vector<VolumeSpan> AllocationMap::freeSpans(std::uint64_t volumeBytes) const {
    if (!known())
        return volumeBytes > 0 ? std::vector<VolumeSpan>{{0, volumeBytes}} : std::vector<VolumeSpan>{};
    return spansOutside(allocated, volumeBytes);
}

void AllocationBuilder::addSpan(std::uint64_t offset, std::uint64_t length) {
    if (offset >= volumeBytes_ || length == 0)
        return;
    length = std::min(length, volumeBytes_ - offset);
    // Neighbouring units of one bitmap come one after the other: join them here, so a map of
    // millions of clusters stays a short list.
    if (!spans_.empty() && spans_.back().end() == offset)
        spans_.back().length += length;
    else
        spans_.push_back({offset, length});
}

void AllocationBuilder::addBitmap(ByteView bits, std::uint64_t firstUnit, std::uint64_t count, std::uint64_t unitsOffset,
                                  std::uint64_t unitBytes, bool msbFirst) {
    if (unitBytes == 0 || unitsOffset >= volumeBytes_)
        return;
    // A count from the disk may claim more units than the volume holds.
    count = std::min(count, (volumeBytes_ - unitsOffset + unitBytes - 1) / unitBytes);
    const std::uint64_t held = std::min<std::uint64_t>(count, static_cast<std::uint64_t>(bits.size()) * 8 -
                                                                   std::min<std::uint64_t>(firstUnit, bits.size() * 8ULL));
    auto place = [&](std::uint64_t u) { return unitsOffset + u * unitBytes; };
    std::uint64_t runStart = 0;
    bool inRun = false;
    auto mark = [&](std::uint64_t u, bool used) {
        if (used && !inRun) {
            runStart = u;
            inRun = true;
        } else if (!used && inRun) {
            addSpan(place(runStart), (u - runStart) * unitBytes);
            inRun = false;
        }
    };
    std::uint64_t u = 0;
    while (u < held) {
        const std::uint64_t bit = firstUnit + u;
        const std::uint8_t byte = bits.u8(bit / 8);
        // Whole bytes of one state are taken at once: most of a bitmap is all free or all used.
        if (bit % 8 == 0 && u + 8 <= held && (byte == 0 || byte == 0xFF)) {
            mark(u, byte == 0xFF);
            u += 8;
            continue;
        }
        const unsigned shift = msbFirst ? 7 - static_cast<unsigned>(bit % 8) : static_cast<unsigned>(bit % 8);
        mark(u, ((byte >> shift) & 1U) != 0);
        ++u;
    }
    if (inRun)
        addSpan(place(runStart), (held - runStart) * unitBytes);
}

AllocationMap AllocationBuilder::finish() { return {normalSpans(std::move(spans_)), {}}; }
