#pragma once
// Saving a file system's entries, as the command line's save and the results page's Save both
// run it: what a failing medium's scan skipped is read again first, the copies skip nothing a
// later retry could read (a file holds zeros only where the medium failed), each written file is
// entered in the report, and the counts come back as an outcome whose words both front ends show.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "browser/EntryView.h"
#include "browser/SaveWalk.h"
#include "output/OutputFolder.h"

class ProgressSink;
class RecoveryReport;
class PositionedSource;

/// Where a save starts: the folder whose content it writes (none: the top level), deleted as the
/// tree shows it.
struct SaveStart {
    std::optional<EntryRef> folder;
    bool folderDeleted = false;
};

struct SaveOutcome {
    std::int64_t written = 0;
    std::int64_t failed = 0;
    std::int64_t notWhole = 0;  ///< deleted pictures left out by "only whole files"
    bool onlyWhole = false;     ///< only whole pictures were wanted
    bool stopped = false;
    std::vector<EntryRef> partialFiles;  ///< written files holding zeros for unreadable bytes
    std::string notes;         ///< what was left out: identical files, deleted files without content
    std::string firstFailure;  ///< why the first file failed, its path first; empty when none did
    std::string reportError;   ///< the report could not be finished; empty: it was (or none was asked for)

    /// The words after the counts of files written and failed.
    std::string countsText() const;
};

class SaveJob {
public:
    /// view: what is saved (a selection, or the whole volume), read from source.
    SaveJob(EntryView& view, PositionedSource& source, ProgressSink& progress);

    /// Each written file goes into report, its byte runs moved by volumeOffset; the report is
    /// finished at the end of run().
    void reportTo(RecoveryReport& report, std::uint64_t volumeOffset);
    /// run() leaves the report open for a save that follows (files found by content), which
    /// finishes it; the outcome's notes then leave out the report's.
    void leaveReportOpen() { leaveReportOpen_ = true; }
    /// Deleted pictures that do not decode whole are left out and counted.
    void keepOnlyWhole();
    /// Files written so far, for a progress line.
    std::int64_t written() const { return walk_.written(); }

    /// Saves each start's content into out in turn, until the view's stop flag is set.
    SaveOutcome run(const std::vector<SaveStart>& starts, const OutputFolder& out);

private:
    PositionedSource& source_;
    SaveWalk walk_;
    RecoveryReport* report_ = nullptr;
    bool onlyWhole_ = false;
    bool leaveReportOpen_ = false;
};
