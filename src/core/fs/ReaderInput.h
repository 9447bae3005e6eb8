#pragma once
// What every file-system reader is given, and the recovery mode it is run in. Readers see this and
// nothing of the application: the scan's context (browser/ReaderRegistry) fills it.

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

#include "disk/SourceVolume.h"
#include "disk/VolumeRecord.h"

class Notifier;
class PauseGate;
class ProgressSink;
class StopFlag;

/// Journal: the standard walk, then deleted files found through the file system's journal.
/// Everything: the standard walk, then the volume's free space searched for files by their
/// content; readers only ever see the standard walk of it.
enum class ScanMode { Standard = 1, Advanced = 2, Deep = 3, Journal = 4, Everything = 5 };

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

struct ReaderInput {
    SourceVolume source;                 ///< where the volume lies: the reader reads it through a cursor of its own
    VolumeRecord volume;
    std::int64_t volumeBytes = 0;  ///< the volume's length; 0: not known
    ProgressSink& progress;
    Notifier& notifier;
    bool formatted = false;  ///< the user says the drive was formatted: FAT files are read from consecutive clusters
    const PauseGate* pauseGate = nullptr;
    const std::atomic<bool>* stopRequest = nullptr;  ///< the front end's Stop

    /// Ties a reader's own stop flag to the front end's pause gate and stop request.
    void attach(StopFlag& readerStop) const;
};
