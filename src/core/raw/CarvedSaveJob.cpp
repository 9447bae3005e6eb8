#include "raw/CarvedSaveJob.h"

#include "app/ProgressSink.h"
#include "common/ListTextFormat.h"
#include "app/StopFlag.h"
#include "disk/readWriteInterface.h"
#include "output/RecoveryReport.h"
#include "output/RunSummary.h"
#include "raw/CarvedFileGrade.h"
#include "raw/CarvedFileSaver.h"
#include "raw/myJpg.h"

std::vector<CarvedSaveItem> allCarvedFiles(const myJpg& engine) {
    std::vector<CarvedSaveItem> items;
    const std::vector<CarvedFile> files = engine.carvedFiles();
    items.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        const CarvedFile& file = files[i];
        items.push_back({i, file, engine.carvedFileName(file), engine.carvedFileCategory(file), engine.carvedFileType(file), {}});
    }
    return items;
}

CarvedSaveTotals CarvedSaveTotals::of(const std::vector<CarvedFile>& files) {
    CarvedSaveTotals t;
    for (const CarvedFile& file : files) {
        const bool whole = file.status == CarvedStatus::Whole, damaged = file.status == CarvedStatus::Damaged;
        ++(whole ? t.wholeFiles : damaged ? t.damagedFiles : t.approximateFiles);
        (whole ? t.wholeBytes : damaged ? t.damagedBytes : t.approximateBytes) += file.length();
    }
    return t;
}

std::string CarvedSaveTotals::text() const {
    const auto part = [](std::uint64_t files, std::uint64_t bytes, const char* what) {
        return std::to_string(files) + " " + what + " (" + formatListSize(bytes) + ")";
    };
    return formatListSize(bytes()) + ": " + part(wholeFiles, wholeBytes, "whole") + ", " +
           part(damagedFiles, damagedBytes, "damaged") +
           (approximateFiles > 0 ? ", " + part(approximateFiles, approximateBytes, "approximate") : std::string());
}

CarvedSaveTotals CarvedSaveJob::totals() const {
    std::vector<CarvedFile> files;
    files.reserve(items.size());
    for (const CarvedSaveItem& item : items)
        files.push_back(item.file);
    return CarvedSaveTotals::of(files);
}

std::string CarvedSaveOutcome::countsText() const {
    return runCountsText(partial, skippedNote, onlyWhole ? std::optional<std::int64_t>(notWhole) : std::nullopt);
}

CarvedSaveOutcome CarvedSaveJob::run(readWriteInterface& source, CarvedFileSaver& saver, RecoveryReport& report,
                                     const StopFlag& stop, ProgressSink& progress) const {
    CarvedSaveOutcome outcome;
    outcome.onlyWhole = onlyWhole;
    progress.setRange(0, static_cast<std::int64_t>(items.size()));
    progress.setPosition(0);
    source.retrySkipped();
    source.setSkipAhead(false);
    std::int64_t done = 0;
    for (const CarvedSaveItem& item : items) {
        if (stop.isSet()) {
            outcome.stopped = true;
            break;
        }
        if (statusPerFile)
            progress.setStatus("Saving File: " + item.name);
        CarvedFileResult result;
        result.grade = item.grade;
        if (!result.grade && (gradeEvery || onlyWhole || report.active()))
            result.grade = gradeCarvedFile(source, volumeBytes, item.file, item.type);
        if (onlyWhole && result.grade && result.grade->health != formats::Health::Whole) {
            result.leftOut = true;
            ++outcome.notWhole;
        } else if (std::string path; saver.save(source, item.file, volumeBytes, item.category, item.name, path, result.error)) {
            result.partial = saver.lastSavePartial();
            ReportRecord record = carvedFileRecord(item.file, volumeOffset, volumeBytes);
            if (result.grade)
                record.grade = formats::gradeSummary(*result.grade);
            record.partial = result.partial;
            if (result.partial)
                outcome.partialIndices.push_back(item.index);
            result.written = true;
            if (report.fileWritten(path, std::move(record), false)) {
                ++outcome.written;
                outcome.partial += result.partial ? 1 : 0;
            }
        } else {
            outcome.failures.push_back(result.error);
        }
        if (fileDone)
            fileDone(item, result);
        progress.setPosition(++done);
    }
    source.setSkipAhead(true);
    if (std::string error; !report.finish(error))
        outcome.reportError = error;
    outcome.skippedNote = report.skippedNote();
    return outcome;
}
