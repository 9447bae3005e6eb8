#include <CLI/CLI.hpp>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "CliTerminal.h"
#include "Commands.h"
#include "CarvedFileJson.h"
#include "OutputChoice.h"
#include "ReportOptions.h"
#include "SourceFaults.h"
#include "VolumeOptions.h"
#include "output/OutputFolder.h"
#include "raw/CarvedFileGrade.h"
#include "raw/CarvedFileSaver.h"
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
};

std::string jsonLine(const myJpg& engine, const CarvedFile& file, const std::string& name,
                     const std::optional<formats::PictureGrade>& grade, bool partial) {
    return carvedFileJson(file, name, engine.carvedFileCategory(file), engine.carvedFileType(file), grade, partial)
        .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

int runCarve(const CarveOptions& options) {
    if (!outputFolderUsable(options.out, options.volume.source) || !options.report.usable(options.volume.source))
        return 1;
    ApplicationState app;
    StderrNotifier notifier;
    myJpg engine;
    if (!options.noDefault) {
        const std::string path = defaultSignatureFilePath();
        const SignatureLoad load = loadSignatureFile(path, SignatureFileRole::Default, engine, notifier);
        if (load.status == SignatureLoadStatus::NotOpened)
            std::fprintf(stderr, "the default signature set %s could not be opened\n", path.c_str());
    }
    for (const std::string& path : options.signatureFiles) {
        if (loadSignatureFile(path, SignatureFileRole::User, engine, notifier).status != SignatureLoadStatus::Loaded)
            return 1;
    }
    if (engine.signatureCount() == 0) {
        std::fprintf(stderr, "no signatures to carve with\n");
        return 1;
    }
    const auto volume = resolveVolume(options.volume, app, notifier);
    if (!volume)
        return 1;
    readWriteInterface& source = *app.currentSource;
    std::string error;
    OutputFolder output = OutputFolder::open(options.out, error);
    if (!output.isOpen()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }

    StderrProgress progress;
    notifier.progressLine = &progress;
    progress.setWorkBytes(volume->byteLength);
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
    // The engine has read again what its scan skipped; the copies skip nothing, so a file holds
    // zeros only where the medium really failed.
    source.setSkipAhead(false);

    const std::uint64_t volumeStart = static_cast<std::uint64_t>(volume->record.startSector) * 512;
    RecoveryReport report(output.path(), options.report.skipIdentical);
    if (!options.report.start(report, options.volume.source, volumeStart))
        return 1;
    CarvedFileSaver saver(std::move(output));
    const auto volumeBytes = static_cast<std::uint64_t>(volume->byteLength);
    std::size_t written = 0;
    std::size_t notWhole = 0;
    std::size_t partial = 0;
    const std::vector<CarvedFile> files = engine.carvedFiles();
    std::int64_t carvedBytes = 0;
    for (const CarvedFile& file : files)
        carvedBytes += static_cast<std::int64_t>(file.length());
    progress.setWorkBytes(carvedBytes);
    progress.setFoundCounter([&written] { return static_cast<std::int64_t>(written); });
    progress.setStatus("Saving.....");
    progress.setRange(0, static_cast<std::int64_t>(files.size()));
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.setPosition(static_cast<std::int64_t>(i));
        const CarvedFile& file = files[i];
        std::string path;
        const std::string name = engine.carvedFileName(file);
        std::optional<formats::PictureGrade> grade;
        bool partialFile = false;
        if (options.format == "jsonl" || options.onlyWhole || report.active())
            grade = gradeCarvedFile(source, volumeBytes, file, engine.carvedFileType(file));
        if (options.onlyWhole && grade && grade->health != formats::Health::Whole) {
            ++notWhole;
        } else if (saver.save(source, file, volumeBytes, engine.carvedFileCategory(file), name, path, error)) {
            partialFile = saver.lastSavePartial();
            ReportRecord record = carvedFileRecord(file, volumeStart, volumeBytes);
            if (grade)
                record.grade = formats::gradeSummary(*grade);
            record.partial = partialFile;
            if (report.fileWritten(path, std::move(record), false)) {
                ++written;
                partial += partialFile ? 1 : 0;
            }
        } else {
            progress.clearLine();
            std::fprintf(stderr, "%s\n", error.c_str());
        }
        if (options.format == "jsonl") {
            progress.clearLine();
            std::printf("%s\n", jsonLine(engine, file, name, grade, partialFile).c_str());
        }
    }
    progress.setPosition(static_cast<std::int64_t>(files.size()));
    progress.clearLine();  // the result starts a line of its own when stdout is the terminal too
    if (!report.finish(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const int status = finishReading(source, options.volume, "carve");
    std::string result = std::to_string(written) + " files carved";
    if (partial > 0)
        result += ", " + std::to_string(partial) + " partial";
    result += report.skippedNote();
    if (options.onlyWhole)
        result += ", " + std::to_string(notWhole) + " pictures left out as not whole";
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
    command->callback([options, &exitCode] { exitCode = runCarve(*options); });
}
