#include "browser/HfsEntryView.h"

#include <unordered_set>

#include "app/StopFlag.h"
#include "disk/readWriteInterface.h"
#include "fs/hfsp/HFSP.h"
#include "output/OutputFile.h"

namespace {
class HfsEntryView final : public EntryView {
public:
    explicit HfsEntryView(std::unique_ptr<HFSP> reader) : reader_(std::move(reader)) {}

    std::vector<EntryRef> topLevel() const override {
        // After the volume scan everything hangs under ORPHAN_ENTRY, the root folder included;
        // after a damaged catalog only what lost its folder does, beside the root's children.
        if (reader_->orphanKey != 0 && reader_->absoluteNodes)
            return {reader_->orphanKey};
        std::vector<EntryRef> result;
        for (const auto& [cnid, entry] : reader_->entryMap)
            if (entry.parentId == hfs_layout::kRootFolderId)
                result.push_back(cnid);
        return result;
    }

    std::vector<EntryRef> children(EntryRef folder) const override {
        std::vector<EntryRef> result;
        const HfsEntry* parent = find(folder);
        if (parent == nullptr || parent->type != hfs_layout::kRecordFolder)
            return result;
        std::unordered_set<std::uint32_t> seen;
        for (std::uint32_t cnid = parent->firstChild; static_cast<std::int32_t>(cnid) >= 1 && seen.insert(cnid).second;) {
            const HfsEntry* child = find(cnid);
            if (child == nullptr)
                break;
            if (child->parentId > 0 && (child->type == hfs_layout::kRecordFolder || child->type == hfs_layout::kRecordFile))
                result.push_back(cnid);
            cnid = child->nextSibling;
        }
        return result;
    }

    bool isFolder(EntryRef entry, Placement) const override {
        const HfsEntry* e = find(entry);
        return e != nullptr && e->type == hfs_layout::kRecordFolder;
    }
    bool isFile(EntryRef entry, Placement where) const override {
        const HfsEntry* e = find(entry);
        if (e == nullptr)
            return false;
        return where == Placement::TopLevel ? e->type != hfs_layout::kRecordFolder : e->type == hfs_layout::kRecordFile;
    }
    bool isDeleted(EntryRef, bool) const override { return false; }
    std::string name(EntryRef entry) const override {
        const HfsEntry* e = find(entry);
        return e != nullptr ? e->name : std::string();
    }
    std::uint64_t byteSize(EntryRef entry) const override {
        const HfsEntry* e = find(entry);
        return e != nullptr ? e->logicalSize : 0;
    }
    EntryDetails details(EntryRef entry) const override {
        const HfsEntry* e = find(entry);
        return e != nullptr ? reader_->details(*e) : EntryDetails{};
    }
    std::optional<FileExtents> extents(EntryRef entry) override {
        const HfsEntry* e = file(entry);
        return e != nullptr ? std::optional(reader_->contentExtents(*e)) : std::nullopt;
    }
    std::unique_ptr<FileContent> open(EntryRef entry) override {
        const HfsEntry* e = file(entry);
        return e != nullptr ? reader_->openContent(*e) : nullptr;
    }
    AllocationMap allocationMap() override { return reader_->allocationMap(); }
    StopFlag& stopFlag() override { return reader_->stopFlag; }

private:
    const HfsEntry* file(EntryRef key) const {
        const HfsEntry* e = find(key);
        return e != nullptr && e->type == hfs_layout::kRecordFile ? e : nullptr;
    }
    const HfsEntry* find(EntryRef key) const {
        if (key > 0xFFFFFFFFull)
            return nullptr;
        auto it = reader_->entryMap.find(static_cast<std::uint32_t>(key));
        return it == reader_->entryMap.end() ? nullptr : &it->second;
    }
    std::unique_ptr<HFSP> reader_;
};
}  // namespace

ScanResult scanHfsVolume(ReaderContext& context) {
    auto reader = std::make_unique<HFSP>(context.readerInput());
    reader->openVolume();
    std::int64_t bytes = context.volumeBytes;
    if (bytes <= 0)
        bytes = context.source.byteSize();
    reader->volumeSize = bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
    if (!reader->readVolumeHeader())
        return {nullptr, {ScanFailure::Unreadable, "the HFS+ volume header can not be read", 1024}};
    // The overflow file comes first: the catalog's own further extents are kept in it.
    reader->readExtentsOverflow();
    const bool walked = context.mode == ScanMode::Deep ? reader->scanCatalogNodes() : reader->readCatalogNodes();
    if (!walked)
        return {nullptr, {ScanFailure::Aborted, {}}};
    reader->parseCatalog();
    reader->linkEntries();
    return {std::make_unique<HfsEntryView>(std::move(reader))};
}
