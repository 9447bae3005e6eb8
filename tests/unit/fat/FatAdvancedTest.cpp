// The Advanced mode on a FAT16 volume built in memory whose boot sector is gone: the FAT is
// found, the geometry settled from the directories' '.' entries, the tree rebuilt from the root,
// a directory nobody points at any more shows its files under "ORPHAN ENTRY", and content comes
// back through the found FAT.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "FatVolumeBuilder.h"
#include "RecordingSinks.h"
#include "app/ApplicationState.h"
#include "browser/ReaderRegistry.h"
#include "disk/MemoryReadSeek.h"

namespace {
struct AdvancedScan {
    MemoryReadSeek source;
    ApplicationState app;
    RecordingProgress progress;
    RecordingNotifier notifier;
    std::unique_ptr<EntryView> view;
    std::string error;

    AdvancedScan(std::vector<unsigned char> bytes, AdvancedChoice choice) : source(std::move(bytes)) {
        ReaderContext context{source, VolumeRecord{}, source.byteSize(), app, progress, notifier, ScanMode::Advanced, choice, nullptr};
        view = scanVolume(FileSystemKind::Fat16, context, error);
    }
    void collect(const std::vector<EntryRef>& refs, Placement where, const std::string& prefix,
                 std::vector<std::pair<std::string, EntryRef>>& out) const {
        for (EntryRef ref : refs) {
            out.emplace_back(prefix + view->name(ref), ref);
            if (view->isFolder(ref, where))
                collect(view->children(ref), Placement::Nested, prefix + view->name(ref) + "/", out);
        }
    }
    std::string content(EntryRef ref) {
        const auto path = std::filesystem::temp_directory_path() / ("pictorva-fat-adv-" + std::to_string(::getpid()));
        EXPECT_TRUE(view->writeContent(ref, path.string()));
        std::ifstream in(path, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::filesystem::remove(path);
        return bytes;
    }
};

TEST(FatAdvanced, RebuildsTheTreeWithoutTheBootSector) {
    FatVolumeBuilder v(16, 4200);
    std::size_t root = v.rootOffset();
    v.putSlot(root, "DCIM       ", 0x10, 10, 0);
    v.chain({10});
    std::size_t at = v.startDirectory(10, 0);
    at = v.putLongName(at, "Beach Day.jpg", "BEACHD~1JPG");
    v.putSlot(at, "BEACHD~1JPG", 0x20, 30, 100);
    v.chain({30});
    v.fillCluster(30, 'b');
    v.putSlot(root + 32, "ROOT    JPG", 0x20, 20, 700);
    v.chain({20, 25});
    v.fillCluster(20, 'r');
    v.fillCluster(25, 's');
    // A directory whose entry is gone, and a deleted file in it.
    at = v.startDirectory(40, 99);
    v.putSlot(at, "\xE5OST    JPG", 0x20, 50, 10);
    v.fillCluster(50, 'l');
    std::fill(v.bytes.begin(), v.bytes.begin() + 512, 0);

    // The chosen cluster size is wrong: the '.' entries settle it.
    AdvancedScan scan(v.bytes, AdvancedChoice{0, 8, 0, 3});
    ASSERT_NE(scan.view, nullptr) << scan.error;
    std::vector<std::pair<std::string, EntryRef>> listed;
    scan.collect(scan.view->topLevel(), Placement::TopLevel, "", listed);
    std::vector<std::string> paths;
    for (const auto& item : listed)
        paths.push_back(item.first);
    EXPECT_EQ(paths, (std::vector<std::string>{"ORPHAN ENTRY", "ORPHAN ENTRY/\xEF\xBF\xA5OST.JPG", "DCIM",
                                               "DCIM/Beach Day.jpg", "ROOT.JPG"}));
    ASSERT_EQ(listed.size(), 5u) << scan.progress.statuses.back();
    EXPECT_FALSE(scan.view->isDeleted(listed[0].second, false));
    EXPECT_TRUE(scan.view->isDeleted(listed[1].second, false));
    EXPECT_EQ(scan.content(listed[4].second), std::string(512, 'r') + std::string(188, 's'));  // through the found FAT
    EXPECT_EQ(scan.content(listed[3].second), std::string(100, 'b'));
    EXPECT_EQ(scan.content(listed[1].second), std::string(10, 'l'));
    EXPECT_NE(std::find(scan.progress.statuses.begin(), scan.progress.statuses.end(), "found fat entry  1 "),
              scan.progress.statuses.end());
}

TEST(FatAdvanced, NoFatFoundAndAnIndexPastTheFindsAreClearErrors) {
    FatVolumeBuilder v(16, 4200);
    AdvancedScan past(v.bytes, AdvancedChoice{5, 1, 0, 3});
    EXPECT_EQ(past.view, nullptr);
    EXPECT_EQ(past.error, "no FAT_ENTRY:5 (1 found)");
    std::vector<unsigned char> blank(1 << 20, 0);
    AdvancedScan none(blank, AdvancedChoice{});
    EXPECT_EQ(none.view, nullptr);
    EXPECT_EQ(none.error, "No File system Entry Found.Process cannot be continue...");
}
}  // namespace
