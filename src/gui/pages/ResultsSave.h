#pragma once
// A save of the results page's selection, run on its worker: what the scan skipped of a failing
// region is retried first, the chosen files are written (and reported), and the page is told the
// result line and the files holding zeros for unreadable bytes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browser/EntryView.h"
#include "output/OutputFolder.h"

class PositionedSource;
class ProgressSink;
class RecoveryReport;
class SelectionView;
class PositionedSource;

struct ResultsSaveJob {
    SelectionView* selection = nullptr;
    PositionedSource* source = nullptr;  ///< the medium the view's reader reads
    std::optional<EntryRef> start;         ///< the folder saved (none: the top level)
    bool startDeleted = false;
    OutputFolder out;
    std::shared_ptr<RecoveryReport> report;
    std::uint64_t volumeOffset = 0;  ///< where the volume starts on the source
    bool onlyWhole = false;
    std::int64_t files = 0;  ///< the files counted for the progress bar
};

struct ResultsSaveOutcome {
    /// "N files written, M could not be written", then what was partial, skipped as identical or
    /// left out as not whole, and a report's failure.
    std::string line;
    std::vector<EntryRef> partial;
    std::int64_t written = 0;
    std::int64_t failed = 0;
    /// Why the first file failed, and a report's failure: the system's text.
    std::string failure;
};

ResultsSaveOutcome runResultsSave(const ResultsSaveJob& job, ProgressSink& progress);
