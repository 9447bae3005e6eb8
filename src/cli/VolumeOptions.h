#pragma once
// The options list, save and carve share for choosing a volume of SOURCE, and their resolution
// into an open sector source positioned on that volume.

#include <cstdint>
#include <optional>
#include <string>

#include "app/ApplicationState.h"
#include "disk/VolumeRecord.h"

namespace CLI {
class App;
}
class Notifier;

struct VolumeOptions {
    std::string source;
    int volume = -1;               ///< --volume N: row N of the standard walk
    bool gpt = false;              ///< --gpt: the walk for --volume reads the GPT
    std::int64_t startSector = -1; ///< --start-sector S
    std::int64_t sizeMb = -1;      ///< --size-mb M
    std::string fs;                ///< --fs NAME
    std::string mode = "standard"; ///< --mode standard|advanced|deep
    int structure = 0;             ///< --structure K
    int spc = -1;                  ///< --spc N (-1: the first the advanced options page offers)
    int heap = 0;                  ///< --heap K
    int max = 3;                   ///< --max N
    bool formatted = false;        ///< --formatted

    /// Adds SOURCE and the volume options to a command.
    void addTo(CLI::App& command);
};

struct ResolvedVolume {
    VolumeRecord record;        ///< fileSystem as chosen (--fs, the walk's name, or identified)
    std::int64_t byteLength = 0; ///< bytes from the volume's start to its end (or the source's end)
};

/// Opens options.source as app's current source, finds the volume and sets the source's origin
/// offset to its first byte. On failure prints the reason on stderr and returns nothing.
std::optional<ResolvedVolume> resolveVolume(const VolumeOptions& options, ApplicationState& app, Notifier& notifier);
