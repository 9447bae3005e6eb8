// The results tree fill (type filter, red deleted entries, pruning, a stopped walk), the save of
// a narrowed selection (and of a whole volume without its metadata files), and the advanced
// options' small parsers.

#include <gtest/gtest.h>

#include <filesystem>

#include "../RecordingSinks.h"
#include "FakeEntryView.h"
#include "browser/AdvancedOptionsFinder.h"
#include "browser/EntryTreeFill.h"
#include "browser/EntryWalk.h"
#include "browser/SaveWalk.h"
#include "browser/SelectionView.h"
#include "browser/TypeFilter.h"
#include "controls/CheckTree.h"
#include "output/OutputFolder.h"

namespace {
struct Volume {
    FakeEntryView view;
    EntryRef dcim, a, text, sub, gone, music, top, lost, inLost;
    Volume() {
        dcim = view.folder(0, "DCIM");
        a = view.file(dcim, "a.jpg", "AAAA");
        text = view.file(dcim, "b.txt");
        sub = view.folder(dcim, "sub");
        view.file(sub, "c.txt");
        gone = view.file(dcim, "gone.jpg", "G", true);
        music = view.folder(0, "MUSIC");
        view.file(music, "song.mp3");
        top = view.file(0, "x.jpg");
        lost = view.folder(0, "lost", true);
        inLost = view.file(lost, "d.jpg", "DD");
    }
};

/// "name" for each child, "name*" when red.
std::vector<std::string> shown(const CheckTree& tree, TreeItemId parent) {
    std::vector<std::string> out;
    for (TreeItemId child : tree.children(parent))
        out.push_back(tree.GetItemText(child) + (tree.GetItemData(child)->textColor == kDeletedColor ? "*" : ""));
    return out;
}

TreeItemId named(const CheckTree& tree, TreeItemId parent, const std::string& name) {
    for (TreeItemId child : tree.children(parent))
        if (tree.GetItemText(child) == name)
            return child;
    return kTreeNoItem;
}
}  // namespace

TEST(EntryTreeFill, ShowsFoldersAndChosenTypesRedWhenDeletedAndPrunesEmptyFolders) {
    Volume volume;
    CheckTree tree;
    const TreeItemId root = tree.InsertItem("ROOT", kTreeRoot, kNoEntryData);
    RecordingProgress progress;
    const TreeFillOutcome outcome = fillEntryTree(volume.view, tree, root, TypeFilter(".jpg"), progress);
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(outcome.filesFound, 4);
    EXPECT_EQ(shown(tree, root), (std::vector<std::string>{"DCIM", "x.jpg", "lost*"}));
    const TreeItemId dcim = named(tree, root, "DCIM");
    EXPECT_EQ(shown(tree, dcim), (std::vector<std::string>{"a.jpg", "gone.jpg*"}));
    EXPECT_EQ(shown(tree, named(tree, root, "lost")), (std::vector<std::string>{"d.jpg*"}));
    EXPECT_EQ(tree.item(named(tree, dcim, "a.jpg"))->data, volume.a);
    EXPECT_TRUE(tree.GetItemData(root)->expanded);
    // Each top-level folder sets its file count as the range and ends there.
    EXPECT_EQ(progress.ranges.front(), (std::pair<std::int64_t, std::int64_t>{0, 4}));
    EXPECT_EQ(progress.statuses.back(), "File Entries Found: 4");
    EXPECT_NE(std::find(progress.statuses.begin(), progress.statuses.end(), "Filter tree entries..."), progress.statuses.end());
}

TEST(EntryTreeFill, StoppedWalkKeepsTheTopLevelUnprunedForOnDemandReading) {
    Volume volume;
    volume.view.stop.set();
    CheckTree tree;
    const TreeItemId root = tree.InsertItem("ROOT", kTreeRoot, kNoEntryData);
    RecordingProgress progress;
    const TreeFillOutcome outcome = fillEntryTree(volume.view, tree, root, TypeFilter(".jpg"), progress);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(shown(tree, root), (std::vector<std::string>{"DCIM", "MUSIC", "x.jpg", "lost*"}));
    EXPECT_TRUE(tree.children(named(tree, root, "DCIM")).empty());
    EXPECT_EQ(outcome.filesFound, 1);
}

