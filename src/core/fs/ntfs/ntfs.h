#pragma once
// The NTFS reader: finds the master file table (through the boot sector, or by scanning a volume
// whose boot sector is gone), turns every MFT record slot into an NtfsEntry linked by index into a
// folder tree, gives the list texts of an entry and writes an entry's content to a file. It also
// searches a whole volume for MFT records (the MFT finder of the Advanced mode, the Deep scan).
//
// Hostile bytes: every attribute offset and length is checked against its record, run lists are
// bounded by the volume, the entry count by the MFT's real size, LZNT1 output by its unit, and
// every walk over links is bounded. Nothing is ever written to the source.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/StopFlag.h"
#include "common/ByteView.h"
#include "common/EntryTime.h"
#include "disk/VolumeRecord.h"
#include "disk/readWriteInterface.h"
#include "fs/AllocationMap.h"
#include "fs/FileContent.h"
#include "fs/ReaderInput.h"
#include "fs/ntfs/NtfsEntry.h"

class Notifier;
class OutputFile;
class ProgressSink;

/// One run of a non-resident attribute. Cluster numbers and counts are 64-bit: 32-bit pairs break
/// volumes beyond 2^31 clusters.
struct RunPair {
    std::int64_t startCluster = 0;  ///< logical cluster number; 0 for a sparse run
    std::uint64_t clusterCount = 0;
    bool sparse = false;
    bool operator==(const RunPair&) const = default;
};

struct NtfsTimes {
    std::uint64_t creationTime = 0;
    std::uint64_t modificationTime = 0;
    std::uint64_t accessTime = 0;
    std::string attributeText;
};

/// What a record's unnamed $DATA attribute says about the content.
struct DataInfo {
    std::uint32_t dataOffset = 0;  ///< resident: value offset in the record; non-resident: run-list offset
    std::uint32_t dataLength = 0;
    std::uint8_t compressionExponent = 0;
    std::uint64_t startVcn = 0;
    std::uint64_t lastVcn = 0;
    char residency = 0;             ///< 'R', 'N', or 0 when no $DATA was met
    const char* status = nullptr;   ///< "Compressed", "Encrypted", "Normal" or null
    std::uint64_t allocatedSize = 0;
    std::uint64_t realSize = 0;
    std::uint64_t initializedSize = 0;
};

/// Limits of the decoder: a record is at most this large, a compression unit at most this many bytes.
inline constexpr std::uint32_t kMaxRecordSize = 65536;

class ntfs {
public:
    /// progress receives the range/position/status reports; notifier (optional) the message boxes.
    /// Takes the volume, its length (mediumBytes), the sinks and the stop from input.
    explicit ntfs(const ReaderInput& input);
    ~ntfs();
    ntfs(const ntfs&) = delete;
    ntfs& operator=(const ntfs&) = delete;

    // --- volume and MFT location ---
    /// Reads sector 0. volumeSize from the boot sector's total sectors when it reads "NTFS",
    /// else from the volume's size text (MiB), else from mediumBytes. True when it is non-zero.
    bool readBootSector();
    /// Standard mode: the MFT's run list from the boot sector, or by scanning for the $MFT record
    /// when the boot sector is not NTFS. False when the scan did not find it.
    bool locateMft();
    /// The runs of every non-resident attribute of the given type in the record at recordOffset,
    /// in attribute order; sets attrClusterCount. Empty when none.
    std::vector<RunPair> readRunList(std::uint64_t recordOffset, std::uint32_t type);
    /// Copies recordSize bytes of source into copy and puts back the sector-end words saved in the
    /// update sequence. Never rejects a record (torn records are still worth reading).
    static void applyFixup(std::uint8_t* copy, ByteView source, std::size_t recordSize);
    /// One entry per record slot of the MFT (mftRunList); nothing while mftLocated is false.
    void buildEntryList();

    // --- records and links ---
    /// Reads and parses the record at offset into entry index. False when it cannot be read.
    bool parseRecord(std::uint64_t offset, std::uint64_t index);
    /// Parses a record already in memory (raw, not yet fixed up) into entry index.
    void parseRecordBytes(ByteView raw, std::uint64_t index);
    /// Hangs entry index at the end of its parent's child chain.
    void linkChild(std::uint64_t index);
    /// Parses every slot, adds ORPHAN_ENTRY, finds the root and re-hangs orphans.
    void parseEntries();

    // --- list texts and content ---
    /// Creation, access and modification times and the attribute text.
    EntryDetails details(const NtfsEntry& entry);
    /// The real size of an entry's unnamed $DATA, following an $ATTRIBUTE_LIST when needed.
    std::uint64_t realDataSize(std::uint64_t index);
    NtfsTimes readTimes(std::uint64_t recordOffset);
    /// Where entry index's unnamed $DATA lies: plain runs (holes for sparse runs and for bytes past
    /// the initialized size), or, for compressed and resident data, the stored runs marked
    /// encoded. None when its record cannot be read or is a folder's.
    std::optional<FileExtents> contentExtents(std::uint64_t index);
    /// Entry index's content (plain runs, decoded compression units, or the resident bytes) with
    /// its access and modification times; null where contentExtents gives none.
    std::unique_ptr<FileContent> openContent(std::uint64_t index);
    /// The clusters $Bitmap (record 6) marks in use. Not known when the MFT was not found from the
    /// boot sector (the Advanced and Deep modes rebuild entries from records found anywhere) or
    /// $Bitmap cannot be read.
    AllocationMap allocationMap();
    /// Writes entry index's content into out and sets its times.
    bool writeEntry(std::uint64_t index, OutputFile& out);

