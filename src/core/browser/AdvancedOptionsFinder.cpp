#include "browser/AdvancedOptionsFinder.h"

#include <cstdlib>

#include "app/ProgressSink.h"
#include "browser/FatEntryView.h"
#include "common/ByteView.h"
#include "common/TextFormat.h"
#include "disk/readWriteInterface.h"
#include "fs/fat/Fat16Class.h"
#include "fs/fat/Fat32Class.h"
#include "fs/fat/Fat64Class.h"
#include "fs/fat/FatLayout.h"
#include "fs/ntfs/ntfs.h"

namespace {
std::vector<std::string> numbered(const char* format, std::int64_t count) {
    std::vector<std::string> items;
    for (std::int64_t i = 0; i < count; ++i)
        items.push_back(formatText(format, static_cast<int>(i)));
    return items;
}

/// The boot sector's sectors per cluster first when it is worth offering, then the fixed guesses.
std::vector<std::string> clusterChoices(bool bootValid, unsigned bootValue, std::vector<std::string> guesses) {
    if (bootValid && bootValue != 0 && bootValue % 2 == 0)
        guesses.insert(guesses.begin(), formatText("%d", static_cast<int>(bootValue)));
    return guesses;
}

/// Sector 0 of the volume (zeros when it cannot be read).
std::vector<unsigned char> bootSector(const ReaderContext& context) {
    std::vector<unsigned char> sector(512, 0);
    readWriteInterface cursor(context.source);
    cursor.readAt(0, sector.data(), static_cast<std::uint32_t>(sector.size()));
    return sector;
}

AdvancedOptionLists findFatStructures(FatClassBase& reader, ReaderContext& context, int max, bool fat32) {
    AdvancedOptionLists lists;
    const std::vector<unsigned char> boot = bootSector(context);
    const bool valid = reader.readBootSector();
    const unsigned spc = ByteView(boot.data(), boot.size()).u8(fat_layout::kSectorsPerCluster);
    if (!fat32)
        context.progress.setStatus("Finding Fat entries....");
    lists.structurePositions = reader.findFatPositions(max);
    const auto found = static_cast<std::int64_t>(lists.structurePositions.size());
    lists.found = found;
    if (!fat32) {
        lists.structures = numbered("FAT_ENTRY:%d", found);
        lists.sectorsPerCluster = clusterChoices(valid, spc, {"4", "8", "16", "2", "32", "64", "128"});
        lists.message = formatText("Number of FAT-ENTRY found = %d . Please select the choice from combo box and click "
                                   "Next button to proceed.",
                                   static_cast<int>(found));
        lists.status = "Parsing done.Click Next to continue.";
        return lists;
    }
    lists.sectorsPerCluster = clusterChoices(valid, spc, {"2", "4", "16", "32", "64", "8"});
    if (found > 0) {
        lists.structures = numbered("FAT32_ENTRY:%d", found);
        lists.message = formatText("Number of FAT32-ENTRY found = %d . Please select the choice from combo box and "
                                   "click Next button to proceed.",
                                   static_cast<int>(found));
        lists.status = "Parsing done.Click Next to continue.";
    } else {
        lists.message = "NO FAT  FAT32-ENTRY found ..";
    }
    return lists;
}
}  // namespace

bool AdvancedOptionsFinder::offered(FileSystemKind kind) {
    const FileSystemRow* row = fileSystemRow(kind);
    return row != nullptr && row->findAdvanced != nullptr;
}

std::string AdvancedOptionsFinder::structureLabel(FileSystemKind kind) {
    const FileSystemRow* row = fileSystemRow(kind);
    return row != nullptr && row->structureLabel != nullptr ? row->structureLabel : "TFS :";
}

int AdvancedOptionsFinder::maxCount(const std::string& text) {
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    // Kept to 32 bits as the count is; absurd values still only bound the search.
    if (value < 1)
        return 3;
    return value > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(value);
}

int AdvancedOptionsFinder::itemNumber(const std::string& text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 >= text.size())
        return -1;
    char* end = nullptr;
    const long value = std::strtol(text.c_str() + colon + 1, &end, 10);
    return (*end != '\0' || value < 0 || value > 0x7FFFFFFF) ? -1 : static_cast<int>(value);
}

AdvancedOptionsFinder::AdvancedOptionsFinder(FileSystemKind kind, ReaderContext& context)
    : kind_(kind), context_(context), max_(context.advanced.max < 1 ? 3 : context.advanced.max) {
    context_.stopRequest = &stopRequested_;
}

void AdvancedOptionsFinder::stop() { stopRequested_ = true; }

AdvancedOptionLists AdvancedOptionsFinder::run() {
    if (!offered(kind_))
        return {};
    return fileSystemRow(kind_)->findAdvanced(context_, max_);
}

AdvancedOptionLists findNtfsStructures(ReaderContext& context, int max) {
    AdvancedOptionLists lists;
    ntfs reader(context.readerInput());
    reader.readBootSector();
    const std::uint32_t found = reader.findMftRecords(static_cast<std::uint64_t>(max));
    lists.found = found;
    for (const NtfsEntry& record : reader.foundMftRecords)
        lists.structurePositions.push_back(record.recordOffset);
    lists.structures = numbered("MFT_ENTRY:%d", found);
    lists.sectorsPerCluster = {"8", "4", "2", "16", "32", "64"};
    lists.message = formatText("Number of MFT-ENTRY found = %d . Please select the choice from combo box and click "
                               "Next button to proceed.",
                               static_cast<int>(found));
    lists.status = "Parsing done.Click next to continue.";
    return lists;
}

AdvancedOptionLists findFat16Structures(ReaderContext& context, int max) {
    return findFatStructures(*openFatReader<Fat16Class>(context), context, max, false);
}

AdvancedOptionLists findFat32Structures(ReaderContext& context, int max) {
    return findFatStructures(*openFatReader<Fat32Class>(context), context, max, true);
}

AdvancedOptionLists findExfatStructures(ReaderContext& context, int max) {
    AdvancedOptionLists lists;
    const std::unique_ptr<Fat64Class> reader = openFatReader<Fat64Class>(context);
    const bool valid = reader->readBootSector();
    context.progress.setStatus("Finding Fat64 entries....");
    lists.structurePositions = reader->findFatPositions(max);
    lists.heapPositions = reader->findHeapOffsets(max);
    const auto fats = static_cast<std::int64_t>(lists.structurePositions.size());
    const auto heaps = static_cast<std::int64_t>(lists.heapPositions.size());
    lists.found = fats;
    lists.structures = numbered("FAT64_ENTRY:%d", fats);
    // The first heap offset offered is the boot sector's own when it is sound (the Advanced scan
    // puts it first the same way).
    lists.heapOffsets = numbered("HEAP_OFFSET_ENTRY:%d", heaps);
    lists.sectorsPerCluster = {"8", "9", "10", "11"};
    if (valid)
        lists.sectorsPerCluster.insert(lists.sectorsPerCluster.begin(),
                                       formatText("%d", static_cast<int>(reader->sectorsPerClusterShift())));
    lists.message = formatText("Number of FAT64-ENTRY found = %d and Number of HeapOffset-ENTRY found =  %d  . Please "
                               "select the choice from ( Entry and Heap ) Combobox and click Next button to proceed.",
                               static_cast<int>(fats), static_cast<int>(heaps));
    lists.status = "Parsing done.Click Next to continue.";
    return lists;
}
