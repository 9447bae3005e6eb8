#include "raw/VolumeByteSource.h"

#include <algorithm>
#include <cstring>

#include "disk/readWriteInterface.h"

ByteView VolumeByteSource::direct(std::uint64_t offset, std::size_t n) {
    const std::uint64_t at = base_ + offset;
    reach_ = std::max(reach_, std::min(at + n, volumeBytes_));
    if (at >= volumeBytes_ || at < chunkStart_)
        return {};
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, volumeBytes_ - at));
    if (at - chunkStart_ + n > chunkBytes_)
        return {};
    return ByteView(chunk_ + (at - chunkStart_), n);
}

std::size_t VolumeByteSource::read(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    const ByteView inChunk = direct(offset, n);
    if (!inChunk.empty()) {
        std::memcpy(out, inChunk.data(), inChunk.size());
        return inChunk.size();
    }
    const std::uint64_t at = base_ + offset;
    reach_ = std::max(reach_, std::min(at + n, volumeBytes_));
    if (at >= volumeBytes_)
        return 0;
    n = static_cast<std::size_t>(std::min<std::uint64_t>({n, volumeBytes_ - at, UINT32_MAX}));
    // Read, not mapped: a mapping here would move the window the chunk in hand lies in.
    if (!volume_.seekTo(static_cast<std::int64_t>(at)))
        return 0;
    volume_.read(out, static_cast<std::uint32_t>(n));
    return volume_.lastReadCount();
}
