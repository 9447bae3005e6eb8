// ext2, ext3 and ext4 images made by mke2fs -d and changed by debugfs (see ext/ext-common.sh):
// every live file is listed with its name and size and saved byte for byte with its times.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ImageFixture.h"
#include "ReaderListing.h"

namespace fs = std::filesystem;

namespace {
class ExtImage : public ::testing::TestWithParam<const char*> {};

TEST_P(ExtImage, ListsAndSavesEveryLiveFile) {
    REQUIRE_IMAGE(image, std::string("ext/") + GetParam() + ".sh");
    ScannedImage scanned(image.path, "extX", ScanMode::Standard);
    ASSERT_NE(scanned.view, nullptr) << scanned.error;
    EntryView* view = scanned.view.get();
    const std::map<std::string, ListedEntry> listed = scanned.listing();
    const fs::path expected = image.path + ".expected";
    const std::map<std::string, ListedEntry> wanted = treeOf(expected);
    for (const auto& [path, want] : wanted) {
        auto got = listed.find(path);
        ASSERT_NE(got, listed.end()) << "not listed: " << path;
        EXPECT_EQ(got->second.folder, want.folder) << path;
        if (!want.folder) {
            EXPECT_EQ(got->second.size, want.size) << path;
        }
    }
    for (const auto& [path, got] : listed)
        EXPECT_TRUE(wanted.count(path)) << "listed but never written (or deleted): " << path;

    const fs::path out = fs::temp_directory_path() / ("pictorva-ext-" + std::string(GetParam()));
    fs::remove_all(out);
    fs::create_directories(out);
    for (const auto& [path, got] : listed) {
        if (got.folder)
            continue;
        const fs::path target = out / std::to_string(got.ref);
        ASSERT_TRUE(view->writeNewFile(got.ref, target.string())) << path;
        ASSERT_EQ(readWholeFile(target), readWholeFile(expected / path)) << "content differs: " << path;
    }
    // mke2fs -d keeps the source's modification times; saving restores them.
    for (const char* path : {"DCIM/100/IMG_0001.jpg", "docs/deep/er/song.mp3"}) {
        struct stat saved {}, original {};
        ASSERT_EQ(::stat((out / std::to_string(listed.at(path).ref)).c_str(), &saved), 0);
        ASSERT_EQ(::stat((expected / path).c_str(), &original), 0);
        EXPECT_EQ(saved.st_mtime, original.st_mtime) << path;
    }
    const EntryRef photo = listed.at("DCIM/100/IMG_0001.jpg").ref;
    EXPECT_EQ(view->byteSize(photo), 5000u);
    const EntryDetails details = view->details(photo);
    EXPECT_EQ(details.attributes, "-OR-GR-UW-UR");
    // mke2fs gives every variant 256-byte inodes, which keep the creation time: when the image was made.
    EXPECT_EQ(details.modified, EntryTime::instant(1614834367));  // 2021-03-04 05:06:07 UTC
    EXPECT_TRUE(details.created.known());
    EXPECT_GT(details.created.seconds, details.modified.seconds);
    fs::remove_all(out);
}

INSTANTIATE_TEST_SUITE_P(Variants, ExtImage, ::testing::Values("ext2", "ext3", "ext4"));
}  // namespace