TEST(SelectionView, SavesOnlyTheChosenFilesAndWholeFolders) {
    Volume volume;
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "pictorva-selection-test";
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    SelectionView selection(volume.view);
    selection.choose(volume.dcim);
    selection.choose(volume.a);
    selection.chooseWhole(volume.lost);
    std::vector<EntryRef> announced;
    selection.beforeWrite = [&announced](EntryRef entry) { announced.push_back(entry); };
    RecordingProgress progress;
    SaveWalk walk(selection, progress);
    EXPECT_EQ(countFiles(selection), 2);
    std::string error;
    EXPECT_TRUE(walk.saveFolder(std::nullopt, false, OutputFolder::open(out.string(), error)));
    EXPECT_EQ(walk.written(), 2);
    EXPECT_TRUE(std::filesystem::exists(out / "DCIM" / "a.jpg"));
    EXPECT_TRUE(std::filesystem::exists(out / "lost" / "d.jpg"));
    EXPECT_FALSE(std::filesystem::exists(out / "DCIM" / "b.txt"));
    EXPECT_FALSE(std::filesystem::exists(out / "MUSIC"));
    EXPECT_EQ(announced, (std::vector<EntryRef>{volume.a, volume.inLost}));
    std::filesystem::remove_all(out);

    SelectionView everything(volume.view);
    EXPECT_TRUE(everything.empty());
    everything.chooseEverything();
    EXPECT_EQ(countFiles(everything), countFiles(volume.view));
}

// A save of the whole volume leaves out the file system's own files at the top level (names
// alike deeper down are the user's); choosing one saves it. Files written are files on disk.
TEST(SelectionView, TheWholeVolumeLeavesOutMetadataUnlessChosen) {
    Volume volume;
    const EntryRef mft = volume.view.file(0, "$MFT", "records");
    const EntryRef extend = volume.view.folder(0, "$Extend");
    volume.view.file(extend, "$ObjId", "ids");
    volume.view.file(volume.dcim, "$MFT", "a user's file");
    volume.view.metadata = {mft, extend};
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "pictorva-metadata-test";
    const auto filesOnDisk = [&out] {
        std::int64_t files = 0;
        for (const auto& item : std::filesystem::recursive_directory_iterator(out))
            files += item.is_regular_file() ? 1 : 0;
        return files;
    };
    const struct {
        const char* what;
        bool everything;
        std::vector<EntryRef> chosen;
        std::int64_t files;
        bool mftSaved, objIdSaved;
    } cases[] = {
        {"whole volume", true, {}, 8, false, false},
        {"whole volume and $MFT ticked", true, {mft}, 9, true, false},
        {"$Extend alone", false, {extend}, 1, false, true},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        SelectionView selection(volume.view);
        if (c.everything)
            selection.chooseEverything();
        for (EntryRef entry : c.chosen)
            entry == extend ? selection.chooseWhole(entry) : selection.choose(entry);
        RecordingProgress progress;
        SaveWalk walk(selection, progress);
        EXPECT_EQ(countFiles(selection), c.files) << c.what;
        std::string error;
        EXPECT_TRUE(walk.saveFolder(std::nullopt, false, OutputFolder::open(out.string(), error)));
        EXPECT_EQ(walk.written(), c.files) << c.what;
        EXPECT_EQ(filesOnDisk(), c.files) << c.what;
        EXPECT_EQ(std::filesystem::exists(out / "$MFT"), c.mftSaved) << c.what;
        EXPECT_EQ(std::filesystem::exists(out / "$Extend" / "$ObjId"), c.objIdSaved) << c.what;
        EXPECT_EQ(std::filesystem::exists(out / "DCIM" / "$MFT"), c.everything) << c.what;
    }
    std::filesystem::remove_all(out);
}

TEST(AdvancedOptionsFinder, ItemNumbersAndMaximumCount) {
    const std::pair<const char*, int> items[] = {{"FAT_ENTRY:10", 10}, {"MFT_ENTRY:0", 0}, {"HEAP_OFFSET_ENTRY:2", 2},
                                                 {"FAT_ENTRY:", -1},   {"FAT_ENTRY:1x", -1}, {"none", -1}};
    for (const auto& [text, number] : items)
        EXPECT_EQ(AdvancedOptionsFinder::itemNumber(text), number) << text;
    const std::pair<const char*, int> counts[] = {{"", 3}, {"0", 3}, {"-4", 3}, {"7", 7}, {"99999999999", 0x7FFFFFFF}};
    for (const auto& [text, count] : counts)
        EXPECT_EQ(AdvancedOptionsFinder::maxCount(text), count) << text;
    EXPECT_EQ(AdvancedOptionsFinder::structureLabel(FileSystemKind::Fat16), "Total fat16 Entries Found:");
    EXPECT_FALSE(AdvancedOptionsFinder::offered(FileSystemKind::Ext));
}
