#pragma once
// A candidate's bytes as the validators read them during a scan: from the chunk in hand where
// they lie in it, read from the volume otherwise. Reads never reach past the volume's end.

#include <cstdint>

#include "formats/CandidateReader.h"

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
    /// Where the candidate starts: offsets of read and direct count from here.
    void setCandidateStart(std::uint64_t start) {
        base_ = start;
        reach_ = start;
    }
    /// The volume position past the last byte the candidate's walk has asked for.
    std::uint64_t reach() const { return reach_; }

    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;
    ByteView direct(std::uint64_t offset, std::size_t n) override;

private:
    readWriteInterface& volume_;
    std::uint64_t volumeBytes_;
    const std::uint8_t* chunk_ = nullptr;
    std::uint64_t chunkStart_ = 0;
    std::size_t chunkBytes_ = 0;
    std::uint64_t base_ = 0;
    std::uint64_t reach_ = 0;
};
