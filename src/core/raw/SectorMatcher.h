#pragma once
// The signature rows' test of one 512-byte sector: every entry's start signature, then every
// entry's end signature, in table order, with '*' matching any byte. Rows are filed under their
// first fixed byte at its place in the sector, so a sector is tested only against the rows whose
// key it holds.

#include <array>
#include <cstdint>
#include <vector>

#include "raw/SignatureRecord.h"

enum class MatchKind : char { None = 0, Start = 'S', End = 'E' };
struct SectorMatch {
    MatchKind kind = MatchKind::None;
    std::size_t index = 0;  ///< signature index of the matching row
};

class SectorMatcher {
public:
    static constexpr std::uint64_t kSectorSize = 512;

    /// The rows of signatures; an entry marked in served (carved by a built-in format) never
    /// matches.
    void build(const std::vector<SignatureRecord>& signatures, const std::vector<bool>& served);
    /// The first matching row for 512 bytes of sector: a start wins over any end, an earlier
    /// entry over a later one.
    SectorMatch match(const std::uint8_t* sector) const;
    /// Lets the rows and their index go.
    void clear();

private:
    struct Row {
        std::uint8_t length = 0;  ///< 0 for a row that can never match
        std::size_t index = 0;
        std::uint32_t offset = 0;
        std::array<std::uint8_t, signature_layout::kSignatureBytes> pattern{};
    };
    void buildKeyIndex();
    bool rowMatches(const Row& row, const std::uint8_t* sector) const;

    std::vector<Row> rows_;                    ///< starts, then ends
    /// Row sets are bit sets of rowWords_ words, lowest row first.
    std::size_t rowWords_ = 0;
    std::vector<std::uint32_t> keyPositions_;  ///< distinct sector offsets of the keys
    std::vector<std::uint64_t> keyRows_;       ///< [position][byte value][word]
    std::vector<std::uint64_t> anyRows_;       ///< [word]: rows of wildcards only, which match every sector
    bool keyIndexed_ = false;                  ///< false: the index would be too large, rows are tried in turn
};
