#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "FakeEntryView.h"
#include "RecordingSinks.h"
#include "browser/RecycleBinNames.h"
#include "browser/SaveWalk.h"
#include "output/OutputFolder.h"

namespace {
/// An "$I" record: the older layout has the path at 24, the newer (version 2) a length there.
std::string infoRecord(const std::u16string& path, bool newer) {
    std::string bytes(newer ? 28 : 24, '\0');
    bytes[0] = newer ? 2 : 1;
    if (newer)
        bytes[24] = static_cast<char>(path.size() + 1);
    for (char16_t unit : path) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    bytes += std::string(2, '\0');
    return bytes;
}
}  // namespace

TEST(RecycleBinNames, FormerNameFromEitherLayout) {
    struct Case {
        std::string bytes;
        std::string expected;
    } cases[] = {
        {infoRecord(u"C:\\Users\\ann\\Pictures\\beach.jpg", false), "beach.jpg"},
        {infoRecord(u"C:\\Users\\ann\\Pictures\\plage \u00e9t\u00e9.jpg", true), "plage \xC3\xA9t\xC3\xA9.jpg"},
        {infoRecord(u"noslash.png", false), "noslash.png"},
        {infoRecord(u"", true), ""},
        {std::string(10, '\x01'), ""},  // too short to hold a path
    };
    for (const Case& c : cases)
        EXPECT_EQ(formerNameFromInfoRecord(c.bytes), c.expected);
}

TEST(RecycleBinNames, SaveWritesTheFormerNameAndTheTreeKeepsTheRecycledOne) {
    FakeEntryView view;
    const EntryRef bin = view.folder(0, "$RECYCLE.BIN");
    const EntryRef user = view.folder(bin, "S-1-5-21-1000");
    view.file(user, "$IAB12CD.jpg", infoRecord(u"D:\\DCIM\\IMG_0042.jpg", true));
    const EntryRef recycled = view.file(user, "$RAB12CD.jpg", "photo bytes");
    view.file(user, "$IZZ.png", std::string(3000, 'x'));  // too long to be an "$I" record: skipped
    const EntryRef orphan = view.file(user, "$RZZ.png", "png");

    EXPECT_EQ(restoreRecycleBinNames(view, FileSystemKind::Ntfs), 1);
    EXPECT_EQ(view.name(recycled), "$RAB12CD.jpg");
    EXPECT_EQ(view.saveName(recycled), "IMG_0042.jpg");
    EXPECT_EQ(view.saveName(orphan), "$RZZ.png");

    std::string out = (std::filesystem::path(::testing::TempDir()) / "recycleXXXXXX").string();
    ASSERT_NE(mkdtemp(out.data()), nullptr);
    RecordingProgress progress;
    SaveWalk walk(view, progress);
    std::string error;
    ASSERT_TRUE(walk.saveFolder(user, false, OutputFolder::open(out, error)));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(out) / "IMG_0042.jpg"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(out) / "$RAB12CD.jpg"));
    std::filesystem::remove_all(out);
}

TEST(RecycleBinNames, FatReadsOnlyTheBinsOwnChildrenAndOtherReadersNothing) {
    FakeEntryView view;
    const EntryRef bin = view.folder(0, "$RECYCLEBIN");
    view.file(bin, "$IAB12CD.jpg", infoRecord(u"E:\\a.jpg", false));
    const EntryRef recycled = view.file(bin, "$RAB12CD.jpg ");  // FAT names compare without trailing blanks
    const EntryRef user = view.folder(bin, "S-1-5");
    view.file(user, "$IXY.jpg", infoRecord(u"E:\\b.jpg", false));
    const EntryRef nested = view.file(user, "$RXY.jpg");

    EXPECT_EQ(restoreRecycleBinNames(view, FileSystemKind::Ext), 0);
    EXPECT_EQ(restoreRecycleBinNames(view, FileSystemKind::Fat32), 1);
    EXPECT_EQ(view.saveName(recycled), "a.jpg");
    EXPECT_EQ(view.saveName(nested), "$RXY.jpg");
}
