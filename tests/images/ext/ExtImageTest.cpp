// ext2, ext3 and ext4 images made by mke2fs -d and changed by debugfs (see ext/ext-common.sh):
// every live file is listed with its name and size and saved byte for byte with its times.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "ImageFixture.h"
#include "app/ApplicationState.h"
#include "app/Notifier.h"
#include "app/ProgressSink.h"
#include "browser/ReaderRegistry.h"
#include "disk/FileReadSeek.h"

namespace fs = std::filesystem;

namespace {
struct Listed {
    bool folder = false;
    std::uint64_t size = 0;
    EntryRef ref = 0;
};

void walk(const EntryView& view, const std::vector<EntryRef>& entries, const std::string& prefix,
          std::map<std::string, Listed>& out, int depth = 0) {
    ASSERT_LT(depth, 64);
    for (EntryRef ref : entries) {
        const std::string path = prefix + view.name(ref);
        const bool folder = view.isFolder(ref, depth == 0 ? Placement::TopLevel : Placement::Nested);
        out[path] = {folder, view.byteSize(ref), ref};
        if (folder)
            walk(view, view.children(ref), path + "/", out, depth + 1);
    }
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class ExtImage : public ::testing::TestWithParam<const char*> {};

TEST_P(ExtImage, ListsAndSavesEveryLiveFile) {
    REQUIRE_IMAGE(image, std::string("ext/") + GetParam() + ".sh");
    FileReadSeek source;
    ASSERT_TRUE(source.open(image.path));
    ApplicationState app;
    SilentNotifier notifier;
    ReaderContext context{source, VolumeRecord{"extX", "", image.path, "", 0}, source.byteSize(), app,
                          NullProgressSink::instance(), notifier, ScanMode::Standard, {}, nullptr};
    std::string error;
    auto view = scanVolume(FileSystemKind::Ext, context, error);
    ASSERT_NE(view, nullptr) << error;

    std::map<std::string, Listed> listed;
    walk(*view, view->topLevel(), "", listed);
    const fs::path expected = image.path + ".expected";
    std::map<std::string, Listed> wanted;
    for (const auto& item : fs::recursive_directory_iterator(expected)) {
        const std::string rel = fs::relative(item.path(), expected).string();
        wanted[rel] = {item.is_directory(), item.is_directory() ? 0 : item.file_size(), 0};
    }
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
        ASSERT_TRUE(view->writeContent(got.ref, target.string())) << path;
        ASSERT_EQ(readAll(target), readAll(expected / path)) << "content differs: " << path;
    }
    // mke2fs -d keeps the source's modification times; saving restores them.
    for (const char* path : {"DCIM/100/IMG_0001.jpg", "docs/deep/er/song.mp3"}) {
        struct stat saved {}, original {};
        ASSERT_EQ(::stat((out / std::to_string(listed.at(path).ref)).c_str(), &saved), 0);
        ASSERT_EQ(::stat((expected / path).c_str(), &original), 0);
        EXPECT_EQ(saved.st_mtime, original.st_mtime) << path;
    }
    const ListTexts texts = view->listTexts(listed.at("DCIM/100/IMG_0001.jpg").ref);
    EXPECT_EQ(texts.size, "4.88 KB");
    EXPECT_EQ(texts.attributes, "-OR-GR-UW-UR");
    fs::remove_all(out);
}

INSTANTIATE_TEST_SUITE_P(Variants, ExtImage, ::testing::Values("ext2", "ext3", "ext4"));
}  // namespace
