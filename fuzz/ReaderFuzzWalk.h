#pragma once
// Shared by the reader fuzz targets: arbitrary bytes as one volume, scanned by a reader of the
// table, then every entry listed and every file written, as the browser would.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "browser/ReaderRegistry.h"
#include "disk/MemoryReadSeek.h"
#include "output/OutputFile.h"

inline void fuzzReader(const std::uint8_t* data, std::size_t size, const char* fileSystem, ScanMode mode) {
    MemoryReadSeek source(std::vector<unsigned char>(data, data + size));
    ApplicationState app;
    SilentNotifier notifier;
    ReaderContext context{source, VolumeRecord{fileSystem, "", "fuzz", "", 0}, source.byteSize(), app,
                          NullProgressSink::instance(), notifier, mode, {}, nullptr};
    const std::unique_ptr<EntryView> view = scanVolume(fileSystemKind(fileSystem), context).view;
    if (!view)
        return;
    std::vector<std::pair<EntryRef, int>> pending;
    for (EntryRef ref : view->topLevel())
        pending.emplace_back(ref, 0);
    // The views bound each chain; the depth cap bounds the descent for the fuzzer's sake.
    while (!pending.empty()) {
        const auto [ref, depth] = pending.back();
        pending.pop_back();
        (void)view->name(ref);
        (void)view->details(ref);
        if (view->isFolder(ref, depth == 0 ? Placement::TopLevel : Placement::Nested)) {
            if (depth < 32)
                for (EntryRef child : view->children(ref))
                    pending.emplace_back(child, depth + 1);
        } else {
            // Into memory: the writers run over every byte without touching a disk.
            MemoryOutput saved;
            OutputFile file = saved.file();
            view->writeContent(ref, file);
        }
    }
}
