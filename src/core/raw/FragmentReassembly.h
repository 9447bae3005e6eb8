#pragma once
// Photos found in pieces. A file system that meets a hole too small for a photo puts the rest of
// it into the next free clusters, so after a format a carved photo may break at a cluster's end
// (its walk meets a decode error, a marker that cannot follow, a restart marker out of turn or
// another file's header) and go on at another cluster's start. After the scan each JPEG found
// damaged is tried with the clusters that no whole file found holds, nearest first and ahead
// before behind: a continuation is taken only when the joined bytes walk to their end (restart
// markers in turn and as many as the picture's blocks make) and decode whole (no error, the
// count of blocks right at EOI); two or three pieces.
//
// Bounds, so that a card full of damaged photos still ends in time, chosen on re-formatted
// cards whose every photo in pieces came back with them: per break, the four cluster ends before
// where the walk broke (random bytes give themselves away within a few hundred bytes, rarely a
// cluster later; a short stretch of zeros may lie between) and 4096 unclaimed clusters ahead
// (16 MiB of 4 KiB clusters: further than the holes of a used card lie apart) and 1024 behind,
// of which the 12 likeliest are walked; per file, 96 walks and 16 decodes, 2 of them per break
// before the continuations that break again are followed for a third piece (a walk costs a read
// of the photo, a decode some milliseconds per 100 KB, and the right continuation is nearly
// always among the first that pass the quick tests). Clusters where coded data would begin are
// tried before those inside a stretch of it (the middle of another photo's piece), and a cluster
// whose first sign of coded data is an EOI (what random bytes show once in a few hundred) after
// both. A cluster's quick test is kept, so no cluster is read twice for it.

#include <cstdint>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/VolumeSpans.h"
#include "formats/JpegContinuation.h"
#include "raw/CarvedFile.h"
#include "raw/ClusterGeometry.h"

class FoundFileStore;
class ProgressSink;
class StopFlag;
class readWriteInterface;

class FragmentReassembly {
public:
    FragmentReassembly(readWriteInterface& volume, std::uint64_t volumeBytes, ClusterGeometry geometry)
        : volume_(volume), volumeBytes_(volumeBytes), geometry_(geometry) {}

    /// [start, end) of the volume holds a file found whole: no piece of another file lies there.
    void claim(std::uint64_t start, std::uint64_t end);
    /// The runs of the JPEG that starts at start and broke at most brokenAt bytes in, when pieces
    /// are found that make it whole; nothing otherwise. The pieces are not claimed.
    std::optional<std::vector<CarvedRun>> joinJpeg(std::uint64_t start, std::uint64_t brokenAt, const StopFlag& stop);
    /// Whether any byte of runs is claimed.
    bool claimedAny(const std::vector<CarvedRun>& runs) const;

private:
    struct Budget {
        unsigned walks = 0, decodes = 0;
    };
    /// The unclaimed cluster starts to try after a break at broken, nearest first, ahead
    /// first; each is looked at only when asked for.
    class Candidates {
    public:
        Candidates(FragmentReassembly& joiner, const std::vector<CarvedRun>& runs, std::uint64_t broken);
        std::optional<std::uint64_t> next();

    private:
        FragmentReassembly& joiner_;
        const std::vector<CarvedRun>& runs_;
        std::uint64_t ahead_, behind_;
        std::size_t lookedAhead_ = 0, lookedBehind_ = 0, later_ = 0;
        std::vector<std::uint64_t> weak_, inside_;
    };
    /// Runs ends with the piece that broke at volume position broken: tries its breaks and the
    /// continuations of each.
    std::optional<std::vector<CarvedRun>> extend(const std::vector<CarvedRun>& runs, std::uint64_t broken,
                                                 std::uint64_t scanStart, Budget& budget, const StopFlag& stop);
    /// What runs whose last run starts at a candidate make of the photo: whole (the runs cut at
    /// its end), broken again further on (the runs cut where), or nothing.
    struct Attempt {
        enum Outcome : std::uint8_t { Nothing, Walked, Broken } outcome = Nothing;
        std::vector<CarvedRun> runs;
    };
    Attempt tryContinuation(std::vector<CarvedRun> runs, Budget& budget);
    /// Whether the joined photo decodes to its end (one of the file's decodes).
    bool decodesWhole(const std::vector<CarvedRun>& whole, Budget& budget);
    /// Whether runs, broken again further on, decode on well past the seam (one decode).
    bool decodesPast(const std::vector<CarvedRun>& runs, std::uint64_t seam, Budget& budget);
    bool claimed(std::uint64_t cluster) const;
    /// Whether coded data may go on from p (judged by 4 KiB at least), and ends a picture there
    /// (kept per cluster).
    formats::EntropyLook look(std::uint64_t p);
    /// Whether the cluster at p, alone, may be coded data (read each time it is asked).
    bool holdsCodedData(std::uint64_t p);
    /// Whether coded data that goes on at p would begin there: the cluster before holds no such
    /// data, or a picture's end, or belongs to a whole file.
    bool beginsStretch(std::uint64_t p);

    readWriteInterface& volume_;
    std::uint64_t volumeBytes_;
    ClusterGeometry geometry_;
    std::map<std::uint64_t, std::uint64_t> claims_;  ///< start -> end, not overlapping
    std::unordered_map<std::uint64_t, formats::EntropyLook> looks_;
    std::vector<std::uint8_t> block_;  ///< the clusters read for look()
};

/// Joins the damaged JPEG finds of store with their continuations on the volume, on every core;
/// the cluster grid comes from the volume's boot sector and the whole finds' starts. With searched (the spans
/// a carve of free space went over), what lies outside them is held by the volume's own files.
/// Returns how many it joined.
std::size_t joinBrokenJpegs(FoundFileStore& store, readWriteInterface& volume, std::uint64_t volumeBytes,
                            const StopFlag& stop, ProgressSink& progress, const std::vector<VolumeSpan>* searched = nullptr);
