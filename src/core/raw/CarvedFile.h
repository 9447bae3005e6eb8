#pragma once
// One carved file: where its bytes lie on the volume, how its length was judged, and what it is
// listed as. Its bytes are a list of runs in file order: a file written in one piece has one run;
// one whose pieces lie apart (a fragmented photo) has one run per piece. Whoever reads, copies,
// grades or reports a carved file follows the runs, never a single start and length.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/WallClock.h"

/// Whole: the file's own structure (or its size field) gave its exact length. Damaged: the
/// structure breaks at the length, the valid prefix is kept. Approximate: a signature row's
/// approximate size or end signature gave the length, or a format that holds no length (AMR).
enum class CarvedStatus : std::uint8_t { Whole, Damaged, Approximate };
/// "whole", "damaged", "approximate".
const char* carvedStatusText(CarvedStatus status);

/// One stretch of a carved file's bytes on the volume.
struct CarvedRun {
    std::uint64_t start = 0;   ///< first byte, from the volume's first byte
    std::uint64_t length = 0;  ///< bytes
    bool operator==(const CarvedRun&) const = default;
};

struct CarvedFile {
    CarvedFile() = default;
    /// A file of one run.
    CarvedFile(std::uint64_t start_, std::uint64_t length_, std::size_t signature_, std::uint64_t namePosition_)
        : runs{{start_, length_}}, signature(signature_), namePosition(namePosition_) {}

    std::vector<CarvedRun> runs;    ///< its bytes, in file order
    std::size_t signature = 0;      ///< the signature table entry that found it (when format < 0)
    std::uint64_t namePosition = 0; ///< the position its name is formed from
    CarvedStatus status = CarvedStatus::Approximate;
    std::int32_t format = -1;       ///< the built-in format row that found it, or -1
    std::string_view extension;     ///< the format's narrower extension ("mpo"); empty: the row's
    std::string title;              ///< its name from its own metadata, without extension; empty: none
    std::optional<formats::WallClock> when;  ///< its metadata date, the saved file's time
    /// Found broken and made whole from pieces lying apart (its runs).
    bool reassembled = false;

    bool exact() const { return status != CarvedStatus::Approximate; }
    /// Where its first byte lies on the volume (0 for a file without runs).
    std::uint64_t start() const { return runs.empty() ? 0 : runs.front().start; }
    /// Its bytes over all runs.
    std::uint64_t length() const;
};

/// Its status as the lists and the command line say it: the status's word, and for a file made
/// whole from pieces "whole, reassembled from 2 pieces".
std::string carvedFileStatusText(const CarvedFile& file);

/// The runs of a file on a volume of volumeBytes that can be read: cut at the volume's end, and
/// ending with the first run that reaches past it (what follows would stand at the wrong place
/// in the file).
std::vector<CarvedRun> runsWithinVolume(std::span<const CarvedRun> runs, std::uint64_t volumeBytes);
/// The bytes of runs.
std::uint64_t runsLength(std::span<const CarvedRun> runs);

/// Walks runs in file order in pieces of at most pieceBytes: piece(position on the volume, bytes)
/// for each. Ends early, and gives false, when piece gives false.
template <typename Piece>
bool forEachRunPiece(std::span<const CarvedRun> runs, std::uint32_t pieceBytes, Piece&& piece) {
    for (const CarvedRun& run : runs) {
        for (std::uint64_t done = 0; done < run.length;) {
            const auto bytes = static_cast<std::uint32_t>(std::min<std::uint64_t>(pieceBytes, run.length - done));
            if (!piece(run.start + done, bytes))
                return false;
            done += bytes;
        }
    }
    return true;
}
