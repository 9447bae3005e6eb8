#include "app/ProgressSink.h"
#include "browser/FatEntryView.h"
#include "fs/fat/Fat64Class.h"
#include "fs/fat/FatAdvanced.h"
#include "fs/fat/FatLayout.h"
#include "output/OutputFile.h"

namespace {
std::string trimmed(const std::string& name) {
    const auto first = name.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return name.substr(first, name.find_last_not_of(" \t\r\n") - first + 1);
}

/// The browser's rules for exFAT records: the directory bit makes a folder, whatever the others.
class ExfatEntryView final : public EntryView {
public:
    explicit ExfatEntryView(std::unique_ptr<Fat64Class> reader) : reader_(std::move(reader)) {}

    std::vector<EntryRef> topLevel() const override {
        std::vector<EntryRef> out;
        const auto& list = reader_->entryList();
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].parentIndex == 0 && list[i].name != "DUMMY ENTRY")
                out.push_back(i);
        return out;
    }
    std::vector<EntryRef> children(EntryRef folder) const override {
        std::vector<EntryRef> out;
        const auto& list = reader_->entryList();
        if (folder >= list.size())
            return out;
        const ExfatEntry* child = list[folder].firstChild;
        for (std::size_t steps = 0; child != nullptr && steps < list.size(); ++steps, child = child->nextSibling)
            out.push_back(static_cast<EntryRef>(child - list.data()));
        return out;
    }
    bool isFolder(EntryRef entry, Placement) const override { return fat_layout::isExfatDirectoryAttribute(record(entry).attributes); }
    bool isFile(EntryRef entry, Placement where) const override { return !isFolder(entry, where); }
    bool isDeleted(EntryRef entry, bool parentDeleted) const override {
        const ExfatEntry& e = record(entry);
        if (e.name == "ORPHAN ENTRY")
            return false;
        return e.deleted() || (parentDeleted && !isFolder(entry, Placement::Nested));
    }
    std::string name(EntryRef entry) const override { return trimmed(record(entry).name); }
    std::uint64_t byteSize(EntryRef entry) const override { return record(entry).validDataLength; }
    EntryDetails details(EntryRef entry) const override { return Fat64Class::entryDetails(record(entry)); }
    std::optional<FileExtents> extents(EntryRef entry) override {
        if (entry >= reader_->entryList().size())
            return std::nullopt;
        return reader_->contentExtents(record(entry));
    }
    std::unique_ptr<FileContent> open(EntryRef entry) override {
        return entry < reader_->entryList().size() ? reader_->openContent(record(entry)) : nullptr;
    }
    AllocationMap allocationMap() override { return reader_->allocationMap(); }
    StopFlag& stopFlag() override { return reader_->stopFlag; }

private:
    const ExfatEntry& record(EntryRef entry) const {
        static const ExfatEntry none;
        const auto& list = reader_->entryList();
        return entry < list.size() ? list[entry] : none;
    }
    std::unique_ptr<Fat64Class> reader_;
};
}  // namespace

ScanResult scanExfatVolume(ReaderContext& context) {
    auto reader = openFatReader<Fat64Class>(context);
    if (context.mode == ScanMode::Advanced) {
        ScanError error;
        if (!runExfatAdvanced(*reader, context.advanced, context.progress, error))
            return {nullptr, error};
        return {std::make_unique<ExfatEntryView>(std::move(reader))};
    }
    if (!reader->readBootSector())
        return {nullptr, {ScanFailure::NotThisFormat, "exFat", 0}};
    if (!reader->readRootDirectory())
        return {nullptr, {ScanFailure::Unreadable, "error..."}};
    context.progress.setStatus("processing file and directory entries...");
    context.progress.setStatus("Finding Fat64 File And Directory entries recursively....");
    reader->walkRootDirectory();
    reader->linkEntries();
    return {std::make_unique<ExfatEntryView>(std::move(reader))};
}
