#include "formats/PngFormat.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "formats/CandidateReader.h"
#include "formats/FormatWalk.h"

namespace formats {
namespace {
constexpr std::uint64_t kSignatureBytes = 8;
constexpr std::uint64_t kMaxChunkData = 0x7FFFFFFF;
/// How far past a chunk with a damaged length its file's IEND is looked for.
constexpr std::uint64_t kResyncBytes = 16 * 1024 * 1024;

/// CRC-32 tables for eight bytes a step: table k gives the CRC of a byte followed by k zero bytes.
constexpr std::array<std::array<std::uint32_t, 256>, 8> makeCrcTables() {
    std::array<std::array<std::uint32_t, 256>, 8> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::uint32_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}
constexpr auto kCrc = makeCrcTables();

std::uint32_t crcUpdate(std::uint32_t crc, const std::uint8_t* p, std::size_t n) {
    for (; n >= 8; p += 8, n -= 8) {
        const std::uint32_t low = crc ^ (p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
        crc = kCrc[7][low & 0xFF] ^ kCrc[6][(low >> 8) & 0xFF] ^ kCrc[5][(low >> 16) & 0xFF] ^ kCrc[4][low >> 24] ^
              kCrc[3][p[4]] ^ kCrc[2][p[5]] ^ kCrc[1][p[6]] ^ kCrc[0][p[7]];
    }
    for (; n > 0; ++p, --n)
        crc = kCrc[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return crc;
}

bool isLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

/// The CRC of a chunk's type and data (length bytes from pos), compared with the one after them.
bool crcMatches(CandidateReader& r, std::uint64_t pos, std::uint64_t length) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint64_t done = 0; done < length;) {
        const ByteView piece = r.view(pos + done, static_cast<std::size_t>(std::min<std::uint64_t>(length - done, 65536)));
        if (piece.empty())
            return false;
        crc = crcUpdate(crc, piece.data(), piece.size());
        done += piece.size();
    }
    return (crc ^ 0xFFFFFFFFu) == r.be32(pos + length);
}
/// Where the IEND chunk after from begins, when one does within kResyncBytes and before any
/// other PNG's signature.
std::optional<std::uint64_t> iendAfter(CandidateReader& r, std::uint64_t from) {
    static constexpr std::string_view kIend("\0\0\0\0IEND\xAE\x42\x60\x82", 12);
    static constexpr std::string_view kSignature("\x89PNG\r\n\x1A\n", 8);
    const std::uint64_t to = std::min(r.limit(), from + kResyncBytes);
    std::optional<std::uint64_t> iend;
    for (std::uint64_t at = from + 4; at < to && !iend;) {
        const auto hit = r.find('I', at, to);
        if (!hit)
            return std::nullopt;
        if (r.matches(*hit - 4, kIend))
            iend = *hit - 4;
        at = *hit + 1;
    }
    for (std::uint64_t at = from; iend && at < *iend;) {
        const auto hit = r.find(0x89, at, *iend);
        if (!hit)
            break;
        if (r.matches(*hit, kSignature))
            return std::nullopt;
        at = *hit + 1;
    }
    return iend;
}
}  // namespace

Validation validatePng(CandidateReader& r) {
    const ByteView head = r.view(0, 16);
    if (head.size() < 16 || !head.matches(0, "\x89PNG\r\n\x1A\n") || head.be32(8) != 13 || !head.matches(12, "IHDR"))
        return Validation::notThisType();
    std::uint64_t pos = kSignatureBytes;
    std::uint64_t sound = 0;  // where the last chunk whose CRC holds ends
    bool crcFailed = false, resynced = false;
    for (std::uint64_t step = 0; step < kMaxWalkSteps; ++step) {
        const ByteView chunk = r.view(pos, 8);
        if (chunk.size() < 8)
            break;
        const std::uint64_t length = chunk.be32(0);
        const bool named = isLetter(chunk.u8(4)) && isLetter(chunk.u8(5)) && isLetter(chunk.u8(6)) && isLetter(chunk.u8(7));
        const bool iend = chunk.matches(4, "IEND");
        if (length <= kMaxChunkData && named && reaches(r, pos + 12 + length)) {
            // A chunk whose CRC fails but whose length and name hold: its bytes were changed, the
            // chain goes on; the file is damaged, not another one.
            if (crcMatches(r, pos + 4, 4 + length))
                sound = pos + 12 + length;
            else if (pos == kSignatureBytes)
                break;
            else
                crcFailed = true;
            pos += 12 + length;
            if (iend)
                return crcFailed || resynced ? Validation::damaged(pos) : Validation::whole(pos);
            continue;
        }
        // A chunk whose length was damaged: the file goes on to its own IEND when that follows
        // before any other PNG begins.
        if (!named || resynced || pos == kSignatureBytes)
            break;
        const auto end = iendAfter(r, pos + 8);
        if (!end)
            break;
        resynced = true;
        pos = *end;
    }
    // The IHDR chunk itself failed: random bytes behind a planted signature.
    if (sound == 0)
        return Validation::notThisType();
    return Validation::damaged(crcFailed ? pos : sound);
}

}  // namespace formats
