#include "VolumeOptions.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "CliTerminal.h"
#include "app/Notifier.h"
#include "browser/FileSystemKind.h"
#include "browser/ReaderRegistry.h"
#include "disk/BootSectorProbe.h"
#include "disk/Partition.h"
#include "disk/readWriteInterface.h"
#include "output/OutputFolder.h"

void VolumeOptions::addTo(CLI::App& command) {
    command.add_option("SOURCE", source, "Block device or disk image")->required();
    auto* volumeOption = command.add_option("--volume", volume, "Row N of the standard partition walk");
    auto* gptOption = command.add_flag("--gpt", gpt, "Walk the GPT for --volume, whatever the MBR says");
    command.add_flag("--mbr", mbr, "Walk the MBR for --volume, even when it is protective")->excludes(gptOption);
    auto* startOption =
        command.add_option("--start-sector", startSector, "Volume starting at this 512-byte sector")->excludes(volumeOption);
    command.add_option("--size-mb", sizeMb, "Volume size in MiB (default: to the end)")->needs(startOption);
    command.add_option("--retry-time", retryTime,
                       "Seconds spent, over the whole run, reading failed pieces again sector by sector (default 120)")
        ->check(CLI::NonNegativeNumber);
    command.add_option("--bad-map", badMap, "Write the map of the source's unreadable ranges to FILE (ddrescue mapfile)");
}

void VolumeOptions::addReaderOptionsTo(CLI::App& command) {
    command.add_option("--fs", fs, "File system: " + fileSystemOptionNames());
    command.add_option("--mode", mode, "Recovery mode")->check(CLI::IsMember({"standard", "advanced", "deep", "journal"}));
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

constexpr std::int64_t kSector = 512;
}  // namespace

std::vector<VolumeRecord> standardVolumes(const VolumeOptions& options, PositionedSource& source) {
    Partition walk;
    walk.gptFlag = options.gpt ? 1 : 0;
    walk.mbrFlag = options.mbr ? 1 : 0;
    CollectVolumes found;
    walk.ownerPage = &found;
    walk.readPartitionTable(source);
    return found.records;
}

std::optional<ResolvedVolume> resolveVolume(const VolumeOptions& options, ApplicationState& app, Notifier& notifier) {
    if (!app.replaceAndOpenSource(options.source, &notifier)) {
        std::fprintf(stderr, "%s: %s\n", options.source.c_str(), app.currentSource->openFailure().c_str());
        explainOpenFailure(app.currentSource->openError());
        return std::nullopt;
    }
    app.formattedDrive = options.formatted ? 1 : 0;
    PositionedSource& source = *app.currentSource;
    source.setRetryTime(options.retryTime);
    if (!options.badMap.empty()) {
        const std::filesystem::path map = std::filesystem::absolute(options.badMap);
        std::error_code error;
        std::string refusal = std::filesystem::equivalent(map, options.source, error)
                                  ? "it is the source itself"
                                  : OutputFolder::refusal(map.parent_path().string(), options.source);
        if (refusal.empty() && std::filesystem::exists(std::filesystem::symlink_status(map, error)))
            refusal = "a file of that name exists already (a map is never written over one)";
        if (!refusal.empty()) {
            std::fprintf(stderr, "--bad-map %s: %s\n", options.badMap.c_str(), refusal.c_str());
            return std::nullopt;
        }
    }
    const std::int64_t sourceBytes = source.byteSize();
    if (sourceBytes <= 0) {
        std::fprintf(stderr, "%s: the source is empty\n", options.source.c_str());
        return std::nullopt;
    }
    ResolvedVolume resolved;
    if (options.volume >= 0) {
        const std::vector<VolumeRecord> found = standardVolumes(options, source);
        if (options.volume >= static_cast<int>(found.size())) {
            std::fprintf(stderr, "no volume %d on %s (%zu found)\n", options.volume, options.source.c_str(), found.size());
            return std::nullopt;
        }
        resolved.record = found[static_cast<std::size_t>(options.volume)];
        resolved.record.deviceName = std::to_string(options.volume);
    } else if (options.startSector >= 0) {
        resolved.record.startSector = options.startSector;
    }
    const std::int64_t startSector = resolved.record.startSector;
    if (startSector < 0 || startSector >= sourceBytes / kSector) {
        std::fprintf(stderr, "the volume starts at sector %lld, beyond the end of %s (%lld sectors)\n",
                     static_cast<long long>(startSector), options.source.c_str(),
                     static_cast<long long>(sourceBytes / kSector));
        return std::nullopt;
    }
    const std::int64_t startByte = startSector * kSector;
    const std::int64_t available = sourceBytes - startByte;
    resolved.byteLength = available;
    readWriteInterface cursor(SourceVolume(source, startByte));

    // What the volume claims: its table entry, or without --volume/--start-sector its boot sector.
    std::int64_t claimed = 0;
    if (options.volume >= 0) {
        claimed = resolved.record.sectorCount > INT64_MAX / kSector ? INT64_MAX : resolved.record.sectorCount * kSector;
    } else if (options.startSector < 0) {
        std::vector<unsigned char> first(1536, 0);
        cursor.readAt(0, first.data(), static_cast<std::uint32_t>(first.size()));
        const std::uint64_t bytes = boot_sector::claimedVolumeBytes(ByteView(first.data(), first.size()));
        claimed = bytes > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(bytes);
    }
    if (claimed > available) {
        // A truncated image still holds files: the way to read what is there is named.
        std::fprintf(stderr,
                     "%s holds %lld of the %lld sectors the volume at sector %lld claims; "
                     "--start-sector %lld reads the part that is there\n",
                     options.source.c_str(), static_cast<long long>(available / kSector),
                     static_cast<long long>(claimed / kSector), static_cast<long long>(startSector),
                     static_cast<long long>(startSector));
        return std::nullopt;
    }
    if (options.volume >= 0 && claimed > 0)
        resolved.byteLength = claimed;
    if (options.sizeMb >= 0 && options.sizeMb <= (INT64_MAX >> 20))
        resolved.byteLength = std::min<std::int64_t>(resolved.byteLength, options.sizeMb << 20);
    resolved.volume = SourceVolume(source, startByte, resolved.byteLength);
    cursor.setVolume(resolved.volume);
    if (!options.fs.empty()) {
        resolved.record.fileSystem = options.fs;
        resolved.record.kind = fileSystemKind(options.fs);
    } else if (options.volume < 0) {
        const boot_sector::VolumeProbe* probe = boot_sector::probeVolume(cursor);
        resolved.record.fileSystem = probe != nullptr ? probe->name : "Unknown";
        resolved.record.kind = probe != nullptr ? probe->kind : FileSystemKind::Unknown;
    }
    return resolved;
}
