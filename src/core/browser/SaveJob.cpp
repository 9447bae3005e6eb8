#include "browser/SaveJob.h"

#include "disk/PositionedSource.h"
#include "output/RecoveryReport.h"
#include "output/RunSummary.h"

std::string SaveOutcome::countsText() const {
    return runCountsText(static_cast<std::int64_t>(partialFiles.size()), notes,
                         onlyWhole ? std::optional(notWhole) : std::nullopt);
}

SaveJob::SaveJob(EntryView& view, PositionedSource& source, ProgressSink& progress)
    : source_(source), walk_(view, progress) {
    walk_.watchSource(source);
}

void SaveJob::reportTo(RecoveryReport& report, std::uint64_t volumeOffset) {
    report_ = &report;
    walk_.reportTo(report, volumeOffset);
}

void SaveJob::keepOnlyWhole() {
    onlyWhole_ = true;
    walk_.keepOnlyWhole();
}

SaveOutcome SaveJob::run(const std::vector<SaveStart>& starts, const OutputFolder& out) {
    SaveOutcome outcome;
    outcome.onlyWhole = onlyWhole_;
    source_.retrySkipped();
    source_.setSkipAhead(false);
    for (const SaveStart& start : starts)
        if (!walk_.saveFolder(start.folder, start.folderDeleted, out)) {
            outcome.stopped = true;
            break;
        }
    source_.setSkipAhead(true);
    if (report_ != nullptr && !leaveReportOpen_) {
        report_->finish(outcome.reportError);
        outcome.notes = report_->skippedNote();
    }
    outcome.notes += walk_.noContentNote();
    outcome.written = walk_.written();
    outcome.failed = walk_.failed();
    outcome.notWhole = walk_.leftOut();
    outcome.partialFiles = walk_.partialFiles();
    outcome.firstFailure = walk_.firstFailure();
    return outcome;
}
