// ext3 and ext4 volumes whose photos the kernel deleted (ext/ext-deleted.sh): the journal mode
// lists every deleted file under its own name and folder and saves it byte for byte with its
// modification time; the live files stay as they are. Where the journal has wrapped since, what
// is saved is still exact and the rest is listed as such.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ImageFixture.h"
#include "ReaderListing.h"

namespace fs = std::filesystem;

namespace {
struct Variant {
    const char* script;
    bool wrapped;
};

class ExtDeletedImage : public ::testing::TestWithParam<Variant> {};

/// Every entry of the view by path, with whether it is listed as deleted.
std::map<std::string, std::pair<EntryRef, bool>> deletedFlags(EntryView& view) {
    std::map<std::string, std::pair<EntryRef, bool>> out;
    std::function<void(const std::vector<EntryRef>&, const std::string&, bool)> walk =
        [&](const std::vector<EntryRef>& entries, const std::string& prefix, bool parentDeleted) {
            for (EntryRef ref : entries) {
                const std::string path = prefix + view.name(ref);
                const bool deleted = view.isDeleted(ref, parentDeleted);
                out[path] = {ref, deleted};
                if (view.isFolder(ref, prefix.empty() ? Placement::TopLevel : Placement::Nested))
                    walk(view.children(ref), path + "/", deleted);
            }
        };
    walk(view.topLevel(), "", false);
    return out;
}

TEST_P(ExtDeletedImage, GivesBackEveryDeletedFileByNameAndBytes) {
    REQUIRE_IMAGE(image, std::string("ext/") + GetParam().script);
    ScannedImage scanned(image.path, "extX", ScanMode::Journal);
    ASSERT_NE(scanned.view, nullptr) << scanned.error;
    EntryView& view = *scanned.view;
    const auto listed = deletedFlags(view);
    const fs::path deleted = image.path + ".deleted";
    const fs::path live = image.path + ".live";

    // The live tree is untouched: every live file is listed, not as deleted.
    for (const auto& [path, want] : treeOf(live)) {
        auto got = listed.find(path);
        ASSERT_NE(got, listed.end()) << "live entry not listed: " << path;
        EXPECT_FALSE(got->second.second) << "live entry listed as deleted: " << path;
    }

    const fs::path out = fs::temp_directory_path() / ("pictorva-ext-deleted-" + std::string(GetParam().script));
    fs::remove_all(out);
    fs::create_directories(out);
    int exact = 0, files = 0;
    for (const auto& [path, want] : treeOf(deleted)) {
        if (want.folder)
            continue;
        ++files;
        auto got = listed.find(path);
        if (GetParam().wrapped && got == listed.end())
            continue;  // its folder's blocks may all be gone with the journal's copies
        ASSERT_NE(got, listed.end()) << "deleted file not listed under its name: " << path;
        EXPECT_TRUE(got->second.second) << path;
        const EntryRef ref = got->second.first;
        const fs::path target = out / std::to_string(ref);
        if (!view.entryType(ref).empty()) {
            EXPECT_TRUE(GetParam().wrapped) << path << ": " << view.entryType(ref);
            continue;
        }
        ASSERT_TRUE(view.writeNewFile(ref, target.string())) << path;
        if (view.details(ref).attributes == "partly overwritten") {
            EXPECT_TRUE(GetParam().wrapped) << path;
            continue;
        }
        ASSERT_EQ(readWholeFile(target), readWholeFile(deleted / path)) << "content differs: " << path;
        struct stat saved {}, original {};
        ASSERT_EQ(::stat(target.c_str(), &saved), 0);
        ASSERT_EQ(::stat((deleted / path).c_str(), &original), 0);
        EXPECT_EQ(saved.st_mtime, original.st_mtime) << path;
        ++exact;
    }
    if (!GetParam().wrapped) {
        EXPECT_EQ(exact, files);
    }
    // Nothing is listed as deleted that was not: every deleted file listed is one that was removed
    // (the wrapped volume also removed its churn files).
    for (const auto& [path, flag] : listed) {
        if (!GetParam().wrapped && flag.second && !view.isFolder(flag.first, Placement::Nested) && !fs::exists(deleted / path))
            ADD_FAILURE() << "listed as deleted but never removed: " << path;
    }
    std::printf("%s: %d of %d deleted files back byte-exact under their names\n", GetParam().script, exact, files);
    fs::remove_all(out);
}

INSTANTIATE_TEST_SUITE_P(Volumes, ExtDeletedImage,
                         ::testing::Values(Variant{"deleted-ext4.sh", false}, Variant{"deleted-ext3.sh", false},
                                           Variant{"deleted-ext4-4k.sh", false}, Variant{"deleted-ext3-4k.sh", false},
                                           Variant{"deleted-ext4-wrapped.sh", true}),
                         [](const auto& info) {
                             std::string name = info.param.script;
                             name = name.substr(0, name.size() - 3);
                             for (char& c : name)
                                 if (c == '-')
                                     c = '_';
                             return name;
                         });

// debugfs leaves a removed file's block map in its inode and its entry in the folder's slack: the
// journal mode finds both on ext2 (no journal at all: listed, no crash), ext3 and ext4.
class ExtRemovedByDebugfs : public ::testing::TestWithParam<const char*> {};

TEST_P(ExtRemovedByDebugfs, ListsAndSavesFilesWhoseInodeKeptItsMap) {
    REQUIRE_IMAGE(image, std::string("ext/") + GetParam() + ".sh");
    ScannedImage scanned(image.path, "extX", ScanMode::Journal);
    ASSERT_NE(scanned.view, nullptr) << scanned.error;
    const auto listed = deletedFlags(*scanned.view);
    const fs::path out = fs::temp_directory_path() / ("pictorva-ext-removed-" + std::string(GetParam()));
    fs::remove_all(out);
    fs::create_directories(out);
    for (const char* path : {"DCIM/to-delete-1.jpg", "DCIM/to-delete-2.jpg"}) {
        auto got = listed.find(path);
        ASSERT_NE(got, listed.end()) << path;
        EXPECT_TRUE(got->second.second) << path;
        const fs::path target = out / fs::path(path).filename();
        ASSERT_TRUE(scanned.view->writeNewFile(got->second.first, target.string())) << path;
        EXPECT_EQ(fs::file_size(target), 2000u) << path;
    }
    // The live tree is listed as in the standard mode, nothing of it as deleted.
    for (const auto& [path, want] : treeOf(image.path + ".expected"))
        EXPECT_TRUE(listed.count(path) && !listed.at(path).second) << path;
    fs::remove_all(out);
}

INSTANTIATE_TEST_SUITE_P(Variants, ExtRemovedByDebugfs, ::testing::Values("ext2", "ext3", "ext4"));
}  // namespace
