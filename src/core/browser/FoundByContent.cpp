#include "browser/FoundByContent.h"

#include "browser/EntryWalk.h"

ListedFiles::ListedFiles(EntryView& view) {
    std::vector<VolumeSpan> live;
    walkEntries(view, WalkStart{}, [&](const WalkItem& item, std::string&) {
        if (item.folder)
            return true;
        const std::optional<FileExtents> extents = view.extents(item.entry);
        if (!extents)
            return false;
        ++files_;
        std::vector<VolumeSpan> stored;
        std::uint64_t expected = 0;  // the file offset the next stored run must begin at to continue a prefix
        bool prefix = !extents->encoded;
        for (const Extent& run : extents->runs) {
            if (run.hole() || run.fileOffset != expected)
                prefix = false;
            if (!run.hole()) {
                if (!item.deleted)
                    live.push_back({*run.volumeOffset, run.length});
                if (prefix)
                    stored.push_back({*run.volumeOffset, run.length});
            }
            expected = run.fileOffset + run.length;
        }
        // Only the part of a file stored from its first byte on, without holes, is compared.
        if (!stored.empty())
            byFirstByte_.emplace(stored.front().offset, std::move(stored));
        return false;
    });
    live_ = normalSpans(std::move(live));
}

bool ListedFiles::holds(std::span<const CarvedRun> runs) const {
    if (runs.empty())
        return false;
    const auto [first, last] = byFirstByte_.equal_range(runs.front().start);
    for (auto it = first; it != last; ++it) {
        const std::vector<VolumeSpan>& file = it->second;
        // Walk both in file order: every carved byte must lie where the file keeps that byte.
        std::size_t k = 0;
        std::uint64_t into = 0;  // bytes of file[k] already matched
        bool same = true;
        for (const CarvedRun& run : runs) {
            std::uint64_t at = run.start, left = run.length;
            while (left > 0 && same) {
                if (k >= file.size() || file[k].offset + into != at) {
                    same = false;
                    break;
                }
                const std::uint64_t piece = std::min(left, file[k].length - into);
                at += piece;
                left -= piece;
                into += piece;
                if (into == file[k].length) {
                    ++k;
                    into = 0;
                }
            }
            if (!same)
                break;
        }
        if (same)
            return true;
    }
    return false;
}

FreeSpacePlan spaceAfterListing(EntryView& view, const ListedFiles& listed, std::uint64_t volumeBytes) {
    FreeSpacePlan plan = volumeFreeSpace(view, volumeBytes);
    plan.spans = spansMinus(plan.spans, listed.liveSpace());
    return plan;
}

std::vector<CarvedSaveItem> itemsNotListed(std::vector<CarvedSaveItem> carved, const ListedFiles& listed) {
    std::erase_if(carved, [&](const CarvedSaveItem& item) { return listed.holds(item.file.runs); });
    return carved;
}
