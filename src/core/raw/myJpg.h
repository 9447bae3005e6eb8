#pragma once
// The raw recovery engine: reads a volume in 1 MiB chunks and turns each find into a carved file
// (a start and a length in the volume), listed under its category in the "RAW RECOVERY " tree as
// it goes. Two searches share each chunk: the built-in formats are looked for at every byte
// offset and walked to their exact end (the search goes on right after it); the signature rows
// of the user's own files, and of default-set types without a built-in format, are tested at
// every 512-byte sector by their start and end signatures, sizes and skips.

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/StopFlag.h"
#include "app/TreeSink.h"
#include "raw/CarvedFile.h"
#include "raw/SignatureRecord.h"
#include "raw/StartKeySearch.h"

class Notifier;
class ProgressSink;
class readWriteInterface;
class PageBuffer;
class VolumeByteSource;
namespace formats {
class ByteSource;
struct Validation;
}

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

    /// Adds one table entry; its signature index is its position in the table. Default-set
    /// entries switch the built-in formats on; those of a type with a format are carved by it alone.
    void appendSignature(const SignatureRecord& record, bool fromDefaultSet = false);
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
    /// The listed name of a carved file: its metadata title (cleaned) or "%lld ." with its name
    /// position, then the extension.
    std::string carvedFileName(const CarvedFile& file) const;
    /// The category it is listed under, and its type (its extension: "jpg", "nef", "mpo").
    std::string carvedFileCategory(const CarvedFile& file) const;
    std::string carvedFileType(const CarvedFile& file) const;
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
    NextSector actOnSizeField(const SignatureRecord& entry, std::size_t index, const std::uint8_t* sector, std::uint64_t p);
    std::uint64_t skipAfter(const SignatureRecord& entry, std::uint64_t p) const;
    void listCarvedFile(std::uint64_t start, std::uint64_t length, std::uint64_t namePosition, std::size_t index,
                        CarvedStatus status = CarvedStatus::Approximate);
    void listCarvedFile(const CarvedFile& file, TreeItemId categoryItem, const std::string& category);
    /// Gives a file found by a built-in format its metadata title; a title another file already
    /// has gets the file's offset appended.
    void nameFromMetadata(CarvedFile& file, VolumeByteSource& candidates);
    TreeItemId categoryItem(const std::string& category, TreeItemId root);

    /// Which built-in formats the loaded default set switches on, and which of its entries they serve.
    void chooseFormats();
    /// The byte-offset search over one chunk: positions [from, to) of bytes (chunkStart's bytes,
    /// readable up to to + 1), validators reading through candidates.
    void searchFormats(const std::uint8_t* bytes, std::uint64_t chunkStart, std::size_t to, VolumeByteSource& candidates,
                       std::uint64_t volumeBytes);
    /// True when p lies inside a file a format has already carved whole: a signature start there
    /// is a piece of that file. Asked for rising p only.
    bool insideExactFile(std::uint64_t p);
    /// What one pass over the volume carries from chunk to chunk.
    struct ChunkPass {
        PageBuffer& chunk;
        VolumeByteSource& candidates;
        std::uint64_t volumeBytes;
        std::uint64_t next = 0;  ///< volume position of the next sector to test
        bool stopped = false;
    };
    /// Reads the chunk at chunkStart and tests the starts in it before limit. False when the
    /// medium ended there.
    bool scanChunk(std::uint64_t chunkStart, std::uint64_t limit, ChunkPass& pass);
    /// Keeps the parts of [chunkStart, + bytes) that the source skipped and served as zeros.
    void noteSkippedIn(std::uint64_t chunkStart, std::uint64_t bytes);
    /// After the scan, when the source served zeros since zerosBefore: what it skipped is read
    /// again, damaged format finds are walked again, and the zeroed parts the scan saw are searched
    /// once more where bytes came back.
    void carveRecoveredRanges(ChunkPass& pass, std::int64_t zerosBefore);
    /// True when [from, to) of the volume meets a range the source skipped.
    bool walkedOverSkipped(std::uint64_t from, std::uint64_t to) const;
    /// Lists what a format's walk found at start, named by its metadata.
    CarvedFile listFormatFind(std::uint64_t start, std::int32_t row, const formats::Validation& v,
                              VolumeByteSource& candidates);
    void redoWalks(ChunkPass& pass);
    void listUnmatchedStarts();
    std::int64_t approxOf(std::size_t index) const;

    std::vector<SignatureRecord> signatures_;
    std::vector<bool> fromDefaultSet_;  ///< per table entry
    std::vector<bool> served_;          ///< per table entry: carved by a built-in format instead
    bool sectorRowsActive_ = false;     ///< some entry is carved by the sector rules
    std::vector<std::int32_t> formats_; ///< the built-in format rows switched on
    TreeItemId rootItem_ = kTreeNoItem;
    std::map<std::string, TreeItemId> categoryItemByName_;
    StartKeySearch startKeys_;
    struct FormatKey {
        std::uint32_t key;    ///< two bytes of the row's magic, the first in the low byte
        std::int32_t row;
        std::uint16_t offset; ///< where those two bytes stand from the file's first byte
    };
    std::vector<FormatKey> formatsByKey_;  ///< sorted by key, table order within a key
    std::uint64_t resume_ = 0;  ///< the byte-offset search's next possible start
    std::deque<std::pair<std::uint64_t, std::uint64_t>> exactFiles_;  ///< [start, end) of recent whole finds
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
    std::set<std::string> titlesGiven_;
    bool rescanning_ = false;               ///< in carveRecoveredRanges()
    std::set<std::uint64_t> foundStarts_;   ///< while rescanning: starts of the files found before
    std::vector<std::pair<std::uint64_t, std::uint64_t>> zeroedForScan_;  ///< volume [from, to) the scan got as skipped zeros
    std::vector<std::pair<std::uint64_t, std::int32_t>> walksToRedo_;  ///< start and format row of walks over skipped zeros  ///< title and type of each file named by its metadata

    mutable std::mutex foundMutex_;
    std::vector<CarvedFile> found_;
};
