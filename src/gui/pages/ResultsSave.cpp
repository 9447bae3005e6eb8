#include "pages/ResultsSave.h"

#include "app/ProgressSink.h"
#include "browser/SaveJob.h"
#include "browser/SelectionView.h"
#include "common/TextFormat.h"
#include "disk/PositionedSource.h"

ResultsSaveOutcome runResultsSave(const ResultsSaveJob& job, ProgressSink& progress) {
    SaveJob save(*job.selection, *job.source, progress);
    save.reportTo(*job.report, job.volumeOffset);
    if (job.onlyWhole)
        save.keepOnlyWhole();
    SaveOutcome saved = save.run({SaveStart{job.start, job.startDeleted}}, job.out);
    progress.setPosition(job.files);

    ResultsSaveOutcome outcome{formatText("%lld files written, %lld could not be written%s", static_cast<long long>(saved.written),
                                          static_cast<long long>(saved.failed), saved.countsText().c_str()),
                               std::move(saved.partialFiles), saved.written, saved.failed, saved.firstFailure};
    if (!saved.reportError.empty()) {
        outcome.line += "; " + saved.reportError;
        outcome.failure += (outcome.failure.empty() ? "" : "\n") + saved.reportError;
    }
    return outcome;
}
