#include "formats/CandidateReader.h"

#include <algorithm>
#include <cstring>

namespace formats {

std::size_t SpanByteSource::read(std::uint64_t offset, std::uint8_t* out, std::size_t n) {
    if (offset >= bytes_.size())
        return 0;
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(n, bytes_.size() - offset));
    std::memcpy(out, bytes_.data() + offset, count);
    return count;
}

ByteView SpanByteSource::direct(std::uint64_t offset, std::size_t n) {
    if (offset >= bytes_.size())
        return {};
    return ByteView(bytes_.data() + offset, static_cast<std::size_t>(std::min<std::uint64_t>(n, bytes_.size() - offset)));
}

ByteView CandidateReader::view(std::uint64_t offset, std::size_t n) {
    if (offset >= limit_ || n == 0)
        return {};
    n = static_cast<std::size_t>(std::min<std::uint64_t>({n, kWindowBytes, limit_ - offset}));
    const bool inside = offset >= windowStart_ && offset - windowStart_ + n <= windowBytes_;
    if (!inside) {
        const ByteView inPlace = source_.direct(offset, n);
        if (!inPlace.empty())
            return inPlace;
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(std::max(n, nextRead_), limit_ - offset));
        window_.reserve(want);
        nextRead_ = std::min(kWindowBytes, 2 * nextRead_);
        windowStart_ = offset;
        windowBytes_ = source_.read(offset, window_.data(), want);
    }
    const std::uint64_t at = offset - windowStart_;
    if (at >= windowBytes_)
        return {};
    return ByteView(window_.data() + at, std::min<std::uint64_t>(n, windowBytes_ - at));
}

std::optional<std::uint64_t> CandidateReader::find(std::uint8_t b, std::uint64_t offset, std::uint64_t end) {
    end = std::min(end, limit_);
    while (offset < end) {
        // What the window already holds from offset is searched first: asking for a full window
        // at each hit would read it again for every few bytes of progress.
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kWindowBytes, end - offset));
        const bool held = offset >= windowStart_ && offset < windowStart_ + windowBytes_;
        ByteView piece = held ? ByteView(window_.data() + (offset - windowStart_),
                                         std::min<std::uint64_t>(want, windowStart_ + windowBytes_ - offset))
                              : view(offset, want);
        if (piece.empty())
            return std::nullopt;
        const void* hit = std::memchr(piece.data(), b, piece.size());
        if (hit != nullptr)
            return offset + static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(hit) - piece.data());
        offset += piece.size();
    }
    return std::nullopt;
}

}  // namespace formats
