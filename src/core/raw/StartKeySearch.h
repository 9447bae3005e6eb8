#pragma once
// The cheap first test of the byte-offset search: a set of two-byte keys (the first two bytes
// of each built-in format's magic). A 64 Kibit map answers for one position; where the processor
// has AVX2, 32 positions at a time are first sifted by nibble tables (a position passes when its
// two bytes' nibbles fit some group of keys), so a random volume is passed over at memory speed.

#include <array>
#include <cstddef>
#include <cstdint>

class StartKeySearch {
public:
    void add(std::uint8_t first, std::uint8_t second);

    bool holds(std::uint8_t first, std::uint8_t second) const {
        const std::uint32_t key = first | std::uint32_t{second} << 8;
        return (bits_[key >> 6] >> (key & 63)) & 1;
    }
    /// The first i in [from, to) where bytes[i], bytes[i + 1] is a key, or to. bytes[to] must be
    /// readable when to > from.
    std::size_t next(const std::uint8_t* bytes, std::size_t from, std::size_t to) const;

private:
    std::size_t nextOneByOne(const std::uint8_t* bytes, std::size_t from, std::size_t to) const;
    std::size_t nextWide(const std::uint8_t* bytes, std::size_t from, std::size_t to) const;

    std::array<std::uint64_t, 1024> bits_{};
    /// Per nibble value, the groups (one bit each, eight groups by first byte) a key of which
    /// has that nibble: low and high nibble of the first byte, then of the second.
    std::array<std::array<std::uint8_t, 16>, 4> groups_{};
    std::array<std::uint8_t, 8> groupFirstByte_{};
    std::size_t groupCount_ = 0;
};
