#pragma once
// The raw recovery engine: reads a volume in 1 MiB chunks and turns each find into a carved file,
// listed under its category in the "RAW RECOVERY " tree as it goes. Two searches share each
// chunk: the built-in formats are looked for at every byte offset and walked to their exact end
// (FormatSearch; the search goes on right after it); the signature rows of the user's own files,
// and of default-set types without a built-in format, are tested at every 512-byte sector
// (SectorMatcher) and acted on here by their start and end signatures, sizes and skips. Finds go
// to the found-file store (FoundFileStore), named and listed by CarvedFileListing. After the scan,
// what the source skipped of a failing region is read again and searched once more.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/StopFlag.h"
#include "app/TreeSink.h"
#include "common/VolumeSpans.h"
#include "raw/CarvedFile.h"
#include "raw/CarvedFileListing.h"
#include "raw/FormatSearch.h"
#include "raw/FoundFileStore.h"
#include "raw/SectorMatcher.h"
#include "raw/SignatureRecord.h"

class Notifier;
class ProgressSink;
class readWriteInterface;
class PageBuffer;
class VolumeByteSource;
namespace formats {
class ByteSource;
struct Validation;
}

class myJpg : private FormatSearch::Finds {
public:
    static constexpr std::uint64_t kSectorSize = SectorMatcher::kSectorSize;
    static constexpr std::uint64_t kChunkSize = 0x100000;
    /// Item data of the root and category items, which stand for no carved file.
    static constexpr std::uint64_t kNoCarvedFile = CarvedFileListing::kNoCarvedFile;
    static constexpr const char* kRootLabel = CarvedFileListing::kRootLabel;

    myJpg() = default;
    myJpg(const myJpg&) = delete;
    myJpg& operator=(const myJpg&) = delete;

    /// Adds one table entry; its signature index is its position in the table. Default-set
    /// entries switch the built-in formats on; those of a type with a format are carved by it alone.
    void appendSignature(const SignatureRecord& record, bool fromDefaultSet = false);
    std::size_t signatureCount() const { return signatures_.size(); }
    const SignatureRecord& signature(std::size_t index) const { return signatures_.at(index); }

    /// Chooses the formats, builds the matcher rows (starts, then ends, in table order) and one
    /// empty pending-start stack per entry. False when the table is empty.
    bool buildMatcher();
    /// The first matching row for 512 bytes of sector: a start wins over any end, an earlier
    /// entry over a later one. Needs buildMatcher().
    SectorMatch matchSector(const std::uint8_t* sector) const { return matcher_.match(sector); }

    /// The whole scan over volumeByteCount bytes of sectorSource. True when it ran (also after a
    /// stop); false when it could not start (no signatures, no source, no tree).
    bool runCarving();

    /// The found-file list, safe to read while the scan appends to it.
    std::size_t carvedFileCount() const { return found_.count(); }
    std::optional<CarvedFile> carvedFile(std::uint64_t index) const { return found_.at(index); }
    std::vector<CarvedFile> carvedFiles() const { return found_.all(); }
    /// The listed name of a carved file: its metadata title (cleaned) or its name position
    /// then "." and the extension.
    std::string carvedFileName(const CarvedFile& file) const { return listing_.name(file); }
    /// The category it is listed under, and its type (its extension: "jpg", "nef", "mpo").
    std::string carvedFileCategory(const CarvedFile& file) const { return listing_.category(file); }
    std::string carvedFileType(const CarvedFile& file) const { return listing_.type(file); }
    /// Carved files per category name (read after the scan).
    const std::map<std::string, std::uint64_t>& categoryCounts() const { return listing_.categoryCounts(); }

    ProgressSink* ownerWindow = nullptr;
    Notifier* notifier = nullptr;
    TreeSink* treeControl = nullptr;
    readWriteInterface* sectorSource = nullptr;
    std::int64_t volumeByteCount = 0;
    /// Where files may start (normal spans, such as a volume's free space); unset: anywhere on
    /// the volume. A file that starts in a span is walked to its end wherever that lies.
    std::optional<std::vector<VolumeSpan>> carvedSpans;
    StopFlag stopFlag;

private:
    /// Where the scan goes on after an action, and whether that may lie beyond the current chunk.
    struct NextSector {
        std::uint64_t position = 0;
        bool mayLeaveChunk = false;
    };
    /// What one pass over the volume carries from chunk to chunk.
    struct ChunkPass {
        PageBuffer& chunk;
        VolumeByteSource& candidates;
        std::uint64_t volumeBytes;
        std::uint64_t next = 0;  ///< volume position of the next sector to test
        bool stopped = false;
    };