    // --- whole-volume searches ---
    /// The MFT finder: the number of MFT starts found (foundMftRecords), at most maxCount once one is found.
    std::uint32_t findMftRecords(std::uint64_t maxCount);
    /// Takes the run list of found MFT start index. False when it has no runs.
    bool selectFoundMft(std::uint32_t index);
    /// Keeps every named MFT record found anywhere on the volume. Always false.
    bool deepScan();
    /// Empties the entries and names before the Advanced walk of a chosen MFT.
    void clearEntries();

    std::uint64_t volumeClusters() const;
    /// Bytes per cluster as the boot sector says (4096 before it was read).
    std::uint64_t bootClusterSize() const;
    static std::string entryName(const NtfsEntry& entry) { return entry.named ? entry.name : std::string(); }

    // Reader state (names as the rest of the system knows them).
    bool runPending = true;
    bool mftLocated = false;
    bool hasData = false;
    bool hasAttributeList = false;
    bool searchMftWhileScanning = true;
    std::uint16_t compressionUnit = 0;
    std::uint32_t recordsPerCluster = 0;
    std::uint64_t attrClusterCount = 0;
    std::uint64_t volumeSize = 0;
    std::uint64_t seekOffset = 0;
    std::uint64_t recordOffset = 0;
    std::uint64_t clusterSize = 0;
    std::uint32_t recordSize = 1024;     ///< bytes per MFT record (the boot sector may say otherwise)
    std::uint64_t mftRealSize = 0;       ///< real size of the $MFT's $DATA, bounds the slot count
    std::int64_t mediumBytes = 0;        ///< the volume's length when no size text says it
    std::vector<NtfsEntry> foundMftRecords;
    std::vector<RunPair> mftRunList;
    std::vector<std::uint8_t> bootSector;
    StopFlag stopFlag;
    std::vector<NtfsEntry> entryList;
    std::string currentName;
    std::uint64_t orphanIndex = ~std::uint64_t{0};
    std::uint64_t rootIndex = 5;
    std::uint32_t scanMode = 0;
    VolumeRecord volume;

private:
    struct RunListInfo {
        std::uint64_t realSize = 0;
        std::uint64_t initializedSize = 0;
        bool found = false;
    };
    /// Reads recordSize bytes at offset into raw (zero-filled when short). False when unreadable.
    bool readRecord(std::uint64_t offset, std::vector<std::uint8_t>& raw);
    /// Decodes the runs of the attributes of type (unnamed only when unnamedOnly) in a fixed-up record.
    std::vector<RunPair> decodeRunLists(ByteView record, std::uint32_t type, bool unnamedOnly, RunListInfo* info);
    void decodeMappingPairs(ByteView runs, std::uint64_t vcnSpan, std::vector<RunPair>& out);
    DataInfo inspectData(ByteView record);
    /// The unnamed $DATA of a record whose runs live in extension records named by its $ATTRIBUTE_LIST.
    bool collectExtensionRuns(ByteView record, std::vector<RunPair>& runs, DataInfo& info);
    std::uint64_t recordOffsetOf(std::uint64_t recordNumber) const;
    /// The record that holds an entry's content: its base record when the entry is an extension
    /// record (the only one carrying the $FILE_NAME, as ntfs-3g writes attribute-list files).
    std::uint64_t contentOffset(const NtfsEntry& entry) const;
    /// Bytes one save may read from the volume at most: what the volume really holds.
    std::uint64_t copyBudget() const;
    /// The unnamed $DATA of an entry as its record says.
    struct DataStream {
        std::uint64_t recordOffset = 0;
        DataInfo info;
        bool present = false;  ///< the record has one
        std::vector<RunPair> runs;
        std::vector<std::uint8_t> resident;
        std::uint64_t unitClusters = 0;  ///< clusters per compression unit; 0: not compressed
    };
    std::optional<DataStream> findDataStream(std::uint64_t index);
    FileExtents plainExtents(const std::vector<RunPair>& runs, const DataInfo& info) const;
    std::uint64_t reachableBytes() const;
    std::uint64_t scanLimit() const;
    void startWholeVolumeSearch();
    /// The shared chunked whole-volume loop; onCandidate gets the candidate's raw record bytes.
    template <typename OnUnit>
    void scanVolume(std::uint64_t limit, std::uint64_t progressEvery, OnUnit onUnit);
    NtfsEntry& appendScannedRecord(std::uint64_t offset, ByteView raw);
    void takeMftRunList(std::uint64_t offset);
    void adoptScannedMft(std::uint64_t offset, ByteView unit);
    void ensureLinkTables();
    void setFirstChild(std::uint64_t parent, std::uint64_t child);
    /// The linking step of a $FILE_NAME that gave a name.
    void linkParsed(std::uint64_t index);
    void detachChildrenOfFiles();
    void hangOrphans();
    void breakCycles();
    void notify(const std::string& text);

    readWriteInterface source_;  ///< the reader's own cursor on its volume
    ProgressSink& progress_;
    Notifier& notifier_;
    std::vector<std::uint8_t> fixed_;  ///< the fixed-up copy of the record being parsed
    std::vector<std::uint64_t> lastChild_;  ///< end of each entry's child chain: linking stays linear
    std::vector<std::uint8_t> inChain_;     ///< entry already hangs in its parent's chain
    std::unordered_map<std::uint64_t, std::uint64_t> scannedRecordOffsets_;
    bool boundRunsByVolume_ = true;  ///< off while the cluster size is still a guess  ///< record number -> offset (scans)
};
