#include "browser/ExtJournalView.h"

#include "fs/ext/ExtDeletedFiles.h"
#include "fs/ext/ExtLayout.h"

namespace {
using Content = ExtDeletedEntry::Content;

/// Why a deleted file has nothing to save, or empty when it has.
const char* lostContent(const ExtDeletedEntry& e) {
    if (e.folder)
        return nullptr;
    switch (e.content) {
    case Content::NotFound: return "content not found";
    case Content::Overwritten: return "overwritten";
    case Content::Found:
    case Content::Partial: return nullptr;
    }
    return nullptr;
}

class ExtJournalView final : public EntryView {
public:
    ExtJournalView(std::unique_ptr<EntryView> live, std::unique_ptr<ExtDeletedFiles> deleted)
        : live_(std::move(live)), deleted_(std::move(deleted)) {}

    std::vector<EntryRef> topLevel() const override { return withDeleted(live_->topLevel(), 2); }
    std::vector<EntryRef> children(EntryRef folder) const override {
        if (deleted_->entry(folder) != nullptr)
            return deleted_->childrenOf(folder);
        return withDeleted(live_->children(folder), folder);
    }
    bool isFolder(EntryRef entry, Placement where) const override {
        const ExtDeletedEntry* e = deleted_->entry(entry);
        return e != nullptr ? e->folder : live_->isFolder(entry, where);
    }
    bool isFile(EntryRef entry, Placement where) const override {
        const ExtDeletedEntry* e = deleted_->entry(entry);
        return e != nullptr ? !e->folder : live_->isFile(entry, where);
    }
    bool isDeleted(EntryRef entry, bool parentDeleted) const override {
        return deleted_->entry(entry) != nullptr || live_->isDeleted(entry, parentDeleted);
    }
    std::string name(EntryRef entry) const override {
        const ExtDeletedEntry* e = deleted_->entry(entry);
        return e != nullptr ? e->name : live_->name(entry);
    }
    std::uint64_t byteSize(EntryRef entry) const override {
        const ExtDeletedEntry* e = deleted_->entry(entry);
        return e != nullptr ? e->size : live_->byteSize(entry);
    }
    EntryDetails details(EntryRef entry) const override {
        const ExtDeletedEntry* e = deleted_->entry(entry);
        if (e == nullptr)
            return live_->details(entry);
        // The change time of a deleted inode is when it was deleted: the creation time stays unknown.
        EntryDetails details;
        if (e->timesKnown) {
            details.accessed = EntryTime::instant(e->accessTime);
            details.modified = EntryTime::instant(e->modifyTime);
        }
        if (const char* lost = lostContent(*e))
            details.attributes = lost;
        else if (e->content == Content::Partial)
            details.attributes = "partly overwritten";
        return details;
    }
    std::string entryType(EntryRef entry) const override {
        const ExtDeletedEntry* e = deleted_->entry(entry);
        if (e == nullptr)
            return live_->entryType(entry);
        const char* lost = lostContent(*e);
        return lost != nullptr ? lost : std::string();
    }
    bool contentPartial(EntryRef entry) const override {
        const ExtDeletedEntry* e = deleted_->entry(entry);
        return e != nullptr ? e->content == Content::Partial : live_->contentPartial(entry);
    }
    std::optional<FileExtents> extents(EntryRef entry) override {
        const ExtDeletedEntry* e = deleted_->entry(entry);
        if (e == nullptr)
            return live_->extents(entry);
        return savable(*e) ? std::optional(deleted_->extents(*e)) : std::nullopt;
    }
    std::unique_ptr<FileContent> open(EntryRef entry) override {
        const ExtDeletedEntry* e = deleted_->entry(entry);
        if (e == nullptr)
            return live_->open(entry);
        return savable(*e) ? deleted_->open(*e) : nullptr;
    }
    AllocationMap allocationMap() override { return live_->allocationMap(); }
    StopFlag& stopFlag() override { return live_->stopFlag(); }

private:
    static bool savable(const ExtDeletedEntry& e) { return !e.folder && lostContent(e) == nullptr; }
    std::vector<EntryRef> withDeleted(std::vector<EntryRef> entries, EntryRef folder) const {
        const std::vector<std::uint64_t>& more = deleted_->childrenOf(folder);
        entries.insert(entries.end(), more.begin(), more.end());
        return entries;
    }

    std::unique_ptr<EntryView> live_;
    std::unique_ptr<ExtDeletedFiles> deleted_;
};
}  // namespace

std::unique_ptr<EntryView> makeExtJournalView(std::unique_ptr<EntryView> live, std::unique_ptr<ExtDeletedFiles> deleted) {
    return std::make_unique<ExtJournalView>(std::move(live), std::move(deleted));
}
