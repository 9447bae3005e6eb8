#include "browser/FatEntryView.h"

#include "app/ProgressSink.h"
#include "fs/fat/Fat16Class.h"
#include "fs/fat/Fat32Class.h"
#include "fs/fat/FatAdvanced.h"
#include "fs/fat/FatLayout.h"
#include "output/OutputFile.h"

namespace {
/// The name a user would type for a record: the blanks that pad short names ("DCIM       ",
/// "README  .   ") and the dot of an empty extension go; a deleted entry's first character
/// stays as the reader made it. A name of nothing but blanks and dots is kept as it is.
std::string typedName(const std::string& stored) {
    std::string name = stored;
    auto dropTrailing = [&](char c) {
        while (!name.empty() && name.back() == c)
            name.pop_back();
    };
    dropTrailing(' ');
    if (!name.empty() && name.back() == '.') {
        dropTrailing('.');
        dropTrailing(' ');
    }
    return name.empty() ? stored : name;
}

/// The browser's rules for FAT records, the same at the top level as in folders and for FAT12/16
/// as for FAT32: the directory bit makes a folder, any other record is a file whatever its
/// read-only, hidden, system and archive bits; volume labels are neither.
class FatEntryView final : public EntryView {
public:
    explicit FatEntryView(std::unique_ptr<FatClassBase> reader) : reader_(std::move(reader)) {}

    std::vector<EntryRef> topLevel() const override {
        std::vector<EntryRef> out;
        const auto& list = entries();
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].parentIndex == 0 && shown(list[i]))
                out.push_back(i);
        return out;
    }
    std::vector<EntryRef> children(EntryRef folder) const override {
        std::vector<EntryRef> out;
        const auto& list = entries();
        if (folder >= list.size())
            return out;
        // Links only ever point forward into the list, but a bound keeps any chain finite.
        const FatEntry* child = list[folder].firstChild;
        for (std::size_t steps = 0; child != nullptr && steps < list.size(); ++steps, child = child->nextSibling)
            if (shown(*child))
                out.push_back(static_cast<EntryRef>(child - list.data()));
        return out;
    }
    bool isFolder(EntryRef entry, Placement) const override {
        return fat_layout::isDirectoryAttribute(record(entry).attributes);
    }
    bool isFile(EntryRef entry, Placement where) const override { return !isFolder(entry, where); }
    bool isDeleted(EntryRef entry, bool parentDeleted) const override {
        return record(entry).deleted == 1 || (parentDeleted && !isFolder(entry, Placement::Nested));
    }
    std::string name(EntryRef entry) const override { return typedName(record(entry).name); }
    std::uint64_t byteSize(EntryRef entry) const override { return record(entry).size; }
    EntryDetails details(EntryRef entry) const override { return Fat32Class::entryDetails(record(entry)); }
    std::optional<FileExtents> extents(EntryRef entry) override {
        if (entry >= entries().size())
            return std::nullopt;
        return reader_->contentExtents(record(entry));
    }
    std::unique_ptr<FileContent> open(EntryRef entry) override {
        return entry < entries().size() ? reader_->openContent(record(entry)) : nullptr;
    }
    AllocationMap allocationMap() override { return reader_->allocationMap(); }
    StopFlag& stopFlag() override { return reader_->stopFlag; }

private:
    const std::vector<FatEntry>& entries() const { return reader_->entryList(); }
    const FatEntry& record(EntryRef entry) const {
        static const FatEntry none;
        return entry < entries().size() ? entries()[entry] : none;
    }
    static bool shown(const FatEntry& e) {
        return e.name != "DUMMY ENTRY" && !fat_layout::isLabelOrLongNameAttribute(e.attributes);
    }

    std::unique_ptr<FatClassBase> reader_;
};

}  // namespace

ScanResult scanFat16Volume(ReaderContext& context) {
    auto reader = openFatReader<Fat16Class>(context);
    if (context.mode == ScanMode::Advanced) {
        ScanError error;
        if (!runFat16Advanced(*reader, context.advanced, context.progress, error))
            return {nullptr, error};
        return {std::make_unique<FatEntryView>(std::move(reader))};
    }
    if (!reader->readBootSector())
        return {nullptr, {ScanFailure::NotThisFormat, "Fat16", 0}};
    reader->readFat();
    reader->readRootDirectory();
    context.progress.setStatus("Finding Fat16 File And Directory entries recursively....");
    reader->walkRootDirectory();
    context.progress.setStatus("maintaining tree Structure in vector...");
    reader->linkEntries();
    return {std::make_unique<FatEntryView>(std::move(reader))};
}

ScanResult scanFat32Volume(ReaderContext& context) {
    auto reader = openFatReader<Fat32Class>(context);
    if (context.mode == ScanMode::Advanced) {
        ScanError error;
        if (!runFat32Advanced(*reader, context.advanced, context.progress, error))
            return {nullptr, error};
        return {std::make_unique<FatEntryView>(std::move(reader))};
    }
    if (!reader->readBootSector())
        return {nullptr, {ScanFailure::NotThisFormat, "Fat32", 0}};
    context.progress.setStatus("Finding Fat32 File And Directory entries recursively....");
    reader->walkRootDirectory();
    context.progress.setStatus("maintaining tree Structure in vector...");
    reader->linkEntries();
    return {std::make_unique<FatEntryView>(std::move(reader))};
}
