#pragma once
// The options list, save and carve share for choosing a volume of SOURCE, and their resolution
// into an open sector source positioned on that volume.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/ApplicationState.h"
#include "disk/SourceVolume.h"
#include "disk/VolumeRecord.h"

namespace CLI {
class App;
}
class Notifier;

struct VolumeOptions {
    std::string source;
    int volume = -1;               ///< --volume N: row N of the standard walk
    bool gpt = false;              ///< --gpt: the walk for --volume reads the GPT
    bool mbr = false;              ///< --mbr: the walk for --volume reads the MBR even when protective
    std::int64_t startSector = -1; ///< --start-sector S
    std::int64_t sizeMb = -1;      ///< --size-mb M
    std::string fs;                ///< --fs NAME
    std::string mode = "standard"; ///< --mode standard|advanced|deep
    int structure = 0;             ///< --structure K
    int spc = -1;                  ///< --spc N (-1: the first the advanced options page offers)
    int heap = 0;                  ///< --heap K
    int max = 3;                   ///< --max N
    bool formatted = false;        ///< --formatted
    double retryTime = 120;        ///< --retry-time SECONDS: retrying failed reads, over the whole run
    std::string badMap;            ///< --bad-map FILE: the map of the medium, written at the end

    /// Adds SOURCE, the options that choose the volume and those for a failing medium (every
    /// command that reads a volume).
    void addTo(CLI::App& command);
    /// Adds the options that steer a file-system reader (list and save; carve reads no file system).
    void addReaderOptionsTo(CLI::App& command);
};

struct ResolvedVolume {
    VolumeRecord record;        ///< fileSystem as chosen (--fs, the walk's name, or identified)
    std::int64_t byteLength = 0; ///< bytes from the volume's start to its end, never past the source's end
    SourceVolume volume;              ///< where it lies on the app's current source
};

/// Opens options.source as app's current source and finds the volume on it. On failure prints the reason on
/// stderr and returns nothing: an empty source, a volume beyond the source or one the source
/// holds only part of, or a --bad-map file that would be written on the medium being read.
std::optional<ResolvedVolume> resolveVolume(const VolumeOptions& options, ApplicationState& app, Notifier& notifier);

/// The rows of `partitions SOURCE` for the walk options chosen.
std::vector<VolumeRecord> standardVolumes(const VolumeOptions& options, PositionedSource& source);
