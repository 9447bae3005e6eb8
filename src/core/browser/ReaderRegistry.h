#pragma once
// The one table of file systems: for each, the names it goes by, its reader, its advanced-mode
// search, its recycle bin and what the results page says about it; and how a volume is scanned
// into an entry view in each recovery mode. Adding a file system is one reader folder, one entry
// view and one row here (with its probe in disk/BootSectorProbe when volumes are to be recognised).

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "browser/EntryView.h"
#include "browser/FileSystemKind.h"
#include "common/ScanError.h"
#include "fs/ReaderInput.h"
#include "disk/VolumeRecord.h"

struct AdvancedOptionLists;
struct ApplicationState;

/// Everything a reader needs for one scan.
struct ReaderContext {
    SourceVolume source;
    VolumeRecord volume;
    std::int64_t volumeBytes = 0;
    ApplicationState& app;
    ProgressSink& progress;
    Notifier& notifier;
    ScanMode mode = ScanMode::Standard;
    AdvancedChoice advanced;
    const PauseGate* pauseGate = nullptr;
    const std::atomic<bool>* stopRequest = nullptr;  ///< the front end's Stop, seen by the reader's stop flag

    /// What the reader is given of this: the volume, the sinks, the stop and the "formatted" choice.
    ReaderInput readerInput() const;
};

/// Where a file system keeps the "$I"/"$R" pairs of a recycle bin below a top-level
/// "$RECYCLE.BIN" or "$RECYCLEBIN" folder.
enum class RecycleBinLayout { None, InBinFolder, InUserFolders };

/// How the results page tells that a scan has finished: a message box (or none), then its status.
struct CompletionTexts {
    enum class Box { None, Information, Plain };
    Box box = Box::Information;
    const char* boxText = "Scanning process completed...";
    const char* status = "Processing done...";
};

/// The view of a scan, or why there is none.
struct ScanResult {
    std::unique_ptr<EntryView> view;
    ScanError error = {};  ///< what failed, when view is null
};

struct FileSystemRow {
    using ScanFunction = ScanResult (*)(ReaderContext&);
    using AdvancedSearch = AdvancedOptionLists (*)(ReaderContext&, int max);

    FileSystemKind kind;
    std::vector<std::string> listedNames;  ///< names the command line's --fs help lists, in its order
    std::vector<std::string> otherNames;   ///< also taken: what the probes, walks and partition types say
    const char* treatAsName;               ///< the volume page's "Treat file system as:" item
    ScanFunction scan;                     ///< null: no file system to read (RAW)
    AdvancedSearch findAdvanced;           ///< null: no Advanced mode
    bool deepMode;                         ///< the Deep mode is offered
    const char* modeRefusal;               ///< what the reader says of a mode it does not offer
    const char* structureLabel;            ///< the advanced page's structure list label
    bool heapOffsets;                      ///< the advanced page also offers heap offsets (exFAT)
    RecycleBinLayout recycleBin;
    const char* selectedStatus;            ///< the status when the results page starts, or null
    CompletionTexts completion;
    CompletionTexts::Box formatRefusalBox;  ///< how the results page shows "not in this format"
    bool formattedOption;                   ///< the Advanced mode offers "formatted since" (the FAT family)
    const char* journalMode = nullptr;      ///< the user's name of the Journal mode, null: not offered
};

/// Every row, in the order the command line's help names them.
const std::vector<FileSystemRow>& fileSystemRows();
/// The row of kind, or null (Unknown).
const FileSystemRow* fileSystemRow(FileSystemKind kind);
/// A kind whose volumes a reader can list (not RAW, not Unknown).
bool hasReader(FileSystemKind kind);
/// The scan's modes the kind offers: Standard whenever it has a reader.
bool offersMode(FileSystemKind kind, ScanMode mode);
/// "ntfs, fat16, fat, ..." for the command line's --fs help.
std::string fileSystemOptionNames();
/// The volume page's "Treat file system as:" items, sorted as the list shows them.
std::vector<std::string> treatAsNames();

/// Creates the reader for kind, runs its walk for context.mode and returns a view over the
/// result, or the error: no reader for kind, the mode not offered for it, the volume not of that
/// file system or not readable. Stop during the walk gives the view of what was found so far.
ScanResult scanVolume(FileSystemKind kind, ReaderContext& context);
