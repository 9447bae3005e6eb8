#include "pages/RawSaveRun.h"

#include "app/ProgressSink.h"
#include "app/StopFlag.h"
#include "disk/readWriteInterface.h"
#include "output/RecoveryReport.h"
#include "raw/CarvedFileGrade.h"
#include "raw/CarvedFileSaver.h"

RawSaveOutcome RawSaveRun::run(readWriteInterface& source, CarvedFileSaver& saver, RecoveryReport& report, const StopFlag& stop,
                               ProgressSink& progress) const {
    RawSaveOutcome outcome;
    outcome.onlyWhole = onlyWhole;
    progress.setRange(0, static_cast<std::int64_t>(items.size()));
    progress.setPosition(0);
    // What the scan skipped of a failing region gets its retry first, and the copies skip
    // nothing a later retry could read: a file holds zeros only where the medium failed.
    source.retrySkipped();
    source.setSkipAhead(false);
    std::int64_t done = 0;
    for (const RawSaveItem& item : items) {
        if (stop.isSet()) {
            outcome.stopped = true;
            break;
        }
        progress.setStatus("Saving File: " + item.name);
        std::optional<formats::PictureGrade> grade = item.grade;
        if (!grade && (onlyWhole || report.active()))
            grade = gradeCarvedFile(source, volumeBytes, item.file, item.type);
        if (onlyWhole && grade && grade->health != formats::Health::Whole) {
            ++outcome.notWhole;
        } else if (std::string path, error; saver.save(source, item.file, volumeBytes, std::string(), item.name, path, error)) {
            ReportRecord record = carvedFileRecord(item.file, volumeOffset, volumeBytes);
            if (grade)
                record.grade = formats::gradeSummary(*grade);
            record.partial = saver.lastSavePartial();
            if (saver.lastSavePartial())
                outcome.partialIndices.push_back(item.index);
            if (report.fileWritten(path, std::move(record), false)) {
                ++outcome.written;
                outcome.partial += saver.lastSavePartial() ? 1 : 0;
            }
        } else {
            outcome.failures.push_back(error);
        }
        progress.setPosition(++done);
    }
    source.setSkipAhead(true);
    if (std::string error; !report.finish(error))
        outcome.failures.push_back(error);
    outcome.skippedNote = report.skippedNote();
    return outcome;
}
