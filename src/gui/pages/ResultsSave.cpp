#include "pages/ResultsSave.h"

#include "app/ProgressSink.h"
#include "browser/SaveWalk.h"
#include "browser/SelectionView.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "output/RecoveryReport.h"

ResultsSaveOutcome runResultsSave(const ResultsSaveJob& job, ProgressSink& progress) {
    // The copies skip nothing a later retry could read: a file holds zeros only where the medium failed.
    job.source->retrySkipped();
    job.source->setSkipAhead(false);
    SaveWalk walk(*job.selection, progress);
    walk.watchSource(*job.source);
    walk.reportTo(*job.report, job.volumeOffset);
    if (job.onlyWhole)
        walk.keepOnlyWhole();
    walk.saveFolder(job.start, job.startDeleted, job.out);
    job.source->setSkipAhead(true);
    progress.setPosition(job.files);
    std::string error;
    const bool reported = job.report->finish(error);

    ResultsSaveOutcome outcome{formatText("%lld files written, %lld could not be written",
                                          static_cast<long long>(walk.written()), static_cast<long long>(walk.failed())),
                               walk.partialFiles(), walk.written(), walk.failed(), walk.firstFailure()};
    if (walk.partial() > 0)
        outcome.line += formatText(", %lld partial", static_cast<long long>(walk.partial()));
    outcome.line += job.report->skippedNote() + walk.noContentNote();
    if (job.onlyWhole)
        outcome.line += formatText(", %lld pictures left out as not whole", static_cast<long long>(walk.leftOut()));
    if (!reported) {
        outcome.line += "; " + error;
        outcome.failure += (outcome.failure.empty() ? "" : "\n") + error;
    }
    return outcome;
}
