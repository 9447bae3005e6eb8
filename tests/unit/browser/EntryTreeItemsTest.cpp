// The results tree's items as entries: the checked items become the save's selection (read
// folders item by item, unread checked folders whole, root without the volume's metadata), an
// unread folder is read on demand, and list paths lose the blanks of FAT short names.

#include <gtest/gtest.h>

#include "FakeEntryView.h"
#include "browser/EntryTreeFill.h"
#include "browser/EntryTreeItems.h"
#include "browser/SelectionView.h"
#include "controls/CheckTree.h"

namespace {
struct Shown {
    FakeEntryView view;
    CheckTree tree;
    TreeItemId root = kTreeNoItem;
    EntryRef dcim, photo, other, unread, inUnread, meta;
    TreeItemId dcimItem, photoItem, otherItem, unreadItem, metaItem;
    Shown() {
        dcim = view.folder(0, "DCIM");
        photo = view.file(dcim, "a.jpg");
        other = view.file(dcim, "b.jpg");
        unread = view.folder(0, "MISC");
        inUnread = view.file(unread, "c.jpg");
        meta = view.file(0, "$MFT");
        view.metadata.insert(meta);
        root = tree.InsertItem("ROOT", kTreeRoot, kNoEntryData);
        dcimItem = tree.InsertItem("DCIM", root, dcim);
        photoItem = tree.InsertItem("a.jpg", dcimItem, photo);
        otherItem = tree.InsertItem("b.jpg", dcimItem, other);
        unreadItem = tree.InsertItem("MISC", root, unread);
        tree.InsertItem(kPlaceholderText, unreadItem, kNoEntryData);
        metaItem = tree.InsertItem("$MFT", root, meta);
    }
};
}  // namespace

TEST(EntryTreeItems, CheckedItemsBecomeTheSelectionWithTheirFolders) {
    Shown shown;
    shown.tree.SetCheck(shown.photoItem, true);
    SelectionView selection(shown.view);
    chooseCheckedItems(shown.tree, shown.root, shown.view, selection);
    EXPECT_EQ(selection.topLevel(), (std::vector<EntryRef>{shown.dcim}));
    EXPECT_EQ(selection.children(shown.dcim), (std::vector<EntryRef>{shown.photo}));

    // An unread folder checked comes whole; root checked leaves the metadata file out, which
    // still comes when ticked alone.
    Shown all;
    all.tree.SetCheck(all.root, true);
    SelectionView everything(all.view);
    chooseCheckedItems(all.tree, all.root, all.view, everything);
    EXPECT_EQ(everything.topLevel(), (std::vector<EntryRef>{all.dcim, all.unread}));
    EXPECT_EQ(everything.children(all.unread), (std::vector<EntryRef>{all.inUnread}));
    EXPECT_EQ(everything.children(all.dcim), (std::vector<EntryRef>{all.photo, all.other}));
    Shown alone;
    alone.tree.SetCheck(alone.metaItem, true);
    SelectionView metadata(alone.view);
    chooseCheckedItems(alone.tree, alone.root, alone.view, metadata);
    EXPECT_EQ(metadata.topLevel(), (std::vector<EntryRef>{alone.meta}));
}

TEST(EntryTreeItems, WithNothingCheckedSaveTakesTheCurrentFolderWhole) {
    Shown shown;
    shown.tree.SetItemTextColor(shown.dcimItem, kDeletedColor);
    SelectionView folder(shown.view);
    const std::optional<SaveStart> start = chooseForSave(shown.tree, shown.root, shown.view, shown.dcimItem, folder);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->folder, shown.dcim);
    EXPECT_TRUE(start->folderDeleted);
    EXPECT_EQ(folder.children(shown.dcim), (std::vector<EntryRef>{shown.photo, shown.other}));

    SelectionView volume(shown.view);
    const std::optional<SaveStart> whole = chooseForSave(shown.tree, shown.root, shown.view, shown.root, volume);
    ASSERT_TRUE(whole);
    EXPECT_FALSE(whole->folder);
    EXPECT_EQ(volume.topLevel(), (std::vector<EntryRef>{shown.dcim, shown.unread}));

    SelectionView file(shown.view);
    EXPECT_FALSE(chooseForSave(shown.tree, shown.root, shown.view, shown.photoItem, file));
    // Something checked: that, whatever is current.
    shown.tree.SetCheck(shown.otherItem, true);
    SelectionView checked(shown.view);
    const std::optional<SaveStart> top = chooseForSave(shown.tree, shown.root, shown.view, shown.photoItem, checked);
    ASSERT_TRUE(top);
    EXPECT_FALSE(top->folder);
    EXPECT_EQ(checked.children(shown.dcim), (std::vector<EntryRef>{shown.other}));
}

TEST(EntryTreeItems, AnUnreadFolderIsReadOnDemandOnce) {
    Shown shown;
    const EntryRef gone = shown.view.file(shown.unread, "gone.jpg", "x", true);
    const EntryRef sub = shown.view.folder(shown.unread, "sub");
    shown.view.file(sub, "d.jpg");
    shown.view.folder(shown.unread, ".");
    shown.tree.SetCheck(shown.unreadItem, true);
    EXPECT_TRUE(isFolderItem(shown.tree, shown.root, &shown.view, shown.unreadItem));
    EXPECT_FALSE(isFolderItem(shown.tree, shown.root, &shown.view, shown.photoItem));
    EXPECT_FALSE(isFolderItem(shown.tree, shown.root, nullptr, shown.unreadItem));

    for (int time = 0; time < 2; ++time)
        populateFolderItem(shown.tree, shown.root, shown.view, shown.unreadItem, true);
    const auto& children = shown.tree.children(shown.unreadItem);
    ASSERT_EQ(children.size(), 3u);  // the placeholder and "." gone, nothing twice
    EXPECT_EQ(shown.tree.item(children[0])->data, shown.inUnread);
    EXPECT_EQ(shown.tree.item(children[1])->data, gone);
    EXPECT_EQ(shown.tree.item(children[1])->textColor, kDeletedColor);
    EXPECT_NE(shown.tree.item(children[0])->textColor, kDeletedColor);
    EXPECT_TRUE(shown.tree.item(children[0])->checked);  // the folder's choice
    ASSERT_EQ(shown.tree.children(children[2]).size(), 1u);  // sub, read when opened
    EXPECT_EQ(shown.tree.GetItemText(shown.tree.children(children[2])[0]), kPlaceholderText);
}

TEST(EntryTreeItems, PathsLoseTheBlanksOfShortNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"DCIM    /IMG_0001.JPG  ", "DCIM/IMG_0001.JPG"},
        {"a b/c\t", "a b/c"},
        {"plain", "plain"},
        {"", ""},
        {"   ", ""},
        {"x//y", "x//y"},
    };
    for (const auto& [path, shown] : cases)
        EXPECT_EQ(trimmedPath(path), shown) << path;
}
