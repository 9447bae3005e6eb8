#include <CLI/CLI.hpp>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "CliTerminal.h"
#include "Commands.h"
#include "CarvedFileJson.h"
#include "FoundFiles.h"
#include "OutputChoice.h"
#include "ReportOptions.h"
#include "SourceFaults.h"
#include "VolumeOptions.h"
#include "browser/FreeSpace.h"
#include "disk/readWriteInterface.h"
#include "output/OutputFolder.h"
#include "raw/CarvedFileGrade.h"
#include "raw/CarvedFileSaver.h"
#include "raw/CarvedSaveJob.h"
#include "raw/MemoryTree.h"
#include "raw/SignatureFile.h"
#include "raw/myJpg.h"

namespace {
struct CarveOptions {
    VolumeOptions volume;
    std::vector<std::string> signatureFiles;
    bool noDefault = false;
    std::string out;
    std::string format = "text";
    ReportOptions report;
    bool onlyWhole = false;
    bool freeSpace = false;
};

std::string jsonLine(const myJpg& engine, const CarvedFile& file, const std::string& name,
                     const std::optional<formats::PictureGrade>& grade, bool partial) {
    return carvedFileJson(file, name, engine.carvedFileCategory(file), engine.carvedFileType(file), grade, partial)
        .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

/// What --free-space searches: the volume's free space, or on a partitioned disk taken whole,
/// what its partitions leave free and what none of them covers.
FreeSpacePlan freeSpaceToCarve(const VolumeOptions& options, const ResolvedVolume& volume, ApplicationState& app,
                               StderrProgress& progress, Notifier& notifier) {
    const auto bytes = static_cast<std::uint64_t>(volume.byteLength);
    ReaderContext context{volume.volume, volume.record, volume.byteLength, app, progress, notifier, ScanMode::Standard, {}, nullptr, nullptr};
    const FileSystemKind kind = volume.record.kind;
    if (!hasReader(kind) && options.volume < 0 && options.startSector < 0) {
        const std::vector<VolumeRecord> partitions = standardVolumes(options, *app.currentSource);
        if (!partitions.empty())
            return diskFreeSpace(partitions, context);
    }
    if (!hasReader(kind))
        return {{{0, bytes}}, {"no file system a reader knows (" +
                               (volume.record.fileSystem.empty() ? std::string("none identified") : volume.record.fileSystem) +
                               "): the whole volume is searched"}};
    ScanResult scan = scanVolume(kind, context);
    if (!scan.view)
        return {{{0, bytes}}, {scanErrorText(scan.error) + ": the whole volume is searched"}};
    return volumeFreeSpace(*scan.view, bytes);
}

int runCarve(const CarveOptions& options) {
    if (!outputFolderUsable(options.out, options.volume.source) || !options.report.usable(options.volume.source))
        return 1;
    ApplicationState app;
    StderrNotifier notifier;
    myJpg engine;
    if (!loadCarveSignatures(engine, options.noDefault, options.signatureFiles, notifier))
        return 1;
    const auto volume = resolveVolume(options.volume, app, notifier);
    if (!volume)
        return 1;
    readWriteInterface source(volume->volume);
    std::string error;
    OutputFolder output = OutputFolder::open(options.out, options.volume.source, error);
    if (!output.isOpen()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    StderrProgress progress;
    notifier.progressLine = &progress;
    if (options.freeSpace) {
        progress.setStatus("Reading the allocation map...");
        const FreeSpacePlan plan = freeSpaceToCarve(options.volume, *volume, app, progress, notifier);
        progress.clearLine();
        for (const std::string& note : plan.notes)
            std::fprintf(stderr, "%s\n", note.c_str());
        engine.carvedSpans = plan.spans;
    }
    progress.setWorkBytes(engine.carvedSpans ? static_cast<std::int64_t>(spansBytes(*engine.carvedSpans)) : volume->byteLength);
    progress.setFoundCounter([&engine] { return static_cast<std::int64_t>(engine.carvedFileCount()); });
    MemoryTree tree;
    engine.ownerWindow = &progress;
    engine.notifier = &notifier;
    engine.treeControl = &tree;
    engine.sectorSource = &source;
    engine.volumeByteCount = volume->byteLength;
    progress.setStatus("Processing.....");
    if (!engine.runCarving())
        return 1;

    const std::uint64_t volumeStart = static_cast<std::uint64_t>(volume->record.startSector) * 512;
    RecoveryReport report(output.path(), options.report.skipIdentical);
    if (!options.report.start(report, options.volume.source, volumeStart))
        return 1;
    CarvedFileSaver saver(std::move(output));
    CarvedSaveJob job;
    job.items = allCarvedFiles(engine);
    job.volumeBytes = static_cast<std::uint64_t>(volume->byteLength);
    job.volumeOffset = volumeStart;
    job.onlyWhole = options.onlyWhole;
    job.gradeEvery = options.format == "jsonl";
    const CarvedSaveTotals totals = job.totals();
    const auto carvedBytes = static_cast<std::int64_t>(totals.bytes());
    progress.note("to write: " + std::to_string(job.items.size()) + " files, " + totals.text());
    std::size_t written = 0;
    job.fileDone = [&](const CarvedSaveItem& item, const CarvedFileResult& result) {
        written += result.written ? 1 : 0;
        if (!result.error.empty()) {
            progress.clearLine();
            std::fprintf(stderr, "%s\n", result.error.c_str());
        }
        if (options.format == "jsonl") {
            progress.clearLine();
            std::printf("%s\n", jsonLine(engine, item.file, item.name, result.grade, result.partial).c_str());
        }
    };
    progress.setWorkBytes(carvedBytes);
    progress.setFoundCounter([&written] { return static_cast<std::int64_t>(written); });
    progress.setStatus("Saving.....");
    StopFlag never;
    const CarvedSaveOutcome outcome = job.run(source, saver, report, never, progress);
    progress.clearLine();  // the result starts a line of its own when stdout is the terminal too
    if (!outcome.reportError.empty()) {
        std::fprintf(stderr, "%s\n", outcome.reportError.c_str());
        return 1;
    }
    const int status = finishReading(*app.currentSource, options.volume, "carve");
    const std::string result = std::to_string(outcome.written) + " files carved" + outcome.countsText();
    std::fprintf(options.format == "jsonl" ? stderr : stdout, "%s\n", result.c_str());
    return status;
}
}  // namespace

void registerCarveCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<CarveOptions>();
    auto* command = app.add_subcommand("carve", "Carve files out of a volume by their signatures");
    options->volume.addTo(*command);
    command->add_option("--signatures", options->signatureFiles, "A further signature settings file (repeatable)")
        ->allow_extra_args(false);
    command->add_flag("--no-default", options->noDefault, "Do not load the default signature set");
    command->add_option("--out", options->out, "Folder the carved files are written below")->required();
    command->add_option("--format", options->format, "Output form: the count, or one JSON object per carved file")
        ->check(CLI::IsMember({"text", "jsonl"}));
    options->report.addTo(*command);
    command->add_flag("--only-whole", options->onlyWhole, "Save no picture that does not decode whole (other files are saved)");
    command->add_flag("--free-space", options->freeSpace,
                      "Search only the space the file system holds free (on a whole disk, also what no partition covers)");
    command->callback([options, &exitCode] { exitCode = runCarve(*options); });
}
