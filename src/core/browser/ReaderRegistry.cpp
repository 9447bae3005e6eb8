#include "browser/ReaderRegistry.h"

#include <algorithm>

#include "app/StopFlag.h"
#include "browser/AdvancedOptionsFinder.h"
#include "browser/ExtEntryView.h"
#include "browser/FatEntryView.h"
#include "browser/HfsEntryView.h"
#include "browser/NtfsEntryView.h"

namespace {
using Box = CompletionTexts::Box;
constexpr CompletionTexts kCompleted{};
constexpr CompletionTexts kCompletedShort{Box::Information, "Scanning process completed.", "Processing done..."};
}  // namespace

const std::vector<FileSystemRow>& fileSystemRows() {
    static const std::vector<FileSystemRow> kRows{
        {FileSystemKind::Ntfs, {"ntfs"}, {}, "NTFS", scanNtfsVolume, findNtfsStructures, "TFS :", false,
         RecycleBinLayout::InUserFolders, "ntfs partition selected....", kCompletedShort},
        {FileSystemKind::Fat16, {"fat16", "fat"}, {"fat12"}, "FAT16", scanFat16Volume, findFat16Structures,
         "Total fat16 Entries Found:", false, RecycleBinLayout::None, nullptr, kCompleted},
        {FileSystemKind::Fat32, {"fat32"}, {}, "FAT32", scanFat32Volume, findFat32Structures, "TFS :", false,
         RecycleBinLayout::InBinFolder, nullptr, kCompletedShort},
        {FileSystemKind::Exfat, {"fat64", "exFat"}, {}, "FAT64", scanExfatVolume, findExfatStructures,
         "Total fat64 Entries Found:", true, RecycleBinLayout::InBinFolder, nullptr, kCompleted},
        {FileSystemKind::Ext, {"extX"}, {"ext2", "ext3", "ext4"}, "EXTX", scanExtVolume, nullptr, nullptr, false,
         RecycleBinLayout::None, nullptr, {Box::Plain, "done..", "Processing done..."}},
        {FileSystemKind::Hfsp, {"HFS+"}, {}, "HFS+", scanHfsVolume, nullptr, nullptr, false, RecycleBinLayout::None,
         "HFS+ partition selected....", {Box::None, nullptr, "Scanning process Done.."}},
        {FileSystemKind::Raw, {"RAW"}, {}, "RAW", nullptr, nullptr, nullptr, false, RecycleBinLayout::None, nullptr,
         kCompleted},
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

void attachFrontEnd(StopFlag& readerStop, const ReaderContext& context) {
    readerStop.attachGate(context.pauseGate);
    readerStop.attachRequest(context.stopRequest);
}

std::unique_ptr<EntryView> scanVolume(FileSystemKind kind, ReaderContext& context, std::string& error) {
    if (!hasReader(kind)) {
        error = "can not parse unknown volume";
        return nullptr;
    }
    return fileSystemRow(kind)->scan(context, error);
}
