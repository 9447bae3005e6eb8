#pragma once
// An entry view narrowed to the entries a user picked (the checked items of the results tree),
// so the save walk writes exactly those, with their folders, and nothing else.

#include <functional>
#include <unordered_set>

#include "browser/EntryView.h"

class SelectionView final : public EntryView {
public:
    explicit SelectionView(EntryView& base) : base_(base) {}

    /// Includes entry (a file, or a folder on the way to one). The caller includes the folders
    /// above it too.
    void choose(EntryRef entry) { chosen_.insert(entry); }
    /// Includes folder with everything below it (a checked folder whose items were never read).
    void chooseWhole(EntryRef folder) {
        chosen_.insert(folder);
        whole_.insert(folder);
    }
    /// Includes the whole volume but the file system's own metadata files at its top level.
    void chooseEverything() { everything_ = true; }
    bool empty() const { return chosen_.empty() && !everything_; }

    /// Called before each file is written (the page shows its size).
    std::function<void(EntryRef entry)> beforeWrite;

    std::vector<EntryRef> topLevel() const override;
    std::vector<EntryRef> children(EntryRef folder) const override;
    bool isFolder(EntryRef entry, Placement where) const override { return base_.isFolder(entry, where); }
    bool isFile(EntryRef entry, Placement where) const override { return base_.isFile(entry, where); }
    bool isDeleted(EntryRef entry, bool parentDeleted) const override { return base_.isDeleted(entry, parentDeleted); }
    std::string name(EntryRef entry) const override { return base_.name(entry); }
    std::string saveName(EntryRef entry) const override { return base_.saveName(entry); }
    std::uint64_t byteSize(EntryRef entry) const override { return base_.byteSize(entry); }
    std::string entryType(EntryRef entry) const override { return base_.entryType(entry); }
    bool contentPartial(EntryRef entry) const override { return base_.contentPartial(entry); }
    EntryDetails details(EntryRef entry) const override { return base_.details(entry); }
    std::optional<FileExtents> extents(EntryRef entry) override { return base_.extents(entry); }
    std::unique_ptr<FileContent> open(EntryRef entry) override { return base_.open(entry); }
    bool writeContent(EntryRef entry, OutputFile& out) override {
        if (beforeWrite)
            beforeWrite(entry);
        return base_.writeContent(entry, out);
    }
    AllocationMap allocationMap() override { return base_.allocationMap(); }
    StopFlag& stopFlag() override { return base_.stopFlag(); }

private:
    std::vector<EntryRef> narrowed(const std::vector<EntryRef>& entries, bool all) const;

    EntryView& base_;
    std::unordered_set<EntryRef> chosen_;
    bool everything_ = false;
    mutable std::unordered_set<EntryRef> whole_;  // grows as whole folders' subfolders are met
};
