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
    ScanFunction scan;
};

// One row per file system; a reader's adapter provides its scan function.
constexpr std::array<ReaderRow, 6> kReaders{{
    {FileSystemKind::Ntfs, scanNtfsVolume},
    {FileSystemKind::Fat16, scanFat16Volume},
    {FileSystemKind::Fat32, scanFat32Volume},
    {FileSystemKind::Exfat, scanExfatVolume},
    {FileSystemKind::Ext, scanExtVolume},
    {FileSystemKind::Hfsp, scanHfsVolume},
}};
}  // namespace

void attachFrontEnd(StopFlag& readerStop, const ReaderContext& context) {
    readerStop.attachGate(context.pauseGate);
    readerStop.attachRequest(context.stopRequest);
}

std::unique_ptr<EntryView> scanVolume(FileSystemKind kind, ReaderContext& context, std::string& error) {
    for (const ReaderRow& row : kReaders) {
        if (row.kind == kind)
            return row.scan(context, error);
    }
    error = "can not parse unknown volume";
    return nullptr;
}
