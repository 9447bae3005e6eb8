#include <gtest/gtest.h>

#include "FakeEntryView.h"
#include "browser/EntryWalk.h"
#include "browser/ListingFormat.h"

namespace {
std::vector<std::string> listedLines(FakeEntryView& view) {
    std::vector<std::string> lines;
    listEntries(view, [&lines](const ListedEntry& e) {
        lines.push_back(std::to_string(e.depth) + (e.folder ? " D " : " F ") + (e.deleted ? "del " : "") + e.path);
    });
    return lines;
}
}  // namespace

TEST(EntryWalk, ListsDepthFirstInChildOrderWithJoinedPaths) {
    FakeEntryView view;
    const EntryRef dcim = view.folder(0, "DCIM");
    const EntryRef hundred = view.folder(dcim, "100");
    view.file(hundred, "IMG_0001.jpg");
    view.file(dcim, "thumbs.db");
    view.file(0, "root.txt");
    const EntryRef gone = view.folder(0, "OLD", true);
    view.file(gone, "kept.jpg");
    const EntryRef orphans = view.folder(0, "ORPHAN_ENTRY");
    view.file(orphans, "lost.jpg", "x", true);
    view.file(hundred, "IMG_0002.jpg");

    EXPECT_EQ(listedLines(view), (std::vector<std::string>{
                                     "0 D DCIM",
                                     "1 D DCIM/100",
                                     "2 F DCIM/100/IMG_0001.jpg",
                                     "2 F DCIM/100/IMG_0002.jpg",
                                     "1 F DCIM/thumbs.db",
                                     "0 F root.txt",
                                     "0 D del OLD",
                                     "1 F del OLD/kept.jpg",  // a file in a deleted folder is deleted
                                     "0 D ORPHAN_ENTRY",
                                     "1 F del ORPHAN_ENTRY/lost.jpg",
                                 }));
    EXPECT_EQ(countFiles(view), 6);
    EXPECT_EQ(countFiles(view, dcim), 3);
    EXPECT_EQ(countFiles(view, hundred), 2);
}

TEST(EntryWalk, CraftedLoopsAreListedOnceAndWalkedOnce) {
    FakeEntryView view;
    const EntryRef a = view.folder(0, "a");
    const EntryRef b = view.folder(a, "b");
    view.file(b, "f.jpg");
    view.link(b, a);  // b claims its own parent as a child
    view.link(b, b);  // and itself
    const EntryRef self = view.folder(a, ".");
    view.link(self, a);
    EXPECT_EQ(listedLines(view), (std::vector<std::string>{
                                     "0 D a",
                                     "1 D a/b",
                                     "2 F a/b/f.jpg",
                                     "2 D a/b/a",
                                     "2 D a/b/b",
                                     "1 D a/.",
                                 }));
    EXPECT_EQ(countFiles(view), 1);
}

TEST(EntryWalk, DeepChainsOfFoldersAreCutAtTheDepthLimit) {
    FakeEntryView view;
    EntryRef folder = 0;
    for (int level = 0; level < 200000; ++level) {
        folder = view.folder(folder, "d");
        if (level == kMaxWalkDepth - 2)
            view.file(folder, "deepest kept.jpg");
    }
    view.file(folder, "bottom.jpg");
    EXPECT_EQ(countFiles(view), 1);
    std::int64_t listed = 0;
    int deepest = 0;
    listEntries(view, [&](const ListedEntry& e) {
        ++listed;
        deepest = std::max(deepest, e.depth);
    });
    EXPECT_EQ(listed, kMaxWalkDepth + 1);
    EXPECT_EQ(deepest, kMaxWalkDepth - 1);
}

TEST(EntryWalk, StopEndsTheListing) {
    FakeEntryView view;
    view.file(0, "a.jpg");
    view.stop.set();
    EXPECT_TRUE(listedLines(view).empty());
    EXPECT_EQ(countFiles(view), 1);  // counting ignores the stop flag
}

TEST(EntryWalk, FindsFoldersByListedPath) {
    FakeEntryView view;
    const EntryRef dcim = view.folder(0, "DCIM");
    const EntryRef live = view.folder(dcim, "100");
    const EntryRef gone = view.folder(dcim, "100", true);
    view.file(dcim, "100x");
    const EntryRef odd = view.folder(0, "tab\there");

    const auto paths = [&view](const std::string& path) {
        std::vector<EntryRef> refs;
        for (const FoundFolder& f : findFolders(view, path))
            refs.push_back(f.entry);
        return refs;
    };
    EXPECT_EQ(paths("DCIM"), std::vector<EntryRef>{dcim});
    EXPECT_EQ(paths("DCIM/"), std::vector<EntryRef>{dcim});
    EXPECT_EQ(paths("DCIM/100"), (std::vector<EntryRef>{live, gone}));
    EXPECT_TRUE(findFolders(view, "DCIM/100")[1].deleted);
    EXPECT_TRUE(paths("DCIM/100x").empty());  // a file, not a folder
    EXPECT_TRUE(paths("dcim").empty());
    EXPECT_EQ(paths("tab\\x09here"), std::vector<EntryRef>{odd});  // as the tsv listing shows it
}

TEST(ListingFormat, TsvRowsAndTreeLinesKeepOneEntryPerLine) {
    // A FAT wall-clock time is written as stored, an instant in UTC, an unknown time as nothing.
    const EntryDetails details{EntryTime::wallClock(1577959200), EntryTime::wallDate(1577923200),
                               EntryTime::instant(1578056461), "-A\n"};
    ListedEntry file{7, 2, false, true, "a\nb.jpg", "DCIM/100/a\nb.jpg"};
    EXPECT_EQ(formatTsvRow(file, 1024, details), "DCIM/100/a\\x0Ab.jpg\tF\t1\t1024\t2020-01-02T10:00:00Z\t"
                                                 "2020-01-02T00:00:00Z\t2020-01-03T13:01:01Z\t-A\\x0A");
    EXPECT_EQ(formatTreeLine(file, 1024), "    a\\x0Ab.jpg  1.00 KB  [deleted]");
    ListedEntry folder{3, 0, true, false, "DCIM", "DCIM"};
    EXPECT_EQ(formatTsvRow(folder, 0, EntryDetails{}), "DCIM\tD\t0\t0\t\t\t\t");
    EXPECT_EQ(formatTreeLine(folder, 0), "DCIM/");
}
