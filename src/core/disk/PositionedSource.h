#pragma once
// The read and seek semantics shared by every concrete sector source; subclasses only supply
// positioned reads of the medium and its size.

#include "disk/readWriteInterface.h"

class PositionedSource : public readWriteInterface {
public:
    bool read(void* buffer, std::uint32_t n) final;
    bool seek(std::uint32_t low, std::int32_t high, int method) final;
    std::int64_t position() const { return position_; }

protected:
    /// Reads up to n bytes at position; returns the count (0 at the end) or -1 with lastError_ set.
    virtual long readBytes(void* buffer, std::uint32_t n, std::int64_t position) = 0;
    std::int64_t position_ = 0;
};
