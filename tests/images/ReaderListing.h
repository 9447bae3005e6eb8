#pragma once
// Helpers for image tests of the readers: scan an image file with the reader table and list
// every entry of the resulting view by its "/"-joined path.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "browser/ReaderRegistry.h"
#include "disk/FileReadSeek.h"

struct ListedEntry {
    bool folder = false;
    std::uint64_t size = 0;
    EntryRef ref = 0;
};

/// One scanned image: keeps the source, the state and the view alive together.
struct ScannedImage {
    FileReadSeek source;
    ApplicationState app;
    SilentNotifier notifier;
    std::unique_ptr<EntryView> view;
    std::string error;

    ScannedImage(const std::string& path, const std::string& fileSystem, ScanMode mode) {
        if (!source.open(path)) {
            error = "cannot open " + path;
            return;
        }
        ReaderContext context{source, VolumeRecord{fileSystem, "", path, 0, 0}, source.byteSize(), app,
                              NullProgressSink::instance(), notifier, mode, {}, nullptr};
        ScanResult scan = scanVolume(fileSystemKind(fileSystem), context);
        view = std::move(scan.view);
        if (!view)
            error = scanErrorText(scan.error);
    }

    std::map<std::string, ListedEntry> listing() const {
        std::map<std::string, ListedEntry> out;
        if (view)
            walk(view->topLevel(), "", out, 0);
        return out;
    }

private:
    void walk(const std::vector<EntryRef>& entries, const std::string& prefix, std::map<std::string, ListedEntry>& out,
              int depth) const {
        if (depth > 64)
            return;
        for (EntryRef ref : entries) {
            const std::string path = prefix + view->name(ref);
            const bool folder = view->isFolder(ref, depth == 0 ? Placement::TopLevel : Placement::Nested);
            out[path] = {folder, view->byteSize(ref), ref};
            if (folder)
                walk(view->children(ref), path + "/", out, depth + 1);
        }
    }
};

inline std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

/// Every file and folder below root, by relative path.
inline std::map<std::string, ListedEntry> treeOf(const std::filesystem::path& root) {
    std::map<std::string, ListedEntry> out;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root))
        out[std::filesystem::relative(item.path(), root).string()] = {item.is_directory(),
                                                                     item.is_directory() ? 0 : item.file_size(), 0};
    return out;
}
