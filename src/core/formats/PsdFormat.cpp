#include "formats/PsdFormat.h"

#include "formats/FormatWalk.h"

namespace formats {
namespace {

constexpr std::uint64_t kHeaderBytes = 26;

bool validMode(unsigned mode) {
    return mode <= 4 || (mode >= 7 && mode <= 9);
}
bool validDepth(unsigned depth) {
    return depth == 1 || depth == 8 || depth == 16 || depth == 32;
}

}  // namespace

Validation validatePsd(CandidateReader& r) {
    const ByteView h = r.view(0, kHeaderBytes);
    if (h.size() < kHeaderBytes || !h.matches(0, "8BPS"))
        return Validation::notThisType();
    const unsigned version = h.be16(4);
    const bool big = version == 2; // PSB
    const std::uint64_t channels = h.be16(12);
    const std::uint64_t height = h.be32(14);
    const std::uint64_t width = h.be32(18);
    const unsigned depth = h.be16(22);
    const std::uint32_t maxSide = big ? 300000 : 30000;
    if ((version != 1 && !big) || h.be32(6) != 0 || h.be16(10) != 0 || channels == 0 || channels > 56 ||
        height == 0 || height > maxSide || width == 0 || width > maxSide || !validDepth(depth) ||
        !validMode(h.be16(24)))
        return Validation::notThisType();

    std::uint64_t pos = kHeaderBytes;
    // Colour mode data, image resources, layers and masks: each a length, then that many bytes.
    for (int section = 0; section < 3; ++section) {
        const bool wideLength = big && section == 2;
        const unsigned lengthBytes = wideLength ? 8 : 4;
        if (!r.has(pos, lengthBytes))
            return Validation::damaged(pos);
        const std::uint64_t length = wideLength ? r.be64(pos) : r.be32(pos);
        if (section == 1 && length >= 4 && !r.matches(pos + 4, "8BIM") && !r.matches(pos + 4, "MeSa"))
            return Validation::damaged(pos); // resource blocks each start with their signature
        if (!fitsWithin(r, pos + lengthBytes, length) || !reaches(r, pos + lengthBytes + length))
            return Validation::damaged(pos);
        pos += lengthBytes + length;
    }

    if (!r.has(pos, 2))
        return Validation::damaged(pos);
    const unsigned compression = r.be16(pos);
    const std::uint64_t dataStart = pos + 2;
    const std::uint64_t rows = channels * height;
    std::uint64_t imageBytes = 0;
    if (compression == 0) {
        imageBytes = rows * ((width * depth + 7) / 8);
    } else if (compression == 1) {
        // RLE: a table of each row's compressed length, then the rows.
        const unsigned countBytes = big ? 4 : 2;
        if (!fitsWithin(r, dataStart, rows * countBytes) || !reaches(r, dataStart + rows * countBytes))
            return Validation::damaged(pos);
        for (std::uint64_t i = 0; i < rows; ++i)
            imageBytes += big ? r.be32(dataStart + i * 4) : r.be16(dataStart + i * 2);
        imageBytes += rows * countBytes;
    } else {
        // Deflated merged data has no length of its own: the document is kept up to it.
        return Validation::damaged(pos);
    }
    if (!fitsWithin(r, dataStart, imageBytes) || !reaches(r, dataStart + imageBytes))
        return Validation::damaged(pos);
    return Validation::whole(dataStart + imageBytes);
}

}  // namespace formats
