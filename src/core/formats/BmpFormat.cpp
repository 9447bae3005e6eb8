#include "formats/BmpFormat.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "formats/CandidateReader.h"
#include "formats/FormatWalk.h"

namespace formats {
namespace {
constexpr std::uint64_t kFileHeader = 14;
constexpr std::uint64_t kSlack = 4096;
constexpr std::uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;

bool knownInfoSize(std::uint32_t n) { return n == 12 || n == 40 || n == 52 || n == 56 || n == 64 || n == 108 || n == 124; }
bool knownDepth(std::uint16_t b) { return b == 1 || b == 2 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32; }
/// The first of rows (each rowBytes long from pixels) whose padding after its used bytes is not
/// zero, when the first row's is: nothing when all are, or when the writer does not zero them.
std::optional<std::uint64_t> firstUnpaddedRow(CandidateReader& r, std::uint64_t pixels, std::uint64_t rowBytes,
                                              std::uint64_t used, std::uint64_t rows) {
    if (used >= rowBytes)
        return std::nullopt;
    const auto zeroPadding = [&](std::uint64_t row) {
        const ByteView pad = r.view(pixels + row * rowBytes + used, static_cast<std::size_t>(rowBytes - used));
        for (std::size_t i = 0; i < pad.size(); ++i)
            if (pad.u8(i) != 0)
                return false;
        return true;
    };
    if (rows == 0 || !zeroPadding(0))
        return std::nullopt;
    for (std::uint64_t row = 1; row < rows; ++row)
        if (!zeroPadding(row))
            return row;
    return std::nullopt;
}
}  // namespace

Validation validateBmp(CandidateReader& r) {
    const ByteView h = r.view(0, 54);
    if (h.size() < 26 || !h.matches(0, "BM") || h.le32(6) != 0)
        return Validation::notThisType();
    const std::uint64_t fileSize = h.le32(2);
    const std::uint64_t pixels = h.le32(10);
    const std::uint32_t info = h.le32(14);
    if (!knownInfoSize(info) || pixels < kFileHeader + info || (info > 12 && h.size() < 54))
        return Validation::notThisType();
    std::uint64_t width = 0, height = 0;
    std::uint16_t planes = 0, depth = 0;
    std::uint32_t compression = kRgb;
    if (info == 12) {
        width = h.le16(18);
        height = h.le16(20);
        planes = h.le16(22);
        depth = h.le16(24);
    } else {
        const auto w = static_cast<std::int32_t>(h.le32(18));
        const auto hh = static_cast<std::int32_t>(h.le32(22));
        width = w > 0 ? static_cast<std::uint64_t>(w) : 0;
        height = static_cast<std::uint64_t>(std::llabs(hh));  // negative: rows run top-down
        planes = h.le16(26);
        depth = h.le16(28);
        compression = h.le32(30);
    }
    if (width == 0 || height == 0 || planes != 1 || compression > 13 || (compression == kRgb && !knownDepth(depth)))
        return Validation::notThisType();
    // Uncompressed rows are padded to four bytes; their total is the least the file must hold.
    std::uint64_t end = fileSize;
    bool sizeSound = true;
    if (compression == kRgb || compression == kBitFields || compression == kAlphaBitFields) {
        const std::uint64_t needed = pixels + (width * depth + 31) / 32 * 4 * height;
        // What may follow the pixels: a colour profile (V5 header), a writer's few bytes of padding.
        const std::uint64_t profile = info >= 124 && r.has(112, 8) ? std::uint64_t{r.le32(112)} + r.le32(116) : 0;
        const std::uint64_t largest = std::max(needed, kFileHeader + profile) + kSlack;
        if (fileSize > largest) {
            // A size field larger than the picture can fill was damaged: the pixels end the file.
            end = needed;
            sizeSound = false;
        } else if (fileSize < needed) {
            // Writers that leave the size field short or zero: the pixel data says how long the file is.
            if (fileSize != 0 && fileSize < pixels)
                return Validation::notThisType();
            end = needed;
        }
    } else if (fileSize <= pixels) {
        return Validation::notThisType();  // compressed data, and a size that leaves no room for it
    }
    std::uint64_t readable = readablePrefix(r, end);
    if (compression == kRgb) {
        // Writers fill the bytes that pad each row to four with zeros: where they stop being
        // zeros, other bytes stand in place of the picture's rows (a file cut short).
        const std::uint64_t rowBytes = (width * depth + 31) / 32 * 4, used = (width * depth + 7) / 8;
        if (const auto cut = firstUnpaddedRow(r, pixels, rowBytes, used, std::min(height, (readable - std::min(readable, pixels)) / rowBytes))) {
            readable = pixels + *cut * rowBytes;
            sizeSound = false;
        }
    }
    return readable == end && sizeSound ? Validation::whole(end) : Validation::damaged(readable);
}

}  // namespace formats
