#pragma once
// What a format validator reads: the bytes of one candidate file, from its first byte on. Reads
// go through a window, so a validator walks a 4 GiB video as readily as a 2 KiB thumbnail, and
// every read is bounded by what the medium holds and by the candidate's limit.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "common/ByteView.h"
#include "common/PageBuffer.h"

namespace formats {

/// Random access to a candidate's bytes; offsets count from the candidate's first byte.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    /// Copies up to n bytes at offset into out and returns how many were copied: fewer only where
    /// the readable bytes end (the end of the medium or of the volume).
    virtual std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) = 0;
    /// Up to n bytes at offset where they already lie in memory (shorter only where the readable
    /// bytes end), or an empty view when they have to be read. Saves the copy for mapped images.
    virtual ByteView direct(std::uint64_t /*offset*/, std::size_t /*n*/) { return {}; }
};

/// A candidate held in memory: tests, fuzz targets, and mapped images.
class SpanByteSource final : public ByteSource {
public:
    explicit SpanByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override;
    ByteView direct(std::uint64_t offset, std::size_t n) override;

private:
    std::span<const std::uint8_t> bytes_;
};

/// The validators' one read path: bounds-checked, windowed reads of a candidate. A field that
/// cannot be read reads as 0; has() tells the caller, so a validator asks before it trusts.
class CandidateReader {
public:
    static constexpr std::size_t kWindowBytes = 256 * 1024;

    /// limit: the most bytes the candidate may span (its volume's end, or a cap a caller sets).
    CandidateReader(ByteSource& source, std::uint64_t limit) : source_(source), limit_(limit) {}

    std::uint64_t limit() const { return limit_; }

    /// Up to n bytes at offset (n at most kWindowBytes), shorter where the readable bytes or the
    /// limit end, empty past them. Valid until the next call on this reader.
    ByteView view(std::uint64_t offset, std::size_t n);
    /// True when all n bytes at offset can be read (n at most kWindowBytes).
    bool has(std::uint64_t offset, std::size_t n) { return view(offset, n).size() == n; }

    std::uint8_t u8(std::uint64_t o) { return view(o, 1).u8(0); }
    std::uint16_t le16(std::uint64_t o) { return view(o, 2).le16(0); }
    std::uint32_t le32(std::uint64_t o) { return view(o, 4).le32(0); }
    std::uint64_t le64(std::uint64_t o) { return view(o, 8).le64(0); }
    std::uint16_t be16(std::uint64_t o) { return view(o, 2).be16(0); }
    std::uint32_t be32(std::uint64_t o) { return view(o, 4).be32(0); }
    std::uint64_t be64(std::uint64_t o) { return view(o, 8).be64(0); }
    bool matches(std::uint64_t o, std::string_view text) { return view(o, text.size()).matches(0, text); }

    /// The first position in [offset, end) holding byte b, or nothing (also when the readable
    /// bytes end first). Entropy-coded data and frame syncs are searched with it.
    std::optional<std::uint64_t> find(std::uint8_t b, std::uint64_t offset, std::uint64_t end);

private:
    ByteSource& source_;
    std::uint64_t limit_;
    PageBuffer window_;
    std::uint64_t windowStart_ = 0;
    std::size_t windowBytes_ = 0;  ///< valid bytes in window_
    /// Bytes the next window read asks for: small first, as most candidates are false starts
    /// answered from their first bytes, doubling while a walk goes on.
    std::size_t nextRead_ = 4096;
};

}  // namespace formats
