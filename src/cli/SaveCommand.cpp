#include <CLI/CLI.hpp>
#include <cstdio>

#include "CliTerminal.h"
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

namespace {
struct SaveOptions {
    VolumeOptions volume;
    std::string out;
    std::string folder;
    ReportOptions report;
    bool onlyWhole = false;
};

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
    progress.setFoundCounter([&job] { return job.written(); });
    const SaveOutcome outcome = job.run(starts, output);
    progress.setPosition(files);
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
                static_cast<long long>(outcome.failed), outcome.countsText().c_str());
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
    command->add_flag("--only-whole", options->onlyWhole, "Save no deleted picture that does not decode whole (other files are saved)");
    command->callback([options, &exitCode] { exitCode = runSave(*options); });
}
