#pragma once
// A candidate's bytes as the validators read them: from the chunk in hand where they lie in it,
// read from the volume otherwise. During a scan a candidate is the volume from a start on; a
// carved file is its runs, read in file order as if they lay side by side. Reads never reach past
// the volume's end.

#include <cstdint>
#include <span>
#include <vector>

#include "formats/CandidateReader.h"
#include "raw/CarvedFile.h"

class readWriteInterface;

class VolumeByteSource final : public formats::ByteSource {
public:
    VolumeByteSource(readWriteInterface& volume, std::uint64_t volumeBytes) : volume_(volume), volumeBytes_(volumeBytes) {}

    /// The bytes of the volume at [start, start + n) held in memory, valid until the next call.
    void setChunk(const std::uint8_t* bytes, std::uint64_t start, std::size_t n) {
        chunk_ = bytes;
        chunkStart_ = start;
        chunkBytes_ = n;
    }
    /// The candidate is the volume from start on: offsets of read and direct count from here.
    void setCandidateStart(std::uint64_t start) {
        runs_.clear();
        base_ = start;
        reach_ = start;
    }
    /// The candidate is a carved file: offset 0 is its first run's first byte, and its bytes end
    /// with its last run.
    void setCandidateRuns(std::span<const CarvedRun> runs);
    /// The volume position past the last byte the candidate's walk has asked for.
    std::uint64_t reach() const { return reach_; }

    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;
    ByteView direct(std::uint64_t offset, std::size_t n) override;

private:
    /// Bytes at volume position at, from the chunk or the volume.
    std::size_t readVolume(std::uint64_t at, std::uint8_t* out, std::size_t n);
    ByteView directVolume(std::uint64_t at, std::size_t n);
    /// The run holding candidate offset, and offset's place in it; nullptr past the last run.
    const CarvedRun* runAt(std::uint64_t offset, std::uint64_t& within) const;

    readWriteInterface& volume_;
    std::uint64_t volumeBytes_;
    const std::uint8_t* chunk_ = nullptr;
    std::uint64_t chunkStart_ = 0;
    std::size_t chunkBytes_ = 0;
    std::uint64_t base_ = 0;
    std::uint64_t reach_ = 0;
    std::vector<CarvedRun> runs_;  ///< empty: the volume from base_ on
};