    // The sector rules: what a start or an end signature found at p makes of the entry's files.
    NextSector actOn(const SectorMatch& match, const std::uint8_t* sector, std::uint64_t p);
    NextSector actOnSizeField(const SignatureRecord& entry, std::size_t index, const std::uint8_t* sector, std::uint64_t p);
    std::uint64_t skipAfter(const SignatureRecord& entry, std::uint64_t p) const;
    std::int64_t approxOf(std::size_t index) const;
    void listUnmatchedStarts();
    /// Lists a file of the sector rules.
    void listCarvedFile(std::uint64_t start, std::uint64_t length, std::uint64_t namePosition, std::size_t index,
                        CarvedStatus status = CarvedStatus::Approximate);
    /// Stores and lists file, unless a rescan meets a file found before.
    void listCarvedFile(const CarvedFile& file);

    // What the format search tells of its walks.
    void walked(std::uint64_t start, std::int32_t row, const formats::Validation& v, std::uint64_t reach) override;
    CarvedStatus found(std::uint64_t start, std::int32_t row, const formats::Validation& v,
                       VolumeByteSource& candidates) override;
    void cutShort(std::uint64_t start, std::int32_t row, std::uint64_t length) override;
    /// Lists what a format's walk found at start, named by its metadata.
    CarvedFile listFormatFind(std::uint64_t start, std::int32_t row, const formats::Validation& v,
                              VolumeByteSource& candidates);

    /// Reads the chunk at chunkStart and tests the starts in it before limit. False when the
    /// medium ended there.
    bool scanChunk(std::uint64_t chunkStart, std::uint64_t limit, ChunkPass& pass);
    /// The chunk loop over carvedSpans instead of the whole volume.
    void carveSpans(ChunkPass& pass, ProgressSink& progress, std::uint64_t chunkCount);

    // The failing regions: what the source skipped is read again after the scan.
    /// Keeps the parts of [chunkStart, + bytes) that the source skipped and served as zeros.
    void noteSkippedIn(std::uint64_t chunkStart, std::uint64_t bytes);
    /// After the scan, when the source served zeros since zerosBefore: what it skipped is read
    /// again, damaged format finds are walked again, and the zeroed parts the scan saw are searched
    /// once more where bytes came back.
    void carveRecoveredRanges(ChunkPass& pass, std::int64_t zerosBefore);
    /// True when [from, to) of the volume meets a range the source skipped.
    bool walkedOverSkipped(std::uint64_t from, std::uint64_t to) const;
    void redoWalks(ChunkPass& pass);

    std::vector<SignatureRecord> signatures_;
    std::vector<bool> fromDefaultSet_;  ///< per table entry
    SectorMatcher matcher_;
    FormatSearch formats_;
    CarvedFileListing listing_{signatures_};
    FoundFileStore found_;
    std::vector<std::vector<std::uint64_t>> pendingStarts_;  ///< per table entry, latest last
    bool rescanning_ = false;               ///< in carveRecoveredRanges()
    std::set<std::uint64_t> foundStarts_;   ///< while rescanning: starts of the files found before
    std::vector<std::pair<std::uint64_t, std::uint64_t>> zeroedForScan_;  ///< volume [from, to) the scan got as skipped zeros
    std::vector<std::pair<std::uint64_t, std::int32_t>> walksToRedo_;
    /// The last damaged or approximate format find, which a later find starting inside it ends.
    struct OpenFind {
        std::uint64_t start, end, owned;  ///< owned: finds starting before it are parts of it
        std::int32_t row;
        CarvedStatus status;
        std::vector<std::uint64_t> parts;  ///< where the files it names inside it begin, from start
    };
    std::optional<OpenFind> open_;  ///< start and format row of walks over skipped zeros
};
