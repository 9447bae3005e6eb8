#include "browser/ExtEntryView.h"

#include "app/StopFlag.h"
#include "browser/ExtJournalView.h"
#include "disk/readWriteInterface.h"
#include "fs/ext/ExtDeletedFiles.h"
#include "fs/ext/ext2Class.h"
#include "output/OutputFile.h"

namespace {
bool hasType(const ExtEntry& entry, std::uint16_t type) { return (entry.mode & ext_layout::kModeTypeMask) == type; }

enum class Kind { Unknown, Folder, File, Special };

constexpr std::pair<std::uint16_t, const char*> kSpecialTypes[] = {
    {ext_layout::kModeSymlink, "symlink"}, {ext_layout::kModeCharDevice, "char device"},
    {ext_layout::kModeBlockDevice, "block device"}, {ext_layout::kModeFifo, "fifo"}, {ext_layout::kModeSocket, "socket"},
};

const char* specialType(const ExtEntry& entry) {
    for (const auto& [mode, text] : kSpecialTypes)
        if (hasType(entry, mode))
            return text;
    return nullptr;
}

Kind kindOf(const ExtEntry& entry) {
    if (hasType(entry, ext_layout::kModeDirectory))
        return Kind::Folder;
    if (hasType(entry, ext_layout::kModeRegular))
        return Kind::File;
    return specialType(entry) != nullptr ? Kind::Special : Kind::Unknown;
}

class ExtEntryView final : public EntryView {
public:
    explicit ExtEntryView(std::unique_ptr<ext2Class> reader) : reader_(std::move(reader)) {}

    std::vector<EntryRef> topLevel() const override { return children(2); }

    std::vector<EntryRef> children(EntryRef folder) const override {
        std::vector<EntryRef> result;
        const ExtEntry* parent = find(folder);
        if (parent == nullptr || !hasType(*parent, ext_layout::kModeDirectory))
            return result;
        // Each record is linked once, so a chain holds each record at most once: one longer than
        // the store is a loop and ends.
        std::size_t steps = 0;
        for (std::uint32_t key = parent->firstChild; static_cast<std::int32_t>(key) > 0 && steps++ < reader_->inodeRecords.size();) {
            const ExtEntry* child = find(key);
            if (child == nullptr)
                break;
            // Links, devices, pipes and sockets are listed too (entryType says which); an inode
            // of no known kind is left out.
            if (child->named() && kindOf(*child) != Kind::Unknown)
                result.push_back(key);
            key = child->nextSibling;
        }
        return result;
    }

    bool isFolder(EntryRef entry, Placement) const override {
        const ExtEntry* e = find(entry);
        return e != nullptr && hasType(*e, ext_layout::kModeDirectory);
    }
    bool isFile(EntryRef entry, Placement) const override {
        const ExtEntry* e = find(entry);
        return e != nullptr && hasType(*e, ext_layout::kModeRegular);
    }
    bool isDeleted(EntryRef, bool) const override { return false; }
    std::string name(EntryRef entry) const override {
        const ExtEntry* e = find(entry);
        return e != nullptr ? std::string(reader_->entryName(*e)) : std::string();
    }
    std::uint64_t byteSize(EntryRef entry) const override {
        const ExtEntry* e = find(entry);
        return e != nullptr ? e->size : 0;
    }
    EntryDetails details(EntryRef entry) const override {
        const ExtEntry* e = find(entry);
        if (e == nullptr)
            return {};
        EntryDetails details = reader_->details(*e);
        if (hasType(*e, ext_layout::kModeSymlink))
            details.attributes += " -> " + reader_->linkTarget(*e);
        return details;
    }
    std::string entryType(EntryRef entry) const override {
        const ExtEntry* e = find(entry);
        const char* type = e != nullptr ? specialType(*e) : nullptr;
        return type != nullptr ? type : std::string();
    }
    std::optional<FileExtents> extents(EntryRef entry) override {
        const ExtEntry* e = regularFile(entry);
        std::vector<std::uint8_t> inode;
        return e != nullptr ? reader_->contentExtents(*e, inode) : std::nullopt;
    }
    std::unique_ptr<FileContent> open(EntryRef entry) override {
        const ExtEntry* e = regularFile(entry);
        return e != nullptr ? reader_->openContent(*e) : nullptr;
    }
    AllocationMap allocationMap() override { return reader_->allocationMap(); }
    StopFlag& stopFlag() override { return reader_->stopFlag; }

private:
    const ExtEntry* regularFile(EntryRef key) const {
        const ExtEntry* e = find(key);
        return e != nullptr && hasType(*e, ext_layout::kModeRegular) ? e : nullptr;
    }
    const ExtEntry* find(EntryRef key) const {
        return reader_->listedEntry(key);
    }
    std::unique_ptr<ext2Class> reader_;
};
}  // namespace

ScanResult scanExtVolume(ReaderContext& context) {
    auto reader = std::make_unique<ext2Class>(context.readerInput());
    if (!reader->openVolume())
        return {nullptr, {ScanFailure::Unreadable, "can not read the volume"}};
    std::int64_t bytes = context.volumeBytes;
    if (bytes <= 0)
        bytes = context.source.byteSize();
    reader->volumeSize = bytes > 0 ? static_cast<std::uint64_t>(bytes) : 0;
    if (!reader->findSuperblock())
        return {nullptr, {ScanFailure::Unreadable, "no ext2/3/4 superblock found"}};
    if (!reader->readGroupDescriptors())
        return {nullptr, {ScanFailure::Unreadable, "the group descriptors can not be read"}};
    reader->collectInodes();
    reader->readDirectories();
    reader->buildEntryMap();
    reader->linkEntries();
    reader->stopFlag.clear();
    if (context.mode != ScanMode::Journal)
        return {std::make_unique<ExtEntryView>(std::move(reader))};
    auto deleted = std::make_unique<ExtDeletedFiles>(*reader, context.progress, context.notifier);
    deleted->find();
    reader->stopFlag.clear();
    return {makeExtJournalView(std::make_unique<ExtEntryView>(std::move(reader)), std::move(deleted))};
}
