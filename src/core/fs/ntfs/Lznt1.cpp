#include "fs/ntfs/Lznt1.h"

#include "fs/ntfs/NtfsLayout.h"

using namespace ntfs_layout;

namespace {
/// Decodes one compressed chunk into out[0, limit); returns the bytes produced.
std::size_t decodeChunk(ByteView data, std::uint8_t* out, std::size_t limit, bool& failed) {
    std::size_t produced = 0;
    std::size_t pos = 0;
    while (pos < data.size() && produced < limit) {
        const std::uint8_t flags = data.u8(pos++);
        for (int bit = 0; bit < 8 && pos < data.size() && produced < limit; ++bit) {
            if ((flags & (1u << bit)) == 0) {
                out[produced++] = data.u8(pos++);
                continue;
            }
            if (!data.has(pos, 2)) {
                failed = true;
                return produced;
            }
            const std::uint16_t token = data.le16(pos);
            pos += 2;
            // The split between displacement and length moves as the chunk position grows.
            unsigned lengthBits = 12;
            for (std::size_t p = produced - 1; produced > 0 && p >= 0x10; p >>= 1)
                --lengthBits;
            const std::size_t displacement = (token >> lengthBits) + 1u;
            std::size_t length = (token & ((1u << lengthBits) - 1)) + 3u;
            if (displacement > produced) {
                failed = true;
                return produced;
            }
            if (length > limit - produced) {
                length = limit - produced;
                failed = true;
            }
            for (std::size_t i = 0; i < length; ++i, ++produced)
                out[produced] = out[produced - displacement];
        }
    }
    return produced;
}
}  // namespace

Lznt1Result lznt1Decompress(ByteView input, std::uint8_t* out, std::size_t capacity) {
    Lznt1Result result;
    std::size_t pos = 0;
    while (input.has(pos, 2) && result.produced < capacity) {
        const std::uint16_t header = input.le16(pos);
        if (header == 0)
            break;
        const std::size_t dataSize = (header & kLzntSizeMask) + 1u;
        if (!input.has(pos + 2, dataSize)) {
            result.failed = true;
            break;
        }
        const ByteView data = input.slice(pos + 2, dataSize);
        pos += 2 + dataSize;
        std::uint8_t* chunkOut = out + result.produced;
        const std::size_t room = capacity - result.produced;
        if ((header & kLzntCompressedFlag) == 0) {
            // Stored chunk: copied as is.
            const std::size_t n = dataSize < room ? dataSize : room;
            for (std::size_t i = 0; i < n; ++i)
                chunkOut[i] = data.u8(i);
            result.produced += n;
            if (n < dataSize) {
                result.failed = true;
                break;
            }
            continue;
        }
        const std::size_t limit = room < kLzntChunkSize ? room : kLzntChunkSize;
        const std::size_t produced = decodeChunk(data, chunkOut, limit, result.failed);
        result.produced += produced;
        if (result.failed)
            break;
        // A chunk that decodes to less than 4096 bytes ends the stream's data; later chunks
        // start on the next 4096-byte boundary.
        if (produced < kLzntChunkSize && input.has(pos, 2) && input.le16(pos) != 0) {
            const std::size_t pad = kLzntChunkSize - produced < capacity - result.produced
                                        ? kLzntChunkSize - produced
                                        : capacity - result.produced;
            for (std::size_t i = 0; i < pad; ++i)
                out[result.produced + i] = 0;
            result.produced += pad;
        }
    }
    return result;
}
