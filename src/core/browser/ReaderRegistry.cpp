#include "browser/ReaderRegistry.h"

#include <algorithm>

#include "app/ApplicationState.h"
#include "browser/AdvancedOptionsFinder.h"
#include "browser/ExtEntryView.h"
#include "browser/FatEntryView.h"
#include "browser/FoundByContent.h"
#include "browser/HfsEntryView.h"
#include "browser/NtfsEntryView.h"

namespace {
using Box = CompletionTexts::Box;
constexpr CompletionTexts kCompleted{};
constexpr CompletionTexts kCompletedShort{Box::Information, "Scanning process completed.", "Processing done..."};
}  // namespace

const std::vector<FileSystemRow>& fileSystemRows() {
    static const std::vector<FileSystemRow> kRows{
        {FileSystemKind::Ntfs, {"ntfs"}, {}, "NTFS", scanNtfsVolume, findNtfsStructures, true, nullptr, "TFS :",
         false, RecycleBinLayout::InUserFolders, "ntfs partition selected....", kCompletedShort, Box::Information, false},
        {FileSystemKind::Fat16, {"fat16", "fat"}, {"fat12"}, "FAT16", scanFat16Volume, findFat16Structures, false,
         kFatDeepModeError, "Total fat16 Entries Found:", false, RecycleBinLayout::None, nullptr, kCompleted,
         Box::Information, true},
        {FileSystemKind::Fat32, {"fat32"}, {}, "FAT32", scanFat32Volume, findFat32Structures, false, kFatDeepModeError,
         "TFS :", false, RecycleBinLayout::InBinFolder, nullptr, kCompletedShort, Box::Plain, true},
        {FileSystemKind::Exfat, {"fat64", "exFat"}, {}, "FAT64", scanExfatVolume, findExfatStructures, false,
         kFatDeepModeError, "Total fat64 Entries Found:", true, RecycleBinLayout::InBinFolder, nullptr, kCompleted,
         Box::Information, true},
        {FileSystemKind::Ext, {"extX"}, {"ext2", "ext3", "ext4"}, "EXTX", scanExtVolume, nullptr, false,
         "ext2/3/4 volumes are read in the standard and deleted files (journal) modes", nullptr, false,
         RecycleBinLayout::None, nullptr, {Box::Plain, "done..", "Processing done..."}, Box::Information, false,
         "Deleted files (journal)"},
        {FileSystemKind::Hfsp, {"HFS+"}, {}, "HFS+", scanHfsVolume, nullptr, true,
         "HFS+ volumes are read in the standard and deep modes", nullptr, false, RecycleBinLayout::None,
         "HFS+ partition selected....", {Box::None, nullptr, "Scanning process Done.."}, Box::Information, false},
        {FileSystemKind::Raw, {"RAW"}, {}, "RAW", nullptr, nullptr, false, nullptr, nullptr, false,
         RecycleBinLayout::None, nullptr, kCompleted, Box::Information, false},
    };
    return kRows;
}

const FileSystemRow* fileSystemRow(FileSystemKind kind) {
    for (const FileSystemRow& row : fileSystemRows())
        if (row.kind == kind)
            return &row;
    return nullptr;
}

bool hasReader(FileSystemKind kind) {
    const FileSystemRow* row = fileSystemRow(kind);
    return row != nullptr && row->scan != nullptr;
}

bool offersMode(FileSystemKind kind, ScanMode mode) {
    if (!hasReader(kind))
        return false;
    const FileSystemRow& row = *fileSystemRow(kind);
    switch (mode) {
    case ScanMode::Standard: return true;
    case ScanMode::Advanced: return row.findAdvanced != nullptr;
    case ScanMode::Deep: return row.deepMode;
    case ScanMode::Journal: return row.journalMode != nullptr;
    case ScanMode::Everything: return true;
    }
    return false;
}

std::string fileSystemOptionNames() {
    std::string text;
    for (const FileSystemRow& row : fileSystemRows())
        for (const std::string& name : row.listedNames)
            text += (text.empty() ? "" : ", ") + name;
    return text;
}

std::vector<std::string> treatAsNames() {
    std::vector<std::string> names;
    for (const FileSystemRow& row : fileSystemRows())
        names.emplace_back(row.treatAsName);
    std::sort(names.begin(), names.end());
    return names;
}

ReaderInput ReaderContext::readerInput() const {
    return ReaderInput{source, volume, volumeBytes, progress, notifier, app.formattedDrive != 0, pauseGate, stopRequest};
}

ScanResult scanVolume(FileSystemKind kind, ReaderContext& context) {
    if (!hasReader(kind))
        return {nullptr, {ScanFailure::NoReader, {}}};
    const FileSystemRow& row = *fileSystemRow(kind);
    if (!offersMode(kind, context.mode))
        return {nullptr, {ScanFailure::ModeNotOffered, row.modeRefusal}};
    if (context.mode == ScanMode::Everything)
        return scanEverything(kind, context);
    ScanResult result = row.scan(context);
    if (result.view && (context.mode == ScanMode::Advanced || context.mode == ScanMode::Deep))
        result.view->gradeEveryPicture();
    return result;
}
