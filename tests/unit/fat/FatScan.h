#pragma once
// A FAT-family reader of the table run over bytes built in a test: the view, the sinks it
// reported to, its entries by path and their saved content.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "RecordingSinks.h"
#include "app/ApplicationState.h"
#include "browser/ReaderRegistry.h"
#include "disk/MemoryReadSeek.h"
#include "output/OutputFile.h"

struct Scan {
    MemoryReadSeek source;
    ApplicationState app;
    RecordingProgress progress;
    RecordingNotifier notifier;
    std::unique_ptr<EntryView> view;
    std::string error;

    Scan(std::vector<unsigned char> bytes, FileSystemKind kind, ScanMode mode = ScanMode::Standard,
         AdvancedChoice choice = {}, const std::atomic<bool>* stopRequest = nullptr)
        : source(std::move(bytes)) {
        VolumeRecord record;
        ReaderContext context{source, record, source.byteSize(), app, progress, notifier, mode, choice, nullptr};
        context.stopRequest = stopRequest;
        ScanResult scan = scanVolume(kind, context);
        view = std::move(scan.view);
        if (!view)
            error = scanErrorText(scan.error);
    }
    /// "name" for each entry below the folder (or the top level), depth first, "/" between levels.
    std::vector<std::string> paths() const {
        std::vector<std::string> out;
        walk(view->topLevel(), Placement::TopLevel, "", out);
        return out;
    }
    EntryRef find(const std::string& path) const {
        std::vector<EntryRef> refs;
        std::vector<std::string> names;
        walkRefs(view->topLevel(), Placement::TopLevel, "", refs, names);
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] == path)
                return refs[i];
        ADD_FAILURE() << path << " not listed";
        return 0;
    }
    std::string content(EntryRef ref) {
        MemoryOutput saved;
        OutputFile file = saved.file();
        EXPECT_TRUE(view->writeContent(ref, file));
        return saved.bytes(std::size_t{64} << 20);
    }

private:
    void walk(const std::vector<EntryRef>& refs, Placement where, const std::string& prefix, std::vector<std::string>& out) const {
        std::vector<EntryRef> r;
        walkRefs(refs, where, prefix, r, out);
    }
    void walkRefs(const std::vector<EntryRef>& refs, Placement where, const std::string& prefix, std::vector<EntryRef>& outRefs,
                  std::vector<std::string>& outNames) const {
        for (EntryRef ref : refs) {
            outRefs.push_back(ref);
            outNames.push_back(prefix + view->name(ref));
            if (view->isFolder(ref, where))
                walkRefs(view->children(ref), Placement::Nested, prefix + view->name(ref) + "/", outRefs, outNames);
        }
    }
};
