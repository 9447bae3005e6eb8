#include "VolumeOptions.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <vector>

#include "CliTerminal.h"
#include "app/Notifier.h"
#include "disk/BootSectorProbe.h"
#include "disk/FileReadSeek.h"
#include "disk/Partition.h"

void VolumeOptions::addTo(CLI::App& command) {
    command.add_option("SOURCE", source, "Block device or disk image")->required();
    auto* volumeOption = command.add_option("--volume", volume, "Row N of the standard partition walk");
    command.add_flag("--gpt", gpt, "Walk the GPT instead of the MBR for --volume");
    auto* startOption =
        command.add_option("--start-sector", startSector, "Volume starting at this 512-byte sector")->excludes(volumeOption);
    command.add_option("--size-mb", sizeMb, "Volume size in MiB (default: to the end)")->needs(startOption);
    command.add_option("--fs", fs, "File system: ntfs, fat16, fat, fat32, fat64, exFat, extX, HFS+, RAW");
    command.add_option("--mode", mode, "Recovery mode")->check(CLI::IsMember({"standard", "advanced", "deep"}));
    command.add_option("--structure", structure, "Advanced: index of the found structure");
    command.add_option("--spc", spc, "Advanced: sectors per cluster (exFAT: the shift)");
    command.add_option("--heap", heap, "Advanced: exFAT heap offset index");
    command.add_option("--max", max, "Advanced: structures to find");
    command.add_flag("--formatted", formatted, "The drive was formatted");
}

namespace {
class CollectVolumes final : public VolumeSink {
public:
    void volumeFound(const VolumeRecord& record, bool) override { records.push_back(record); }
    std::vector<VolumeRecord> records;
};
}  // namespace

std::optional<ResolvedVolume> resolveVolume(const VolumeOptions& options, ApplicationState& app, Notifier& notifier) {
    if (!app.replaceAndOpenSource(options.source, &notifier)) {
        const auto* file = dynamic_cast<const FileReadSeek*>(app.currentSource.get());
        std::fprintf(stderr, "%s: %s\n", options.source.c_str(), file != nullptr ? file->openFailure().c_str() : "");
        explainOpenFailure(app.currentSource->lastError());
        return std::nullopt;
    }
    app.formattedDrive = options.formatted ? 1 : 0;
    readWriteInterface& source = *app.currentSource;
    const std::int64_t sourceBytes = source.byteSize();
    ResolvedVolume resolved;
    if (options.volume >= 0) {
        Partition walk;
        walk.gptFlag = options.gpt ? 1 : 0;
        CollectVolumes found;
        walk.ownerPage = &found;
        const int result = walk.readPartitionTable(source);
        if (options.volume >= static_cast<int>(found.records.size())) {
            std::fprintf(stderr, "no volume %d on %s (%zu found%s)\n", options.volume, options.source.c_str(),
                         found.records.size(), result != 0 ? ", the partition table could not be read whole" : "");
            return std::nullopt;
        }
        resolved.record = found.records[static_cast<std::size_t>(options.volume)];
        resolved.record.deviceName = std::to_string(options.volume);
    } else if (options.startSector >= 0) {
        resolved.record.startSector = options.startSector;
    }
    const std::int64_t startByte = resolved.record.startSector * 512;
    if (resolved.record.startSector < 0 || startByte >= sourceBytes) {
        std::fprintf(stderr, "the volume starts at sector %lld, beyond the end of %s (%lld sectors)\n",
                     static_cast<long long>(resolved.record.startSector), options.source.c_str(),
                     static_cast<long long>(sourceBytes / 512));
        return std::nullopt;
    }
    resolved.byteLength = sourceBytes - startByte;
    if (options.sizeMb >= 0)
        resolved.byteLength = std::min<std::int64_t>(resolved.byteLength, options.sizeMb * 1024 * 1024);
    source.setOriginOffset(startByte);
    if (!options.fs.empty())
        resolved.record.fileSystem = options.fs;
    else if (options.volume < 0)
        resolved.record.fileSystem = boot_sector::identifyVolume(source);
    source.setOriginOffset(startByte);
    source.seekTo(0);
    return resolved;
}
