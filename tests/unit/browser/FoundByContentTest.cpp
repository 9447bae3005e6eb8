// The carve after a listing: it searches the free space less what live files hold, and a carved
// file is left out only when its bytes are the first bytes of a listed file, at that file's places.
#include <gtest/gtest.h>

#include "FakeEntryView.h"
#include "browser/FoundByContent.h"
#include "disk/MemoryReadSeek.h"

namespace {
FileExtents runs(std::vector<Extent> list) {
    FileExtents extents;
    for (const Extent& e : list)
        extents.length = std::max(extents.length, e.fileOffset + e.length);
    extents.runs = std::move(list);
    return extents;
}
}  // namespace

TEST(FoundByContent, CarvedFilesThatAreListedFilesAreLeftOutAndLiveSpaceIsNotSearched) {
    FakeEntryView view;
    const EntryRef dcim = view.folder(0, "DCIM");
    const EntryRef live = view.file(dcim, "live.jpg");
    const EntryRef fragmented = view.file(dcim, "deleted.jpg", "x", true);
    const EntryRef holeFirst = view.file(dcim, "sparse.jpg", "x", true);
    const EntryRef other = view.file(0, "other.jpg");
    view.placed[live] = runs({{0, 4096, 100000}});
    view.placed[fragmented] = runs({{0, 8192, 200000}, {8192, 4096, 300000}});
    view.placed[holeFirst] = runs({{0, 4096, std::nullopt}, {4096, 4096, 400000}});
    view.placed[other] = runs({{0, 4096, 500000}});
    const ListedFiles listed(view);
    EXPECT_EQ(listed.fileCount(), 4u);
    EXPECT_EQ(listed.liveSpace(), (std::vector<VolumeSpan>{{100000, 4096}, {500000, 4096}}));

    struct Case {
        const char* what;
        std::vector<CarvedRun> carved;
        bool listed;
    };
    const std::vector<Case> cases = {
        {"the deleted file in its two pieces", {{200000, 8192}, {300000, 4096}}, true},
        {"its first bytes only", {{200000, 5000}}, true},
        {"the live file", {{100000, 4096}}, true},
        {"running past the file's last byte", {{200000, 8192}, {300000, 5000}}, false},
        {"straight on where the file jumps", {{200000, 12288}}, false},
        {"starting inside it", {{204096, 100}}, false},
        {"where a file beginning with a hole keeps later bytes", {{400000, 4096}}, false},
        {"nowhere listed", {{600000, 4096}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(listed.holds(c.carved), c.listed);
    }

    // This view reads no allocation map: the whole volume is searched, less the live files.
    const FreeSpacePlan plan = spaceAfterListing(view, listed, 1000000);
    EXPECT_EQ(plan.spans, (std::vector<VolumeSpan>{{0, 100000}, {104096, 395904}, {504096, 495904}}));
    ASSERT_EQ(plan.notes.size(), 1u);
    EXPECT_NE(plan.notes[0].find("the whole volume is searched"), std::string::npos);
}

TEST(FoundByContent, FoundFilesJoinTheListingInAFolderPerType) {
    std::vector<unsigned char> volume(64 * 1024);
    for (std::size_t i = 0; i < volume.size(); ++i)
        volume[i] = static_cast<unsigned char>(i * 13 + 5);
    MemoryReadSeek medium(volume);
    auto listing = std::make_unique<FakeEntryView>();
    const EntryRef dcim = listing->folder(0, "DCIM");
    listing->file(dcim, "live.jpg");
    const auto item = [](std::uint64_t index, std::vector<CarvedRun> runs, const char* name, const char* category) {
        CarvedFile file;
        file.runs = std::move(runs);
        return CarvedSaveItem{index, file, name, category, "x", {}};
    };
    const std::unique_ptr<EntryView> view =
        withFoundFiles(std::move(listing), SourceVolume(medium),
                       {item(0, {{1000, 300}}, "1000.jpg", "JPEG"), item(1, {{5000, 100}, {9000, 50}}, "5000.png", "PNG"),
                        item(2, {{20000, 10}}, "20000.jpg", "JPEG")});
    const std::vector<EntryRef> top = view->topLevel();
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(view->name(top[0]), "DCIM");
    const EntryRef found = top[1];
    EXPECT_EQ(view->name(found), "Found by content");
    EXPECT_TRUE(view->isFolder(found, Placement::TopLevel));
    std::vector<std::string> types;
    for (EntryRef type : view->children(found))
        types.push_back(view->name(type) + ":" + std::to_string(view->children(type).size()));
    EXPECT_EQ(types, (std::vector<std::string>{"JPEG:2", "PNG:1"}));
    const EntryRef png = view->children(view->children(found)[1])[0];
    EXPECT_EQ(view->name(png), "5000.png");
    EXPECT_TRUE(view->isDeleted(png, false));
    EXPECT_EQ(view->byteSize(png), 150u);
    const std::optional<std::vector<std::uint8_t>> bytes = readEntryBytes(*view, png, 1000);
    ASSERT_TRUE(bytes.has_value());
    std::vector<std::uint8_t> expected(volume.begin() + 5000, volume.begin() + 5100);
    expected.insert(expected.end(), volume.begin() + 9000, volume.begin() + 9050);
    EXPECT_EQ(*bytes, expected);

    auto empty = std::make_unique<FakeEntryView>();
    empty->file(0, "a.jpg");
    EXPECT_EQ(withFoundFiles(std::move(empty), SourceVolume(medium), {})->topLevel().size(), 1u);  // no empty folder
}
