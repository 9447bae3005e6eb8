#pragma once
// LZNT1 decompression ([MS-XCA] 2.5), the compression of NTFS compressed files. The output never
// exceeds capacity, whatever the input claims.

#include <cstddef>
#include <cstdint>

#include "common/ByteView.h"

struct Lznt1Result {
    std::size_t produced = 0;  ///< bytes written to the output
    bool failed = false;       ///< the stream lied (a chunk past the input, a reference before the start, overflow)
};

/// Decompresses input into out[0, capacity). The bytes produced are usable even when failed.
Lznt1Result lznt1Decompress(ByteView input, std::uint8_t* out, std::size_t capacity);
