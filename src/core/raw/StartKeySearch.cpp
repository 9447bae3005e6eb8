#include "raw/StartKeySearch.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

void StartKeySearch::add(std::uint8_t first, std::uint8_t second) {
    const std::uint32_t key = first | std::uint32_t{second} << 8;
    bits_[key >> 6] |= std::uint64_t{1} << (key & 63);
    // Keys sharing a first byte share a group; past eight first bytes the groups are shared too.
    std::size_t g = 0;
    while (g < groupCount_ && groupFirstByte_[g] != first)
        ++g;
    if (g == groupCount_) {
        if (groupCount_ < groupFirstByte_.size())
            groupFirstByte_[groupCount_++] = first;
        else
            g = first % groupFirstByte_.size();
    }
    const auto bit = static_cast<std::uint8_t>(1u << g);
    groups_[0][first & 15] |= bit;
    groups_[1][first >> 4] |= bit;
    groups_[2][second & 15] |= bit;
    groups_[3][second >> 4] |= bit;
}

std::size_t StartKeySearch::nextOneByOne(const std::uint8_t* bytes, std::size_t from, std::size_t to) const {
    for (std::size_t i = from; i < to; ++i)
        if (holds(bytes[i], bytes[i + 1]))
            return i;
    return to;
}

#if defined(__x86_64__)
namespace {
/// A 16-entry table in both 128-bit lanes, as the byte shuffle looks up within each lane.
__attribute__((target("avx2"))) inline __m256i bothLanes(const std::array<std::uint8_t, 16>& t) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t.data())));
}
}  // namespace

__attribute__((target("avx2"))) std::size_t StartKeySearch::nextWide(const std::uint8_t* bytes, std::size_t from,
                                                                      std::size_t to) const {
    const __m256i firstLow = bothLanes(groups_[0]), firstHigh = bothLanes(groups_[1]);
    const __m256i secondLow = bothLanes(groups_[2]), secondHigh = bothLanes(groups_[3]);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    std::size_t i = from;
    // Each block reads bytes[i .. i + 32], so it stops where bytes[to] is the last one read.
    for (; i + 32 <= to; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 1));
        __m256i m = _mm256_and_si256(_mm256_shuffle_epi8(firstLow, _mm256_and_si256(a, nibble)),
                                     _mm256_shuffle_epi8(firstHigh, _mm256_and_si256(_mm256_srli_epi16(a, 4), nibble)));
        m = _mm256_and_si256(m, _mm256_shuffle_epi8(secondLow, _mm256_and_si256(b, nibble)));
        m = _mm256_and_si256(m, _mm256_shuffle_epi8(secondHigh, _mm256_and_si256(_mm256_srli_epi16(b, 4), nibble)));
        auto passed = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(m, zero)));
        while (passed != 0) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctz(passed));
            if (holds(bytes[at], bytes[at + 1]))
                return at;
            passed &= passed - 1;
        }
    }
    return nextOneByOne(bytes, i, to);
}
#else
std::size_t StartKeySearch::nextWide(const std::uint8_t* bytes, std::size_t from, std::size_t to) const {
    return nextOneByOne(bytes, from, to);
}
#endif

std::size_t StartKeySearch::next(const std::uint8_t* bytes, std::size_t from, std::size_t to) const {
#if defined(__x86_64__)
    static const bool wide = __builtin_cpu_supports("avx2");
    if (wide)
        return nextWide(bytes, from, to);
#endif
    return nextOneByOne(bytes, from, to);
}
