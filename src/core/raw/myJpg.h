#pragma once
// The raw recovery engine: reads a volume in 1 MiB chunks, tests every 512-byte sector against
// the loaded start and end signatures and turns each find into a carved file (a start and a
// length in the volume), listed under its category in the "RAW RECOVERY " tree as it goes.

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/StopFlag.h"
#include "app/TreeSink.h"
#include "raw/SignatureRecord.h"

class Notifier;
class ProgressSink;
class readWriteInterface;

/// One carved file. start and length are what the page copies; the rest says how it is listed.
struct CarvedFile {
    std::uint64_t start = 0;        ///< first byte, from the volume's first byte
    std::uint64_t length = 0;       ///< bytes
    std::size_t signature = 0;      ///< the signature table entry that found it
    std::uint64_t namePosition = 0; ///< the position its name is formed from
};

enum class MatchKind : char { None = 0, Start = 'S', End = 'E' };
struct SectorMatch {
    MatchKind kind = MatchKind::None;
    std::size_t index = 0;  ///< signature index of the matching row
};

class myJpg {
public:
    static constexpr std::uint64_t kSectorSize = 512;
    static constexpr std::uint64_t kChunkSize = 0x100000;
    /// Item data of the root and category items, which stand for no carved file.
    static constexpr std::uint64_t kNoCarvedFile = UINT64_MAX;
    static constexpr const char* kRootLabel = "RAW RECOVERY ";

    myJpg() = default;
    myJpg(const myJpg&) = delete;
    myJpg& operator=(const myJpg&) = delete;

    /// Adds one table entry; its signature index is its position in the table.
    void appendSignature(const SignatureRecord& record);
    std::size_t signatureCount() const { return signatures_.size(); }
    const SignatureRecord& signature(std::size_t index) const { return signatures_.at(index); }

    /// The matcher rows (starts, then ends, in table order) and one empty pending-start stack per
    /// entry. False when the table is empty.
    bool buildMatcher();
    /// The first matching row for 512 bytes of sector: a start wins over any end, an earlier
    /// entry over a later one. Needs buildMatcher().
    SectorMatch matchSector(const std::uint8_t* sector) const;

    /// The whole scan over volumeByteCount bytes of sectorSource. True when it ran (also after a
    /// stop); false when it could not start (no signatures, no source, no tree).
    bool runCarving();

    /// The found-file list, safe to read while the scan appends to it.
    std::size_t carvedFileCount() const;
    std::optional<CarvedFile> carvedFile(std::uint64_t index) const;
    std::vector<CarvedFile> carvedFiles() const;
    /// The listed name of a carved file: "%lld ." with its name position, then the extension.
    std::string carvedFileName(const CarvedFile& file) const;
    /// Carved files per category name (read after the scan).
    const std::map<std::string, std::uint64_t>& categoryCounts() const { return categoryCounts_; }

    ProgressSink* ownerWindow = nullptr;
    Notifier* notifier = nullptr;
    TreeSink* treeControl = nullptr;
    readWriteInterface* sectorSource = nullptr;
    std::int64_t volumeByteCount = 0;
    StopFlag stopFlag;

private:
    struct MatcherRow {
        std::uint8_t length = 0;  ///< 0 for a row that can never match
        std::size_t index = 0;
        std::uint32_t offset = 0;
        std::array<std::uint8_t, signature_layout::kSignatureBytes> pattern{};
    };
    /// Where the scan goes on after an action, and whether that may lie beyond the current chunk.
    struct NextSector {
        std::uint64_t position = 0;
        bool mayLeaveChunk = false;
    };
    NextSector actOn(const SectorMatch& match, const std::uint8_t* sector, std::uint64_t p);
    std::uint64_t skipAfter(const SignatureRecord& entry, std::uint64_t p) const;
    void listCarvedFile(std::uint64_t start, std::uint64_t length, std::uint64_t namePosition, std::size_t index);
    void listUnmatchedStarts();
    std::int64_t approxOf(std::size_t index) const;

    std::vector<SignatureRecord> signatures_;
    std::vector<TreeItemId> categoryItems_;  ///< per table entry, once the scan has begun
    std::vector<MatcherRow> matcher_;
    /// The matcher's index: each row that can match is filed under its first non-wildcard byte
    /// (its key) at that byte's place in the sector, so a sector is tested only against the rows
    /// whose key it holds. Row sets are bit sets of rowWords_ words, lowest row first.
    void buildKeyIndex();
    bool rowMatches(const MatcherRow& row, const std::uint8_t* sector) const;
    std::size_t rowWords_ = 0;
    std::vector<std::uint32_t> keyPositions_;  ///< distinct sector offsets of the keys
    std::vector<std::uint64_t> keyRows_;       ///< [position][byte value][word]
    std::vector<std::uint64_t> anyRows_;       ///< [word]: rows of wildcards only, which match every sector
    bool keyIndexed_ = false;                  ///< false: the index would be too large, rows are tried in turn
    std::vector<std::vector<std::uint64_t>> pendingStarts_;  ///< per table entry, latest last
    std::map<std::string, std::uint64_t> categoryCounts_;

    mutable std::mutex foundMutex_;
    std::vector<CarvedFile> found_;
};
