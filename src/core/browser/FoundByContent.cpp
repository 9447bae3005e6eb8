#include "browser/FoundByContent.h"

#include <map>

#include "app/ProgressSink.h"
#include "browser/EntryWalk.h"
#include "disk/readWriteInterface.h"
#include "raw/SignatureFile.h"
#include "raw/myJpg.h"

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

namespace {
/// The listing's entries as they are; refs with the top bit set are the found files' folders
/// and files (no reader keys its records that high).
class FoundFilesView final : public EntryView {
public:
    FoundFilesView(std::unique_ptr<EntryView> listing, const SourceVolume& volume, std::vector<CarvedSaveItem> found)
        : base_(std::move(listing)), cursor_(volume), items_(std::move(found)) {
        if (items_.empty())
            return;
        nodes_.push_back({kFoundByContentFolder, true, {}, -1});
        std::map<std::string, std::size_t> byType;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const std::string& type = items_[i].category.empty() ? std::string("Other") : items_[i].category;
            auto [at, made] = byType.emplace(type, nodes_.size());
            if (made) {
                nodes_[0].children.push_back(kMark | nodes_.size());
                nodes_.push_back({type, true, {}, -1});
            }
            nodes_[at->second].children.push_back(kMark | nodes_.size());
            nodes_.push_back({items_[i].name, false, {}, static_cast<std::int64_t>(i)});
        }
    }

    std::vector<EntryRef> topLevel() const override {
        std::vector<EntryRef> top = base_->topLevel();
        if (!nodes_.empty())
            top.push_back(kMark);
        return top;
    }
    std::vector<EntryRef> children(EntryRef folder) const override {
        return mine(folder) ? node(folder).children : base_->children(folder);
    }
    bool isFolder(EntryRef entry, Placement where) const override {
        return mine(entry) ? node(entry).folder : base_->isFolder(entry, where);
    }
    bool isFile(EntryRef entry, Placement where) const override {
        return mine(entry) ? !node(entry).folder : base_->isFile(entry, where);
    }
    bool isDeleted(EntryRef entry, bool parentDeleted) const override {
        return mine(entry) ? !node(entry).folder : base_->isDeleted(entry, parentDeleted);
    }
    std::string name(EntryRef entry) const override { return mine(entry) ? node(entry).name : base_->name(entry); }
    std::string saveName(EntryRef entry) const override { return mine(entry) ? node(entry).name : base_->saveName(entry); }
    std::uint64_t byteSize(EntryRef entry) const override {
        const CarvedSaveItem* item = itemOf(entry);
        return item != nullptr ? item->file.length() : mine(entry) ? 0 : base_->byteSize(entry);
    }
    EntryDetails details(EntryRef entry) const override { return mine(entry) ? EntryDetails{} : base_->details(entry); }
    std::optional<FileExtents> extents(EntryRef entry) override {
        if (!mine(entry))
            return base_->extents(entry);
        const CarvedSaveItem* item = itemOf(entry);
        if (item == nullptr)
            return std::nullopt;
        FileExtents extents;
        std::uint64_t at = 0;
        for (const CarvedRun& run : item->file.runs) {
            extents.append(at, run.length, run.start);
            at += run.length;
        }
        extents.length = at;
        return extents;
    }
    std::unique_ptr<FileContent> open(EntryRef entry) override {
        if (!mine(entry))
            return base_->open(entry);
        std::optional<FileExtents> extents = this->extents(entry);
        return extents ? std::make_unique<ExtentContent>(cursor_, std::move(*extents), ContentTimes{}) : nullptr;
    }
    bool writeContent(EntryRef entry, OutputFile& out) override {
        return mine(entry) ? EntryView::writeContent(entry, out) : base_->writeContent(entry, out);
    }
    std::string entryType(EntryRef entry) const override { return mine(entry) ? std::string() : base_->entryType(entry); }
    bool contentPartial(EntryRef entry) const override { return !mine(entry) && base_->contentPartial(entry); }
    bool isVolumeMetadata(EntryRef entry) const override { return !mine(entry) && base_->isVolumeMetadata(entry); }
    AllocationMap allocationMap() override { return base_->allocationMap(); }
    StopFlag& stopFlag() override { return base_->stopFlag(); }

private:
    static constexpr EntryRef kMark = EntryRef{1} << 63;
    struct Node {
        std::string name;
        bool folder = false;
        std::vector<EntryRef> children;
        std::int64_t item = -1;  ///< the found file's index, -1 for folders
    };
    static bool mine(EntryRef entry) { return (entry & kMark) != 0; }
    const Node& node(EntryRef entry) const {
        static const Node none;
        const EntryRef index = entry & ~kMark;
        return index < nodes_.size() ? nodes_[index] : none;
    }
    const CarvedSaveItem* itemOf(EntryRef entry) const {
        if (!mine(entry))
            return nullptr;
        const Node& n = node(entry);
        return n.item >= 0 ? &items_[static_cast<std::size_t>(n.item)] : nullptr;
    }

    std::unique_ptr<EntryView> base_;
    readWriteInterface cursor_;
    std::vector<CarvedSaveItem> items_;
    std::vector<Node> nodes_;  ///< [0]: the "Found by content" folder, then type folders and files
};
}  // namespace

std::unique_ptr<EntryView> withFoundFiles(std::unique_ptr<EntryView> listing, const SourceVolume& volume,
                                          std::vector<CarvedSaveItem> found) {
    return std::make_unique<FoundFilesView>(std::move(listing), volume, std::move(found));
}

ScanResult scanEverything(FileSystemKind kind, ReaderContext& context) {
    ReaderContext standard = context;
    standard.mode = ScanMode::Standard;
    ScanResult result = scanVolume(kind, standard);
    if (!result.view || result.view->stopFlag().isSet())
        return result;
    myJpg engine;
    loadSignatureFile(defaultSignatureFilePath(), SignatureFileRole::Default, engine, context.notifier);
    if (engine.signatureCount() == 0)
        return result;  // nothing to search with: the listing alone
    const auto volumeBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(context.volumeBytes, 0));
    context.progress.setStatus("Noting where the listed files lie...");
    const ListedFiles listed(*result.view);
    const FreeSpacePlan plan = spaceAfterListing(*result.view, listed, volumeBytes);
    readWriteInterface cursor(context.source);
    engine.ownerWindow = &context.progress;
    engine.sectorSource = &cursor;
    engine.volumeByteCount = context.volumeBytes;
    engine.carvedSpans = plan.spans;
    context.readerInput().attach(engine.stopFlag);
    context.progress.setStatus(plan.notes.empty() ? "Searching the free space for files by their content..."
                                                  : plan.notes.front());
    std::vector<CarvedSaveItem> found;
    if (engine.runCarving())
        found = itemsNotListed(allCarvedFiles(engine), listed);
    result.view = withFoundFiles(std::move(result.view), context.source, std::move(found));
    return result;
}
