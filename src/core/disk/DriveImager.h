#pragma once
// A rescue copy of a medium into an image, in the order that saves most from a failing drive:
// first large reads over everything, skipping ahead past a failing area instead of grinding
// through it; then the areas skipped ahead; then each failed area split in halves and read again,
// down to single sectors. What is known goes into a rescue map (the mapfile format imaging tools
// share) after the bytes it vouches for are safely in the image, so a run that stops, however
// it stops, goes on from its map later and ends with the same image.

#include <cstdint>
#include <string>
#include <vector>

#include "disk/BadRangeMap.h"

class PositionedSource;
class ProgressSink;
class StopFlag;

/// Where the copy goes: the image file and its map. Implemented in output/, the one way out.
class ImagingTarget {
  public:
    virtual ~ImagingTarget() = default;
    /// Writes bytes of the medium at their own position in the image.
    virtual bool writeAt(const void* data, std::size_t size, std::int64_t at) = 0;
    /// Makes every byte written so far durable, then replaces the map with text in one step.
    virtual bool saveMap(const std::string& text) = 0;
    /// The system's words for the first failure.
    virtual std::string errorText() const = 0;
};

/// What a run ended with; counts over the whole medium, earlier runs included.
struct ImagingResult {
    enum class End { Done, Stopped, WriteFailed, MediumShrank } end = End::Done;
    std::int64_t rescued = 0; ///< bytes read ('+')
    std::int64_t bad = 0;     ///< bytes that failed sector by sector ('-')
    std::int64_t untried = 0; ///< bytes not yet read or not yet split ('?', '*'): a later run goes on
    int badRanges = 0;
};

class DriveImager {
  public:
    /// Bytes of one read in the first passes.
    static constexpr std::int32_t kBlockBytes = 1 << 20;
    /// The farthest the first pass skips ahead after failures in a row.
    static constexpr std::int64_t kMostSkip = std::int64_t{64} << 20;

    /// known: the map of an earlier run (empty for a new copy); its '+' bytes are in the image
    /// already and are not read again. commandLine goes into the map's header.
    DriveImager(PositionedSource& source, BadRangeMap known, std::string commandLine);

    /// Seconds the splitting of failed areas may take in all; 0: no limit. What is left stays '*'
    /// in the map for a later run.
    void setRetryTime(double seconds) { retrySeconds_ = seconds; }
    /// Seconds between two rewrites of the map (the image is synced before each).
    void setMapInterval(double seconds) { mapInterval_ = seconds; }

    /// Copies what the map does not hold yet. Progress: range 0..medium size, position the bytes
    /// finished ('+' and '-'), status "Copying", "Reading skipped areas" or "Splitting failed
    /// areas" with the counts. Stops between two reads when stop is set, map saved.
    ImagingResult run(ImagingTarget& target, ProgressSink& progress, const StopFlag* stop);

    const BadRangeMap& map() const { return map_; }

  private:
    /// Reads [at, at + n), writes it, marks the map from what the source learnt. False when the
    /// write failed.
    bool copy(std::int64_t at, std::int64_t n, ImagingTarget& target, bool& failed);
    bool saveMap(ImagingTarget& target, bool now);
    void report(ProgressSink& progress, const char* step) const;
    ImagingResult result(ImagingResult::End end) const;

    PositionedSource& source_;
    BadRangeMap map_;
    std::string commandLine_;
    std::int64_t size_ = 0;
    double retrySeconds_ = 0;
    double mapInterval_ = 1;
    std::int64_t lastSave_ = 0; ///< steady-clock milliseconds
    std::vector<unsigned char> buffer_;
};
