#include "browser/NtfsEntryView.h"

#include <unordered_set>

#include "app/ProgressSink.h"
#include "browser/ReaderRegistry.h"
#include "common/TextFormat.h"
#include "fs/ntfs/ntfs.h"
#include "output/OutputFile.h"

namespace {
constexpr int kDefaultSectorsPerCluster = 8;  // the first item the advanced options page offers
}

NtfsEntryView::NtfsEntryView(std::unique_ptr<ntfs> reader) : reader_(std::move(reader)) {}
NtfsEntryView::~NtfsEntryView() = default;

std::vector<EntryRef> NtfsEntryView::chain(std::uint64_t first) const {
    const auto& entries = reader_->entryList;
    std::vector<EntryRef> out;
    std::unordered_set<std::uint64_t> seen;
    for (std::uint64_t i = first; i != 0 && i < entries.size() && seen.insert(i).second; i = entries[i].nextSibling)
        out.push_back(i);
    return out;
}

std::vector<EntryRef> NtfsEntryView::topLevel() const {
    const auto& entries = reader_->entryList;
    const std::uint64_t orphan = reader_->orphanIndex;
    std::vector<EntryRef> top;
    const bool rootValid = reader_->rootIndex < entries.size();
    if (rootValid && reader_->scanMode != 3)
        top = chain(entries[reader_->rootIndex].firstChild);
    // Without a root the orphans are still shown: they are what the scan found.
    bool orphanMet = false;
    for (EntryRef e : top)
        orphanMet = orphanMet || e == orphan;
    if (!orphanMet && orphan < entries.size())
        top.push_back(orphan);
    return top;
}

std::vector<EntryRef> NtfsEntryView::children(EntryRef folder) const {
    const auto& entries = reader_->entryList;
    if (folder >= entries.size())
        return {};
    std::vector<EntryRef> out;
    for (EntryRef child : chain(entries[folder].firstChild)) {
        const NtfsEntry& e = entries[child];
        if (e.kind == 'D' && e.named && e.name == ".")
            continue;
        out.push_back(child);
    }
    return out;
}

bool NtfsEntryView::isFolder(EntryRef entry, Placement) const {
    return entry < reader_->entryList.size() && reader_->entryList[entry].kind == 'D';
}

bool NtfsEntryView::isFile(EntryRef entry, Placement where) const {
    return entry < reader_->entryList.size() && !isFolder(entry, where);
}

bool NtfsEntryView::isDeleted(EntryRef entry, bool) const {
    if (entry >= reader_->entryList.size() || entry == reader_->orphanIndex)
        return false;
    return (reader_->entryList[entry].recordFlags & 0x0001) == 0;
}

std::string NtfsEntryView::name(EntryRef entry) const {
    return entry < reader_->entryList.size() ? ntfs::entryName(reader_->entryList[entry]) : std::string();
}

std::uint64_t NtfsEntryView::byteSize(EntryRef entry) const { return reader_->realDataSize(entry); }

EntryDetails NtfsEntryView::details(EntryRef entry) const {
    return entry < reader_->entryList.size() ? reader_->details(reader_->entryList[entry]) : EntryDetails{};
}

std::optional<FileExtents> NtfsEntryView::extents(EntryRef entry) {
    if (entry >= reader_->entryList.size())
        return std::nullopt;
    // Its unnamed stream is empty; the bad-cluster map stream spans the whole volume.
    if (name(entry) == "$BadClus")
        return FileExtents{};
    return reader_->contentExtents(entry);
}

std::unique_ptr<FileContent> NtfsEntryView::open(EntryRef entry) {
    if (entry >= reader_->entryList.size())
        return nullptr;
    if (name(entry) == "$BadClus")
        return std::make_unique<MemoryContent>(std::vector<std::uint8_t>{});
    return reader_->openContent(entry);
}

AllocationMap NtfsEntryView::allocationMap() { return reader_->allocationMap(); }

StopFlag& NtfsEntryView::stopFlag() { return reader_->stopFlag; }

bool NtfsEntryView::isVolumeMetadata(EntryRef entry) const {
    static const std::unordered_set<std::string> kMetadataFiles = {
        "$MFT",    "$MFTMirr", "$LogFile", "$Volume", "$AttrDef", "$Bitmap",
        "$Boot",   "$BadClus", "$Secure",  "$UpCase", "$Extend"};
    return kMetadataFiles.count(name(entry)) != 0;
}

ScanResult scanNtfsVolume(ReaderContext& context) {
    auto reader = std::make_unique<ntfs>(context.readerInput());
    ntfs& r = *reader;
    switch (context.mode) {
    case ScanMode::Standard:
    case ScanMode::Journal:  // not offered for NTFS: the table refuses it before this
    case ScanMode::Everything:  // the registry runs the standard walk for it
        r.readBootSector();
        r.scanMode = 1;
        context.progress.setStatus(" ParsingBasedOnMFT is going on....");
        r.locateMft();
        break;
    case ScanMode::Deep:
        r.readBootSector();
        r.scanMode = 3;
        context.progress.setStatus(" scanning for mft entries in deep mode ....");
        r.deepScan();
        break;
    case ScanMode::Advanced: {
        r.readBootSector();
        std::uint32_t found = 0;
        if (context.advanced.structurePositions) {
            for (const std::uint64_t offset : *context.advanced.structurePositions) {
                NtfsEntry record;
                record.recordOffset = offset;
                r.foundMftRecords.push_back(record);
            }
            found = static_cast<std::uint32_t>(r.foundMftRecords.size());
        } else {
            const int max = context.advanced.max < 1 ? 3 : context.advanced.max;
            found = r.findMftRecords(static_cast<std::uint64_t>(max));
        }
        context.progress.setStatus(formatText("Reading the MFT of MFT_ENTRY:%d (%u found)....",
                                              context.advanced.structure, found));
        if (found == 0)
            return {nullptr, {ScanFailure::NoStructureFound, {}}};
        if (context.advanced.structure < 0 || static_cast<std::uint32_t>(context.advanced.structure) >= found)
            return {nullptr, {ScanFailure::NoSuchStructure, formatText("MFT_ENTRY:%d (%u found)", context.advanced.structure, found)}};
        r.stopFlag.clear();
        r.clearEntries();
        r.selectFoundMft(static_cast<std::uint32_t>(context.advanced.structure));
        const int spc = context.advanced.spc > 0 ? context.advanced.spc : kDefaultSectorsPerCluster;
        r.clusterSize = static_cast<std::uint64_t>(spc) * 512;
        break;
    }
    }
    r.buildEntryList();
    r.parseEntries();
    return {std::make_unique<NtfsEntryView>(std::move(reader))};
}
