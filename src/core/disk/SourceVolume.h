#pragma once
// A volume as a value: the source it lies on, its first byte there and its length. Readers are
// handed one and address it from byte 0 through a cursor of their own (readWriteInterface), so
// any number of walks can read the same source at once.

#include <algorithm>
#include <cstdint>

#include "disk/PositionedSource.h"

struct SourceVolume {
    PositionedSource* source = nullptr;
    std::int64_t firstByte = 0;
    /// Bytes from firstByte; negative: the volume runs to the end of the medium.
    std::int64_t length = -1;

    SourceVolume() = default;
    /// The whole medium, or the part of it from firstByte on, length bytes long.
    SourceVolume(PositionedSource& on, std::int64_t first = 0, std::int64_t bytes = -1)  // NOLINT: a source is its whole medium
        : source(&on), firstByte(first), length(bytes) {}

    /// The first byte past the volume on the medium, or INT64_MAX without a length.
    std::int64_t end() const {
        std::int64_t last = 0;
        if (length < 0 || __builtin_add_overflow(firstByte, length, &last))
            return INT64_MAX;
        return last;
    }
    /// Bytes from the first byte to the volume's end or the medium's end, whichever comes first.
    std::int64_t byteSize() const {
        if (source == nullptr)
            return 0;
        std::int64_t available = source->byteSize() - firstByte;
        if (length >= 0)
            available = std::min(available, length);
        return available > 0 ? available : 0;
    }
};
