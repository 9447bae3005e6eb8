#include "raw/VolumeByteSource.h"

#include <algorithm>
#include <cstring>

#include "disk/readWriteInterface.h"

void VolumeByteSource::setCandidateRuns(std::span<const CarvedRun> runs) {
    runs_.assign(runs.begin(), runs.end());
    base_ = runs_.empty() ? 0 : runs_.front().start;
    reach_ = base_;
}

const CarvedRun* VolumeByteSource::runAt(std::uint64_t offset, std::uint64_t& within) const {
    for (const CarvedRun& run : runs_) {
        if (offset < run.length) {
            within = offset;
            return &run;
        }
        offset -= run.length;
    }
    return nullptr;
}

ByteView VolumeByteSource::direct(std::uint64_t offset, std::size_t n) {
    if (runs_.empty())
        return directVolume(base_ + offset, n);
    // Only bytes that lie in one run lie side by side in memory.
    std::uint64_t within = 0;
    const CarvedRun* run = runAt(offset, within);
    if (run == nullptr || n > run->length - within)
        return {};
    return directVolume(run->start + within, n);
}

std::size_t VolumeByteSource::read(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (runs_.empty())
        return readVolume(base_ + offset, out, n);
    std::size_t done = 0;
    while (done < n) {
        std::uint64_t within = 0;
        const CarvedRun* run = runAt(offset + done, within);
        if (run == nullptr)
            break;
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(n - done, run->length - within));
        const std::size_t got = readVolume(run->start + within, out + done, piece);
        done += got;
        if (got < piece)
            break;  // the readable bytes end inside this run
    }
    return done;
}

ByteView VolumeByteSource::directVolume(std::uint64_t at, std::size_t n) {
    reach_ = std::max(reach_, std::min(at + n, volumeBytes_));
    if (at >= volumeBytes_ || at < chunkStart_)
        return {};
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, volumeBytes_ - at));
    if (at - chunkStart_ + n > chunkBytes_)
        return {};
    return ByteView(chunk_ + (at - chunkStart_), n);
}

std::size_t VolumeByteSource::readVolume(std::uint64_t at, std::uint8_t* out, std::size_t n) {
    const ByteView inChunk = directVolume(at, n);
    if (!inChunk.empty()) {
        std::memcpy(out, inChunk.data(), inChunk.size());
        return inChunk.size();
    }
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
