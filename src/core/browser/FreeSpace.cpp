#include "browser/FreeSpace.h"

#include <algorithm>


namespace {
constexpr std::uint64_t kSector = 512;
}

FreeSpacePlan volumeFreeSpace(EntryView& view, std::uint64_t volumeBytes) {
    const AllocationMap map = view.allocationMap();
    FreeSpacePlan plan;
    plan.spans = map.freeSpans(volumeBytes);
    if (!map.known())
        plan.notes.push_back(map.unreadable + ": the whole volume is searched");
    return plan;
}

FreeSpacePlan diskFreeSpace(const std::vector<VolumeRecord>& partitions, const ReaderContext& disk) {
    const auto diskBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(disk.volumeBytes, 0));
    FreeSpacePlan plan;
    std::vector<VolumeSpan> covered;
    std::vector<VolumeSpan> free;
    for (const VolumeRecord& record : partitions) {
        if (record.startSector < 0)
            continue;
        const std::uint64_t start = static_cast<std::uint64_t>(record.startSector) * kSector;
        if (start >= diskBytes)
            continue;
        const std::uint64_t claimed = record.sectorCount > 0 ? static_cast<std::uint64_t>(record.sectorCount) * kSector : diskBytes;
        const std::uint64_t bytes = std::min(claimed, diskBytes - start);
        covered.push_back({start, bytes});

        const FileSystemKind kind = record.kind;
        std::vector<VolumeSpan> inside{{0, bytes}};
        if (hasReader(kind)) {
            ReaderContext context = disk;
            context.volume = record;
            context.source = SourceVolume(*disk.source.source, disk.source.firstByte + static_cast<std::int64_t>(start),
                                          static_cast<std::int64_t>(bytes));
            context.volumeBytes = static_cast<std::int64_t>(bytes);
            context.mode = ScanMode::Standard;
            ScanResult scan = scanVolume(kind, context);
            const std::string where = "the volume at sector " + std::to_string(record.startSector);
            if (scan.view) {
                FreeSpacePlan part = volumeFreeSpace(*scan.view, bytes);
                inside = std::move(part.spans);
                for (const std::string& note : part.notes)
                    plan.notes.push_back(where + ": " + note);
            } else {
                plan.notes.push_back(where + ": its file system could not be read: the whole volume is searched");
            }
        }
        for (const VolumeSpan& span : inside)
            free.push_back({start + span.offset, span.length});
    }
    for (const VolumeSpan& gap : spansOutside(normalSpans(covered), diskBytes))
        free.push_back(gap);
    plan.spans = normalSpans(std::move(free));
    return plan;
}
