#pragma once
// The one table that says which reader serves which file system, and how a volume is scanned
// into an entry view in each recovery mode.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/EntryView.h"
#include "browser/FileSystemKind.h"
#include "disk/VolumeRecord.h"

struct ApplicationState;
class Notifier;
class PauseGate;
class StopFlag;
class ProgressSink;
class readWriteInterface;

enum class ScanMode { Standard = 1, Advanced = 2, Deep = 3 };

/// The Advanced mode's choices, as the advanced options page would offer them.
struct AdvancedChoice {
    int structure = 0;  ///< index of the found structure (MFT copy, FAT start, catalog node set)
    int spc = -1;       ///< sectors per cluster (exFAT: the shift); -1 = the first offered
    int heap = 0;       ///< exFAT heap offset index
    int max = 3;        ///< structures to find
    /// What the advanced options page already found, so that the results scan does not search
    /// the volume again: byte positions of the MFT records or FAT starts, and of the exFAT heap
    /// offsets, in the order found. Unset (the command line): the scan searches itself.
    std::optional<std::vector<std::uint64_t>> structurePositions = std::nullopt;
    std::optional<std::vector<std::uint64_t>> heapOffsets = std::nullopt;
};

/// Everything a reader needs for one scan. The source's origin offset is the volume's first byte.
struct ReaderContext {
    readWriteInterface& source;
    VolumeRecord volume;
    std::int64_t volumeBytes = 0;
    ApplicationState& app;
    ProgressSink& progress;
    Notifier& notifier;
    ScanMode mode = ScanMode::Standard;
    AdvancedChoice advanced;
    const PauseGate* pauseGate = nullptr;
    const std::atomic<bool>* stopRequest = nullptr;  ///< the front end's Stop, seen by the reader's stop flag
};

/// Ties a reader's stop flag to the front end's pause gate and stop request.
void attachFrontEnd(StopFlag& readerStop, const ReaderContext& context);

/// Creates the reader for kind, runs its walk for context.mode and returns a view over the
/// result, or null with error set (the mode is not offered for that file system, the volume
/// could not be read). Stop during the walk gives the view of what was found so far.
std::unique_ptr<EntryView> scanVolume(FileSystemKind kind, ReaderContext& context, std::string& error);
