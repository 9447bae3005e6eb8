#include "formats/FlacFrameEnd.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "formats/CandidateReader.h"

namespace formats {
namespace {

/// Bits read forward from a byte position, through a copied piece of the candidate; a read past
/// the readable bytes sets failed().
class BitReader {
public:
    BitReader(CandidateReader& r, std::uint64_t byte, std::uint64_t end) : r_(r), bit_(byte * 8), end_(end) {}

    bool failed() const { return failed_; }
    /// The byte position after the last bit read, rounded up to a whole byte.
    std::uint64_t byteEnd() const { return (bit_ + 7) / 8; }

    std::uint32_t bits(unsigned n) {
        std::uint32_t v = 0;
        for (unsigned i = 0; i < n; ++i)
            v = (v << 1) | bit();
        return v;
    }
    void skip(std::uint64_t n) {
        bit_ += n;
        if (bit_ > end_ * 8)
            failed_ = true;
    }
    /// Zero bits up to the next one bit (which is read too); at most limit of them.
    std::uint32_t unary(std::uint32_t limit) {
        std::uint32_t zeros = 0;
        while (!failed_ && bit() == 0)
            if (++zeros > limit)
                failed_ = true;
        return zeros;
    }

private:
    unsigned bit() {
        const std::uint64_t byte = bit_ / 8;
        if (byte < pieceStart_ || byte >= pieceStart_ + pieceBytes_) {
            if (byte >= end_) {
                failed_ = true;
                return 0;
            }
            const ByteView v = r_.view(byte, std::min<std::uint64_t>(piece_.size(), end_ - byte));
            if (v.empty()) {
                failed_ = true;
                return 0;
            }
            std::memcpy(piece_.data(), v.data(), v.size());
            pieceStart_ = byte;
            pieceBytes_ = v.size();
        }
        const unsigned b = (piece_[byte - pieceStart_] >> (7 - bit_ % 8)) & 1u;
        ++bit_;
        return b;
    }

    CandidateReader& r_;
    std::uint64_t bit_;
    std::uint64_t end_;
    bool failed_ = false;
    std::array<std::uint8_t, 4096> piece_{};
    std::uint64_t pieceStart_ = 0;
    std::size_t pieceBytes_ = 0;
};

/// The Rice-coded residual of a predicted subframe.
bool skipResidual(BitReader& b, std::uint32_t blockSize, unsigned order) {
    const unsigned method = b.bits(2);
    if (method > 1)
        return false;
    const unsigned parameterBits = method == 0 ? 4 : 5;
    const std::uint32_t escape = method == 0 ? 15 : 31;
    const unsigned partitionOrder = b.bits(4);
    const std::uint32_t perPartition = blockSize >> partitionOrder;
    if ((perPartition << partitionOrder) != blockSize || perPartition < order)
        return false;
    for (std::uint32_t p = 0; p < (1u << partitionOrder) && !b.failed(); ++p) {
        const std::uint32_t samples = perPartition - (p == 0 ? order : 0);
        const std::uint32_t parameter = b.bits(parameterBits);
        if (parameter == escape) {
            b.skip(std::uint64_t{b.bits(5)} * samples);
            continue;
        }
        // A quotient longer than a sample's whole range belongs to no real stream.
        for (std::uint32_t s = 0; s < samples && !b.failed(); ++s) {
            b.unary(1u << 20);
            b.skip(parameter);
        }
    }
    return !b.failed();
}

bool skipSubframe(BitReader& b, std::uint32_t blockSize, unsigned sampleBits) {
    if (b.bits(1) != 0)
        return false;
    const unsigned type = b.bits(6);
    if (b.bits(1) != 0) {
        const std::uint32_t wasted = b.unary(sampleBits) + 1;
        if (wasted >= sampleBits)
            return false;
        sampleBits -= wasted;
    }
    if (type == 0) {  // constant
        b.skip(sampleBits);
        return !b.failed();
    }
    if (type == 1) {  // verbatim
        b.skip(std::uint64_t{sampleBits} * blockSize);
        return !b.failed();
    }
    if (type >= 8 && type <= 12) {  // fixed predictor of order 0-4
        const unsigned order = type - 8;
        b.skip(std::uint64_t{sampleBits} * order);
        return skipResidual(b, blockSize, order);
    }
    if (type >= 32) {  // linear predictor of order 1-32
        const unsigned order = (type & 31) + 1;
        b.skip(std::uint64_t{sampleBits} * order);
        const unsigned precision = b.bits(4);
        if (precision == 15)
            return false;
        b.skip(5 + std::uint64_t{precision + 1} * order);
        return skipResidual(b, blockSize, order);
    }
    return false;
}

}  // namespace

std::optional<std::uint64_t> flacFrameEnd(CandidateReader& r, const FlacFrameLayout& frame) {
    if (frame.sampleBits == 0 || frame.sampleBits > 32 || frame.channelCode > 10 || frame.blockSize == 0)
        return std::nullopt;
    // A frame is never longer than its samples stored verbatim, plus headers.
    const unsigned channels = frame.channelCode < 8 ? frame.channelCode + 1 : 2;
    const std::uint64_t most = frame.subframes + channels * (8 + std::uint64_t{frame.blockSize} * 33 / 8 + 8) + 2;
    BitReader b(r, frame.subframes, std::min(r.limit(), most));
    for (unsigned c = 0; c < channels; ++c) {
        // The side channel of a stereo pair carries one bit more.
        const bool side = (frame.channelCode == 8 && c == 1) || (frame.channelCode == 9 && c == 0) ||
                          (frame.channelCode == 10 && c == 1);
        if (!skipSubframe(b, frame.blockSize, frame.sampleBits + (side ? 1 : 0)))
            return std::nullopt;
    }
    const std::uint64_t crcAt = b.byteEnd();
    if (!r.has(crcAt, 2))
        return std::nullopt;
    const std::uint16_t stored = r.be16(crcAt);
    std::uint16_t crc = 0;
    for (std::uint64_t at = frame.start; at < crcAt;) {
        const ByteView piece = r.view(at, static_cast<std::size_t>(std::min<std::uint64_t>(CandidateReader::kWindowBytes, crcAt - at)));
        if (piece.empty())
            return std::nullopt;
        for (std::size_t i = 0; i < piece.size(); ++i)
            crc = flacCrc16(crc, piece.u8(i));
        at += piece.size();
    }
    if (crc != stored)
        return std::nullopt;
    return crcAt + 2;
}

}  // namespace formats
