#include "browser/AdvancedOptionsFinder.h"

#include <cstdlib>

#include "app/ProgressSink.h"
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
}  // namespace

bool AdvancedOptionsFinder::offered(FileSystemKind kind) {
    return kind == FileSystemKind::Ntfs || kind == FileSystemKind::Fat16 || kind == FileSystemKind::Fat32 ||
           kind == FileSystemKind::Exfat;
}

std::string AdvancedOptionsFinder::structureLabel(FileSystemKind kind) {
    switch (kind) {
    case FileSystemKind::Fat16:
        return "Total fat16 Entries Found:";
    case FileSystemKind::Exfat:
        return "Total fat64 Entries Found:";
    default:
        return "TFS :";
    }
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
    auto prepareFat = [&context](auto& reader) {
        reader.volume = context.volume;
        reader.volume.startSector = context.source.originOffset() / 512;
        reader.totalBytes = context.volumeBytes;
        attachFrontEnd(reader.stopFlag, context);
    };
    switch (kind) {
    case FileSystemKind::Ntfs:
        ntfs_ = std::make_unique<ntfs>(context.source, context.volume, context.progress, &context.notifier);
        ntfs_->mediumBytes = context.volumeBytes;
        attachFrontEnd(ntfs_->stopFlag, context);
        break;
    case FileSystemKind::Fat16:
        fat16_ = std::make_unique<Fat16Class>(context.app, context.progress);
        prepareFat(*fat16_);
        break;
    case FileSystemKind::Fat32:
        fat32_ = std::make_unique<Fat32Class>(context.app, context.progress);
        prepareFat(*fat32_);
        break;
    case FileSystemKind::Exfat:
        exfat_ = std::make_unique<Fat64Class>(context.app, context.progress);
        prepareFat(*exfat_);
        break;
    default:
        break;
    }
}

AdvancedOptionsFinder::~AdvancedOptionsFinder() = default;

void AdvancedOptionsFinder::stop() {
    if (ntfs_)
        ntfs_->stopFlag.set();
    if (fat16_)
        fat16_->stopFlag.set();
    if (fat32_)
        fat32_->stopFlag.set();
    if (exfat_)
        exfat_->stopFlag.set();
}

AdvancedOptionLists AdvancedOptionsFinder::run() {
    switch (kind_) {
    case FileSystemKind::Ntfs:
        return runNtfs();
    case FileSystemKind::Fat16:
        return runFat(false);
    case FileSystemKind::Fat32:
        return runFat(true);
    case FileSystemKind::Exfat:
        return runExfat();
    default:
        return {};
    }
}

std::vector<unsigned char> AdvancedOptionsFinder::bootSector() const {
    std::vector<unsigned char> sector(512, 0);
    context_.source.readAt(0, sector.data(), static_cast<std::uint32_t>(sector.size()));
    return sector;
}

AdvancedOptionLists AdvancedOptionsFinder::runNtfs() {
    AdvancedOptionLists lists;
    ntfs_->readBootSector();
    const std::uint32_t found = ntfs_->findMftRecords(static_cast<std::uint64_t>(max_));
    lists.found = found;
    for (const NtfsEntry& record : ntfs_->foundMftRecords)
        lists.structurePositions.push_back(record.recordOffset);
    lists.structures = numbered("MFT_ENTRY:%d", found);
    lists.sectorsPerCluster = {"8", "4", "2", "16", "32", "64"};
    lists.message = formatText("Number of MFT-ENTRY found = %d . Please select the choice from combo box and click "
                               "Next button to proceed.",
                               static_cast<int>(found));
    lists.status = "Parsing done.Click next to continue.";
    return lists;
}

AdvancedOptionLists AdvancedOptionsFinder::runFat(bool fat32) {
    AdvancedOptionLists lists;
    FatClassBase& reader = fat32 ? static_cast<FatClassBase&>(*fat32_) : static_cast<FatClassBase&>(*fat16_);
    reader.openVolume(context_.source);
    const std::vector<unsigned char> boot = bootSector();
    const bool valid = reader.readBootSector();
    const unsigned spc = ByteView(boot.data(), boot.size()).u8(fat_layout::kSectorsPerCluster);
    if (!fat32)
        context_.progress.setStatus("Finding Fat entries....");
    lists.structurePositions = reader.findFatPositions(max_);
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

AdvancedOptionLists AdvancedOptionsFinder::runExfat() {
    AdvancedOptionLists lists;
    exfat_->openVolume(context_.source);
    const bool valid = exfat_->readBootSector();
    context_.progress.setStatus("Finding Fat64 entries....");
    lists.structurePositions = exfat_->findFatPositions(max_);
    lists.heapPositions = exfat_->findHeapOffsets(max_);
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
                                       formatText("%d", static_cast<int>(exfat_->sectorsPerClusterShift())));
    lists.message = formatText("Number of FAT64-ENTRY found = %d and Number of HeapOffset-ENTRY found =  %d  . Please "
                               "select the choice from ( Entry and Heap ) Combobox and click Next button to proceed.",
                               static_cast<int>(fats), static_cast<int>(heaps));
    lists.status = "Parsing done.Click Next to continue.";
    return lists;
}
