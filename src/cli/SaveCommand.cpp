#include <CLI/CLI.hpp>
#include <cstdio>

#include "CliTerminal.h"
#include "FoundFiles.h"
#include "Commands.h"
#include "OutputChoice.h"
#include "ReportOptions.h"
#include "SourceFaults.h"
#include "VolumeScan.h"
#include "browser/EntryWalk.h"
#include "browser/RecycleBinNames.h"
#include "browser/SaveJob.h"
#include "browser/SelectionView.h"
#include "output/OutputFolder.h"
#include "output/RunSummary.h"
#include "raw/CarvedFileSaver.h"

namespace {
struct SaveOptions {
    VolumeOptions volume;
    std::string out;
    std::string folder;
    ReportOptions report;
    bool onlyWhole = false;
    bool withFound = false;
};

/// Writes the files found by content into out's "Found by content" folder, one folder per type,
/// entering them in report and finishing it.
CarvedSaveOutcome saveFoundFiles(const FoundFiles& found, const OutputFolder& out, RecoveryReport& report, bool onlyWhole,
                                 StderrProgress& progress) {
    CarvedSaveJob job;
    job.items = found.items;
    job.volumeBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(found.engine->volumeByteCount, 0));
    job.volumeOffset = static_cast<std::uint64_t>(found.source->originOffset());
    job.onlyWhole = onlyWhole;
    std::string error;
    OutputFolder folder = job.items.empty() ? OutputFolder() : out.subfolder(kFoundByContentFolder, error);
    if (!job.items.empty() && !folder.isOpen()) {
        CarvedSaveOutcome outcome;
        outcome.failures.push_back(std::string(kFoundByContentFolder) + ": " + error);
        report.finish(outcome.reportError);
        return outcome;
    }
    CarvedFileSaver saver(std::move(folder));
    job.fileDone = [&](const CarvedSaveItem&, const CarvedFileResult& result) {
        if (!result.error.empty()) {
            progress.clearLine();
            std::fprintf(stderr, "%s\n", result.error.c_str());
        }
    };
    progress.setWorkBytes(static_cast<std::int64_t>(job.totals().bytes()));
    progress.setStatus("Saving the files found by content.....");
    StopFlag never;
    return job.run(*found.source, saver, report, never, progress);
}

int runSave(const SaveOptions& options) {
    if (!outputFolderUsable(options.out, options.volume.source) || !options.report.usable(options.volume.source))
        return 1;
    StderrProgress progress;
    StderrNotifier notifier;
    notifier.progressLine = &progress;
    ScannedVolume scanned;
    if (!scanSelectedVolume(options.volume, progress, notifier, scanned))
        return 1;
    EntryView& view = *scanned.view;
    restoreRecycleBinNames(view, scanned.context->volume.kind);

    // Folders of one path (a live and a deleted copy) are all saved, into one output folder.
    std::vector<SaveStart> starts;
    if (options.folder.empty() || options.folder == "/") {
        starts.push_back({});
    } else {
        for (const FoundFolder& found : findFolders(view, options.folder))
            starts.push_back({found.entry, found.deleted});
        if (starts.empty()) {
            std::fprintf(stderr, "no folder %s on the volume (a path as list prints it)\n", options.folder.c_str());
            return 1;
        }
    }
    std::string error;
    const OutputFolder output = OutputFolder::open(options.out, options.volume.source, error);
    if (!output.isOpen()) {
        std::fprintf(stderr, "select output folder: %s\n", error.c_str());
        return 1;
    }

    std::optional<FoundFiles> found;
    if (options.withFound) {
        found = findFilesByContent(view, *scanned.context, progress, notifier);
        if (!found->source)
            return 1;
    }

    // The whole volume leaves out the file system's own metadata files; --folder names them.
    SelectionView wholeVolume(view);
    wholeVolume.chooseEverything();
    EntryView& saved = options.folder.empty() || options.folder == "/" ? static_cast<EntryView&>(wholeVolume) : view;
    std::int64_t files = 0;
    std::int64_t bytes = 0;
    for (const SaveStart& start : starts) {
        files += countFiles(saved, start.folder);
        bytes += bytesOfFiles(saved, start.folder);
    }
    progress.setRange(0, files);
    progress.setWorkBytes(bytes);
    RecoveryReport report(output.path(), options.report.skipIdentical);
    const auto volumeOffset = static_cast<std::uint64_t>(scanned.context->volume.startSector) * 512;
    if (!options.report.start(report, options.volume.source, volumeOffset))
        return 1;
    SaveJob job(saved, *scanned.app.currentSource, progress);
    job.reportTo(report, volumeOffset);
    if (options.onlyWhole)
        job.keepOnlyWhole();
    if (found)
        job.leaveReportOpen();
    progress.setFoundCounter([&job] { return job.written(); });
    SaveOutcome outcome = job.run(starts, output);
    std::int64_t carvedPartial = 0;
    progress.setPosition(files);
    if (found && !outcome.stopped) {
        const CarvedSaveOutcome carved = saveFoundFiles(*found, output, report, options.onlyWhole, progress);
        outcome.written += carved.written;
        outcome.failed += static_cast<std::int64_t>(carved.failures.size());
        outcome.notWhole += carved.notWhole;
        outcome.notes = carved.skippedNote + outcome.notes;
        outcome.reportError = carved.reportError;
        if (outcome.firstFailure.empty() && !carved.failures.empty())
            outcome.firstFailure = carved.failures.front();
        carvedPartial = carved.partial;
        outcome.notes += foundByContentText(carved.written);
    }
    progress.setStatus("work done");
    progress.clearLine();  // the result starts a line of its own when stdout is the terminal too
    if (!outcome.reportError.empty()) {
        std::fprintf(stderr, "%s\n", outcome.reportError.c_str());
        return 1;
    }
    const int status = finishReading(*scanned.app.currentSource, options.volume, "save");
    if (outcome.failed > 0)
        std::fprintf(stderr, "%lld files could not be written; the first: %s\n", static_cast<long long>(outcome.failed),
                     outcome.firstFailure.c_str());
    std::printf("%lld files written, %lld failed%s\n", static_cast<long long>(outcome.written),
                static_cast<long long>(outcome.failed),
                runCountsText(static_cast<std::int64_t>(outcome.partialFiles.size()) + carvedPartial, outcome.notes,
                              outcome.onlyWhole ? std::optional(outcome.notWhole) : std::nullopt)
                    .c_str());
    return status;
}
}  // namespace

void registerSaveCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<SaveOptions>();
    auto* command = app.add_subcommand("save", "Write the files of a volume of SOURCE, deleted ones included, below DIR");
    options->volume.addTo(*command);
    options->volume.addReaderOptionsTo(*command);
    command->add_option("--out", options->out, "Output folder (made when missing)")->required();
    command->add_option("--folder", options->folder, "Only this folder's content (a path as list prints it)");
    options->report.addTo(*command);
    auto* folderOption = command->get_option("--folder");
    command->add_flag("--only-whole", options->onlyWhole, "Save no deleted picture that does not decode whole (other files are saved)");
    command->add_flag("--with-found", options->withFound,
                      "Also search the free space for files by their content and save those the file system no longer "
                      "lists into DIR/" + std::string(kFoundByContentFolder) + "/<type>/")
        ->excludes(folderOption);
    command->callback([options, &exitCode] { exitCode = runSave(*options); });
}
