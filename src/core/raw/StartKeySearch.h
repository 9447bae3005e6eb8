#pragma once
// The cheap first test of the byte-offset search: a set of two-byte keys (the first two bytes
// of each built-in format's magic) held as a 64 Kibit map, so that almost every position of a
// random volume is passed over with one load and one bit test.

#include <array>
#include <cstddef>
#include <cstdint>

class StartKeySearch {
public:
    void add(std::uint8_t first, std::uint8_t second) {
        const std::uint32_t key = first | std::uint32_t{second} << 8;
        bits_[key >> 6] |= std::uint64_t{1} << (key & 63);
    }
    /// The first i in [from, to) where bytes[i], bytes[i + 1] is a key, or to. bytes[to] must be
    /// readable when to > from.
    std::size_t next(const std::uint8_t* bytes, std::size_t from, std::size_t to) const {
        for (std::size_t i = from; i < to; ++i) {
            const std::uint32_t key = bytes[i] | std::uint32_t{bytes[i + 1]} << 8;
            if ((bits_[key >> 6] >> (key & 63)) & 1)
                return i;
        }
        return to;
    }

private:
    std::array<std::uint64_t, 1024> bits_{};
};
