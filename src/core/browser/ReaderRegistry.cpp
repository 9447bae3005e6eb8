#include "browser/ReaderRegistry.h"

#include <array>

#include "app/StopFlag.h"
#include "browser/ExtEntryView.h"
#include "browser/FatEntryView.h"
#include "browser/HfsEntryView.h"
#include "browser/NtfsEntryView.h"

namespace {
using ScanFunction = std::unique_ptr<EntryView> (*)(ReaderContext&, std::string&);

struct ReaderRow {
    FileSystemKind kind;
    const char* name;
    ScanFunction scan;  ///< null until the reader exists
};

// One row per file system; a reader's adapter provides its scan function.
constexpr std::array<ReaderRow, 6> kReaders{{
    {FileSystemKind::Ntfs, "NTFS", scanNtfsVolume},
    {FileSystemKind::Fat16, "FAT12/16", scanFat16Volume},
    {FileSystemKind::Fat32, "FAT32", scanFat32Volume},
    {FileSystemKind::Exfat, "exFAT", scanExfatVolume},
    {FileSystemKind::Ext, "ext2/3/4", scanExtVolume},
    {FileSystemKind::Hfsp, "HFS+", scanHfsVolume},
}};
}  // namespace

void attachFrontEnd(StopFlag& readerStop, const ReaderContext& context) {
    readerStop.attachGate(context.pauseGate);
    readerStop.attachRequest(context.stopRequest);
}

std::unique_ptr<EntryView> scanVolume(FileSystemKind kind, ReaderContext& context, std::string& error) {
    for (const ReaderRow& row : kReaders) {
        if (row.kind != kind)
            continue;
        if (row.scan == nullptr) {
            error = std::string("no reader for ") + row.name + " volumes yet";
            return nullptr;
        }
        return row.scan(context, error);
    }
    error = "can not parse unknown volume";
    return nullptr;
}
