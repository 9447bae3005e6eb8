#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstring>

#include "CliTerminal.h"
#include "Commands.h"
#include "SourceFaults.h"
#include "app/ApplicationState.h"
#include "disk/Partition.h"

namespace {
struct PartitionsOptions {
    std::string source;
    bool gpt = false;
    bool mbr = false;
    bool advanced = false;
    bool noSkip = false;
    std::int64_t startSector = 0;
    std::int64_t endSector = 0;
};

/// Prints each find as the volume list page shows it, in delivery order.
class PrintVolumes final : public VolumeSink {
public:
    void volumeFound(const VolumeRecord& r, bool) override {
        ++found;
        if (line != nullptr)
            line->clearLine();
        std::printf("%s\t%s\t%s\t%lld\n", r.deviceName.c_str(), r.fileSystem.c_str(), volumeSizeText(r).c_str(),
                    static_cast<long long>(r.startSector));
        std::fflush(stdout);
    }
    std::int64_t found = 0;
    StderrProgress* line = nullptr;
};

int runPartitions(const PartitionsOptions& options) {
    ApplicationState app;
    StderrNotifier notifier;
    if (!app.replaceAndOpenSource(options.source, &notifier)) {
        const PositionedSource& source = *app.currentSource;
        std::fprintf(stderr, "file not opened..\n%s: %s\n", options.source.c_str(), source.openFailure().c_str());
        explainOpenFailure(source.openError());
        return 1;
    }
    if (app.currentSource->byteSize() <= 0) {
        std::fprintf(stderr, "%s: the source is empty\n", options.source.c_str());
        return 1;
    }
    StderrProgress progress;
    notifier.progressLine = &progress;
    PrintVolumes rows;
    rows.line = &progress;
    // The advanced scan's range is the whole device (its position is the sector over the device's count).
    progress.setWorkBytes(app.deviceSectorCount * 512);
    progress.setFoundCounter([&rows] { return rows.found; });
    Partition walk;
    walk.statusLine = &progress;
    walk.ownerPage = &rows;
    walk.deviceSectorCount = app.deviceSectorCount;
    int result = 0;
    if (options.advanced) {
        walk.skipVolume = options.noSkip ? 0 : 1;
        walk.customStartSector = options.startSector;
        walk.customEndSector = options.endSector;
        result = walk.scanForVolumes(*app.currentSource);
        progress.setStatus("Scanned Partitions");
        if (result == 1)
            result = 0;
    } else {
        walk.gptFlag = options.gpt ? 1 : 0;
        walk.mbrFlag = options.mbr ? 1 : 0;
        result = walk.readPartitionTable(*app.currentSource);
        // Said whether stderr is a terminal or not: no rows is an answer only with its reason.
        if (walk.foundNoTable())
            std::fprintf(stderr, "%s: no partition table found; list, save and carve read it as one volume\n",
                         options.source.c_str());
    }
    if (result != 0)
        std::fprintf(stderr, "read error: %s\n", std::strerror(result));
    progress.setStatus("Finished Scanning.");
    progress.clearLine();
    return reportReading(*app.currentSource, options.source);
}
}  // namespace

void registerPartitionsCommand(CLI::App& app, int& exitCode) {
    auto options = std::make_shared<PartitionsOptions>();
    auto* command = app.add_subcommand("partitions", "List the volumes found on SOURCE");
    command->add_option("SOURCE", options->source, "Block device or disk image")->required();
    auto* gpt = command->add_flag("--gpt", options->gpt, "Read the GPT, whatever the MBR says");
    command->add_flag("--mbr", options->mbr, "Read the MBR, even when it is protective")->excludes(gpt);
    auto* advanced = command->add_flag("--advanced", options->advanced, "Search every sector for boot sectors");
    command->add_flag("--no-skip", options->noSkip, "Do not jump over found volumes")->needs(advanced);
    command->add_option("--start-sector", options->startSector, "First sector of the search")->needs(advanced);
    command->add_option("--end-sector", options->endSector, "Last sector of the search")->needs(advanced);
    command->callback([options, &exitCode] { exitCode = runPartitions(*options); });
}
