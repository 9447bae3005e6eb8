#include "formats/TiffIfd.h"

#include <array>

namespace formats {

std::uint64_t tiffTypeBytes(std::uint16_t type) {
    constexpr std::array<std::uint8_t, 19> kBytes = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 0, 0, 8, 8, 8};
    return type < kBytes.size() ? kBytes[type] : 0;
}

TiffEntry TiffBytes::entry(std::uint64_t ifd, std::uint32_t i) {
    const std::uint64_t at = ifd + 2 + 12 * std::uint64_t{i};
    TiffEntry e;
    e.tag = u16(at);
    e.type = u16(at + 2);
    e.count = u32(at + 4);
    e.size = tiffTypeBytes(e.type) * e.count;
    e.valueAt = e.size > 4 ? u32(at + 8) : at + 8;
    return e;
}

}  // namespace formats
