#pragma once
// A reader of the table run over bytes built in a test, with the view and what it needs kept
// together; savedBytes() writes one entry through the view and reads the result back.
#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "RecordingSinks.h"
#include "browser/ReaderRegistry.h"
#include "disk/MemoryReadSeek.h"
#include "output/OutputFile.h"

struct MemoryScan {
    MemoryScan(std::vector<unsigned char> bytes, const std::string& fileSystem, ScanMode mode)
        : source(std::move(bytes)) {
        ReaderContext context{source, VolumeRecord{fileSystem, "", "", 0, 0}, source.byteSize(), app,
                              progress, notifier, mode, {}, nullptr};
        ScanResult scan = scanVolume(fileSystemKind(fileSystem), context);
        view = std::move(scan.view);
        if (!view)
            error = scanErrorText(scan.error);
    }
    /// The entry's content as its writer saves it, or "<failed>".
    std::string savedBytes(EntryRef ref) {
        MemoryOutput saved;
        OutputFile file = saved.file();
        if (!view->writeContent(ref, file))
            return "<failed>";
        return saved.bytes(std::size_t{64} << 20);
    }
    MemoryReadSeek source;
    ApplicationState app;
    RecordingProgress progress;
    SilentNotifier notifier;
    std::unique_ptr<EntryView> view;
    std::string error;
};
