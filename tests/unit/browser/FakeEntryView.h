#pragma once
// An entry view over a table of entries, for testing the browser's walks without a reader.
// Entry refs are the table's keys; 0 is the volume's top level. Deleted follows the FAT rule:
// a file is shown deleted when it or the folder it is met in is deleted.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/StopFlag.h"
#include "browser/EntryView.h"
#include "output/OutputFile.h"

class FakeEntryView final : public EntryView {
public:
    struct Entry {
        EntryRef parent = 0;
        std::string name;
        bool folder = false;
        bool deleted = false;
        std::string content;
    };

    EntryRef add(EntryRef parent, const std::string& name, bool folder, bool deleted = false, std::string content = "") {
        const EntryRef ref = next_++;
        entries_[ref] = Entry{parent, name, folder, deleted, std::move(content)};
        order_[parent].push_back(ref);
        return ref;
    }
    EntryRef folder(EntryRef parent, const std::string& name, bool deleted = false) { return add(parent, name, true, deleted); }
    EntryRef file(EntryRef parent, const std::string& name, std::string content = "x", bool deleted = false) {
        return add(parent, name, false, deleted, std::move(content));
    }
    /// A crafted link: child also appears under parent.
    void link(EntryRef parent, EntryRef child) { order_[parent].push_back(child); }

    std::vector<EntryRef> topLevel() const override { return childrenOf(0); }
    std::vector<EntryRef> children(EntryRef folder) const override { return childrenOf(folder); }
    bool isFolder(EntryRef entry, Placement) const override { return entries_.at(entry).folder; }
    bool isFile(EntryRef entry, Placement) const override { return !entries_.at(entry).folder; }
    bool isDeleted(EntryRef entry, bool parentDeleted) const override {
        const Entry& e = entries_.at(entry);
        return e.deleted || (!e.folder && parentDeleted);
    }
    std::string name(EntryRef entry) const override { return entries_.at(entry).name; }
    std::uint64_t byteSize(EntryRef entry) const override { return entries_.at(entry).content.size(); }
    EntryDetails details(EntryRef entry) const override {
        const auto at = EntryTime::instant(1600000000 + static_cast<std::int64_t>(entry));
        return {at, EntryTime{}, at, entries_.at(entry).deleted ? "-A" : ""};
    }
    std::optional<FileExtents> extents(EntryRef entry) override {
        if (const auto at = placed.find(entry); at != placed.end())
            return at->second;
        FileExtents extents;
        extents.length = entries_.at(entry).content.size();
        return extents;
    }
    std::unique_ptr<FileContent> open(EntryRef entry) override {
        const std::string& content = entries_.at(entry).content;
        return std::make_unique<MemoryContent>(std::vector<std::uint8_t>(content.begin(), content.end()));
    }
    bool writeContent(EntryRef entry, OutputFile& out) override {
        writes.push_back(out.path());
        if (failing.count(entry) != 0)
            return false;
        const std::string& content = entries_.at(entry).content;
        const bool ok = out.write(content.data(), content.size());
        if (writes.size() == stopAfterWrites)
            stop.set();
        return out.finish() && ok;
    }
    StopFlag& stopFlag() override { return stop; }
    bool isVolumeMetadata(EntryRef entry) const override { return metadata.count(entry) != 0; }

    StopFlag stop;
    std::set<EntryRef> metadata;      ///< the file system's own files
    std::map<EntryRef, FileExtents> placed;  ///< where a file's bytes lie on the volume (default: nowhere)
    std::vector<std::string> writes;  ///< every target handed to writeContent, in order
    std::set<EntryRef> failing;       ///< entries whose content cannot be written
    std::size_t stopAfterWrites = 0;  ///< sets the stop flag after this many writes (0: never)

private:
    std::vector<EntryRef> childrenOf(EntryRef parent) const {
        const auto found = order_.find(parent);
        return found == order_.end() ? std::vector<EntryRef>{} : found->second;
    }
    EntryRef next_ = 1;
    std::map<EntryRef, Entry> entries_;
    std::map<EntryRef, std::vector<EntryRef>> order_;
};
