#include "formats/JpegContinuation.h"

namespace formats {
namespace {
/// Coded data never repeats one byte this often: a Huffman code of all zero or all one bits
/// that long means nothing an encoder writes.
constexpr std::size_t kLongestRun = 128;

/// A segment between the scans of a progressive photo: Huffman tables (up to four), a scan header
/// (one to four components), quantisation tables (up to four, 8 or 16 bits), the restart interval.
bool betweenScans(std::uint8_t m, std::uint16_t length) {
    switch (m) {
    case 0xC4:
        return length >= 2 + 17 && length <= 2 + 4 * (17 + 256);
    case 0xDA:
        return length >= 8 && length <= 14 && length % 2 == 0;
    case 0xDB:
        return length >= 2 + 65 && length <= 2 + 4 * 129;
    case 0xDD:
        return length == 4;
    default:
        return false;
    }
}
}  // namespace

EntropyLook lookAsEntropyData(ByteView bytes) {
    std::size_t run = 0;
    std::uint32_t escapes = 0;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::uint8_t b = bytes.u8(i);
        run = i > 0 && bytes.u8(i - 1) == b ? run + 1 : 1;
        if (run >= kLongestRun)
            return {};
        if (b != 0xFF || i + 1 >= bytes.size()) {
            ++i;
            continue;
        }
        const std::uint8_t m = bytes.u8(i + 1);
        if (m == 0xD9)
            return {true, true, escapes};
        if (m == 0x00 || (m >= 0xD0 && m <= 0xD7)) {
            ++escapes;
            i += 2;
        } else if (m == 0xFF) {
            ++i;
        } else if (bytes.has(i + 2, 2) && betweenScans(m, bytes.be16(i + 2))) {
            i += 2 + bytes.be16(i + 2);
            run = 0;
        } else {
            return {};
        }
    }
    return {true, false, escapes};
}

bool isProgressiveJpeg(ByteSource& source) {
    CandidateReader r(source, UINT64_MAX);
    // Marker segments by their lengths from SOI, up to the first scan.
    for (std::uint64_t pos = 2, step = 0; step < 512 && r.has(pos, 4) && r.u8(pos) == 0xFF; ++step) {
        const std::uint8_t m = r.u8(pos + 1);
        if (m == 0xC2 || m == 0xC6 || m == 0xCA || m == 0xCE)
            return true;
        if (m == 0xDA || (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC))
            return false;
        pos += 2 + r.be16(pos + 2);
    }
    return false;
}

}  // namespace formats
