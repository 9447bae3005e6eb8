#include "VolumeScan.h"

#include <cstdio>
#include <vector>

#include "CliTerminal.h"
#include "disk/PositionedSource.h"

bool scanSelectedVolume(const VolumeOptions& options, StderrProgress& progress, Notifier& notifier, ScannedVolume& scanned) {
    const std::optional<ResolvedVolume> volume = resolveVolume(options, scanned.app, notifier);
    if (!volume)
        return false;
    const FileSystemKind kind = volume->record.kind;
    if (!hasReader(kind) && options.volume < 0 &&
        options.startSector < 0 && options.fs.empty()) {
        const std::vector<VolumeRecord> rows = standardVolumes(options, *scanned.app.currentSource);
        if (!rows.empty()) {
            std::fprintf(stderr, "%s holds %zu volume%s; choose one with --volume N:\n", options.source.c_str(), rows.size(),
                         rows.size() == 1 ? "" : "s");
            for (const VolumeRecord& row : rows)
                std::fprintf(stderr, "  %s\t%s\t%s\t%lld\n", row.deviceName.c_str(), row.fileSystem.c_str(),
                             volumeSizeText(row).c_str(), static_cast<long long>(row.startSector));
            return false;
        }
    }
    if (!hasReader(kind)) {
        std::fprintf(stderr, "can not parse unknown volume: %s has no file system to list (%s); try carve\n",
                     options.source.c_str(), volume->record.fileSystem.empty() ? "none identified" : volume->record.fileSystem.c_str());
        return false;
    }
    const ScanMode mode = options.mode == "advanced" ? ScanMode::Advanced
                          : options.mode == "deep"   ? ScanMode::Deep
                          : options.mode == "journal" ? ScanMode::Journal
                                                     : ScanMode::Standard;
    // The advanced and deep walks go over the volume's bytes, so their share of them is the pace;
    // a standard (or journal) walk reads here and there, so the bytes the source has read are.
    const PositionedSource& source = *scanned.app.currentSource;
    if (mode == ScanMode::Advanced || mode == ScanMode::Deep)
        progress.setWorkBytes(volume->byteLength);
    else
        progress.setBytesCounter([&source] { return source.mediumBytesRead(); });
    progress.setFoundCounter([&progress] { return progress.entriesFound(); });
    ReaderContext& context = scanned.context.emplace(ReaderContext{
        volume->volume, volume->record, volume->byteLength, scanned.app, progress, notifier, mode,
        AdvancedChoice{options.structure, options.spc, options.heap, options.max}, nullptr});
    ScanResult scan = scanVolume(kind, context);
    scanned.view = std::move(scan.view);
    if (!scanned.view) {
        std::fprintf(stderr, "%s\n", scanErrorText(scan.error).c_str());
        return false;
    }
    return true;
}
