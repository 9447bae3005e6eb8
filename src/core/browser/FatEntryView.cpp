#include "browser/FatEntryView.h"

#include "app/ProgressSink.h"
#include "disk/readWriteInterface.h"
#include "fs/fat/Fat16Class.h"
#include "fs/fat/Fat32Class.h"
#include "fs/fat/FatAdvanced.h"

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

/// The browser's rules for FAT records: FAT12/16 and FAT32 differ in which attribute bytes make
/// a folder and which records the top level skips.
class FatEntryView final : public EntryView {
public:
    FatEntryView(std::unique_ptr<FatClassBase> reader, bool fat32) : reader_(std::move(reader)), fat32_(fat32) {}

    std::vector<EntryRef> topLevel() const override {
        std::vector<EntryRef> out;
        const auto& list = entries();
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i].parentIndex == 0 && list[i].name != "DUMMY ENTRY" && shownAtTop(list[i].attributes))
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
            out.push_back(static_cast<EntryRef>(child - list.data()));
        return out;
    }
    bool isFolder(EntryRef entry, Placement where) const override {
        const std::uint8_t a = record(entry).attributes;
        if (!fat32_)
            return a == 0x10 || a == 0x11 || a == 0x13;
        const bool folder = a == 0x10 || a == 0x11 || a == 0x12 || a == 0x13 || a == 0x15 || a == 0x16 || a == 0x30;
        return folder || (where == Placement::Nested && a == 0x14);
    }
    bool isFile(EntryRef entry, Placement where) const override {
        if (where == Placement::TopLevel)
            return record(entry).attributes == 0x20;
        return !isFolder(entry, where);
    }
    bool isDeleted(EntryRef entry, bool parentDeleted) const override {
        return record(entry).deleted == 1 || (parentDeleted && !isFolder(entry, Placement::Nested));
    }
    std::string name(EntryRef entry) const override { return typedName(record(entry).name); }
    std::uint64_t byteSize(EntryRef entry) const override { return record(entry).size; }
    ListTexts listTexts(EntryRef entry) const override {
        const FatEntry& e = record(entry);
        const Fat32Class::EntryTimes t = Fat32Class::formatEntryTimes(e);
        return ListTexts{t.created, t.accessed, t.modified, Fat32Class::formatEntrySize(e), t.attributes};
    }
    bool writeContent(EntryRef entry, const std::string& targetPath) override {
        if (entry >= entries().size())
            return false;
        return reader_->writeEntryContent(targetPath, record(entry));
    }
    StopFlag& stopFlag() override { return reader_->stopFlag; }

private:
    const std::vector<FatEntry>& entries() const { return reader_->entryList(); }
    const FatEntry& record(EntryRef entry) const {
        static const FatEntry none;
        return entry < entries().size() ? entries()[entry] : none;
    }
    bool shownAtTop(std::uint8_t a) const {
        if (a == 0x10 || a == 0x11 || a == 0x13 || a == 0x20 || a == 0x01)
            return true;
        return fat32_ && (a == 0x12 || a == 0x15 || a == 0x16 || a == 0x30);
    }

    std::unique_ptr<FatClassBase> reader_;
    bool fat32_;
};

template <typename Reader>
std::unique_ptr<Reader> makeReader(ReaderContext& context) {
    auto reader = std::make_unique<Reader>(context.app, context.progress);
    reader->volume = context.volume;
    // The caller has placed the source on the volume already; the reader keeps that place.
    reader->volume.startSector = context.source.originOffset() / 512;
    reader->totalBytes = context.volumeBytes;
    attachFrontEnd(reader->stopFlag, context);
    reader->openVolume(context.source);
    return reader;
}
}  // namespace

std::unique_ptr<EntryView> scanFat16Volume(ReaderContext& context, std::string& error) {
    if (context.mode == ScanMode::Deep) {
        error = kFatDeepModeError;
        return nullptr;
    }
    auto reader = makeReader<Fat16Class>(context);
    if (context.mode == ScanMode::Advanced) {
        if (!runFat16Advanced(*reader, context.advanced, context.progress, error))
            return nullptr;
        return std::make_unique<FatEntryView>(std::move(reader), false);
    }
    if (!reader->readBootSector()) {
        error = "Selected Drive is not in Fat16 Format";
        return nullptr;
    }
    reader->readFat();
    reader->readRootDirectory();
    context.progress.setStatus("Finding Fat16 File And Directory entries recursively....");
    reader->walkRootDirectory();
    context.progress.setStatus("maintaining tree Structure in vector...");
    reader->linkEntries();
    return std::make_unique<FatEntryView>(std::move(reader), false);
}

std::unique_ptr<EntryView> scanFat32Volume(ReaderContext& context, std::string& error) {
    if (context.mode == ScanMode::Deep) {
        error = kFatDeepModeError;
        return nullptr;
    }
    auto reader = makeReader<Fat32Class>(context);
    if (context.mode == ScanMode::Advanced) {
        if (!runFat32Advanced(*reader, context.advanced, context.progress, error))
            return nullptr;
        return std::make_unique<FatEntryView>(std::move(reader), true);
    }
    if (!reader->readBootSector()) {
        error = "Selected Drive is not in Fat32 Format";
        return nullptr;
    }
    reader->countRootClusters();
    reader->readRootDirectory();
    context.progress.setStatus("Finding Fat32 File And Directory entries recursively....");
    reader->walkRootDirectory();
    context.progress.setStatus("maintaining tree Structure in vector...");
    reader->linkEntries();
    return std::make_unique<FatEntryView>(std::move(reader), true);
}
