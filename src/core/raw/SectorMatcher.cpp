#include "raw/SectorMatcher.h"

#include <algorithm>
#include <utility>

namespace {
constexpr std::uint8_t kWildcard = 0x2A;  // '*' in a pattern matches any byte
}  // namespace

void SectorMatcher::build(const std::vector<SignatureRecord>& signatures, const std::vector<bool>& served) {
    const std::size_t n = signatures.size();
    rows_.assign(2 * n, Row{});
    const auto fill = [](Row& row, std::size_t index, std::uint32_t offset, std::uint8_t length,
                         const std::array<std::uint8_t, signature_layout::kSignatureBytes>& bytes) {
        row.index = index;
        row.offset = offset;
        row.pattern = bytes;
        // Rows whose pattern would be read outside its 10-byte field or the 512-byte sector never
        // match; the loader refuses such records, this keeps the engine safe on its own.
        const bool fits = length <= bytes.size() && offset + length <= kSectorSize;
        row.length = fits ? length : 0;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const SignatureRecord& e = signatures[i];
        fill(rows_[i], i, e.startOffset, e.startLength, e.startSignature);
        fill(rows_[n + i], i, 0, e.endLength, e.endSignature);
        if (i < served.size() && served[i])
            rows_[i].length = rows_[n + i].length = 0;  // carved by its format instead
    }
    buildKeyIndex();
}

void SectorMatcher::buildKeyIndex() {
    const std::size_t rows = rows_.size();
    rowWords_ = (rows + 63) / 64;
    keyPositions_.clear();
    anyRows_.assign(rowWords_, 0);
    std::vector<std::pair<std::uint32_t, std::uint8_t>> keys(rows, {UINT32_MAX, 0});
    for (std::size_t r = 0; r < rows; ++r) {
        const Row& row = rows_[r];
        if (row.length < 2)
            continue;  // never matches
        std::uint8_t k = 0;
        while (k < row.length && row.pattern[k] == kWildcard)
            ++k;
        if (k == row.length) {
            anyRows_[r / 64] |= std::uint64_t{1} << (r % 64);
            continue;
        }
        keys[r] = {row.offset + k, row.pattern[k]};
        if (std::find(keyPositions_.begin(), keyPositions_.end(), row.offset + k) == keyPositions_.end())
            keyPositions_.push_back(row.offset + k);
    }
    // Many user signatures at many places would make the index large: then rows are tried in turn.
    constexpr std::size_t kMaxIndexWords = 512 * 1024;
    keyIndexed_ = keyPositions_.size() * 256 * rowWords_ <= kMaxIndexWords;
    if (!keyIndexed_) {
        keyRows_.clear();
        return;
    }
    keyRows_.assign(keyPositions_.size() * 256 * rowWords_, 0);
    for (std::size_t r = 0; r < rows; ++r) {
        if (keys[r].first == UINT32_MAX)
            continue;
        const std::size_t place = static_cast<std::size_t>(
            std::find(keyPositions_.begin(), keyPositions_.end(), keys[r].first) - keyPositions_.begin());
        keyRows_[(place * 256 + keys[r].second) * rowWords_ + r / 64] |= std::uint64_t{1} << (r % 64);
    }
}

bool SectorMatcher::rowMatches(const Row& row, const std::uint8_t* sector) const {
    const std::uint8_t* bytes = sector + row.offset;
    for (std::uint8_t k = 0; k < row.length; ++k) {
        if (row.pattern[k] != bytes[k] && row.pattern[k] != kWildcard)
            return false;
    }
    return true;
}

SectorMatch SectorMatcher::match(const std::uint8_t* sector) const {
    const std::size_t n = rows_.size() / 2;
    if (!keyIndexed_) {
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            const Row& row = rows_[r];
            if (row.length >= 2 && rowMatches(row, sector))
                return {r < n ? MatchKind::Start : MatchKind::End, row.index};
        }
        return {};
    }
    // Candidates word by word, lowest row first: the first row that matches wins, as in table order.
    for (std::size_t w = 0; w < rowWords_; ++w) {
        std::uint64_t candidates = anyRows_[w];
        for (std::size_t place = 0; place < keyPositions_.size(); ++place)
            candidates |= keyRows_[(place * 256 + sector[keyPositions_[place]]) * rowWords_ + w];
        while (candidates != 0) {
            const std::size_t r = w * 64 + static_cast<std::size_t>(__builtin_ctzll(candidates));
            candidates &= candidates - 1;
            if (rowMatches(rows_[r], sector))
                return {r < n ? MatchKind::Start : MatchKind::End, rows_[r].index};
        }
    }
    return {};
}

void SectorMatcher::clear() {
    rows_.clear();
    rows_.shrink_to_fit();
    keyIndexed_ = false;
    rowWords_ = 0;
    keyRows_.clear();
    keyRows_.shrink_to_fit();
}
