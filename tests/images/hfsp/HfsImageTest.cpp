// HFS+ and HFSX images from make-hfsp.py. The builder itself is proven by sleuthkit: fls lists
// exactly the live tree the builder meant, and icat returns each file's bytes (big.bin needs its
// overflow extents, and the catalog its ninth extent from the overflow file). The reader must
// then list what fls lists plus the record left in a free catalog node, and save every file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "ImageFixture.h"
#include "ReaderListing.h"

namespace fs = std::filesystem;

namespace {
/// fls -r -p: "r/r 26:\tpath" per line; the volume's own metadata files ("$...") left out.
std::map<std::string, std::pair<bool, std::string>> flsListing(const std::string& image) {
    int status = 0;
    std::istringstream lines(runCommand("fls -r -p '" + image + "'", &status));
    std::map<std::string, std::pair<bool, std::string>> out;
    for (std::string line; std::getline(lines, line);) {
        const auto tab = line.find('\t');
        const auto colon = line.find(':');
        if (tab == std::string::npos || colon == std::string::npos || line.compare(tab + 1, 1, "$") == 0)
            continue;
        out[line.substr(tab + 1)] = {line[0] == 'd', line.substr(4, colon - 4)};
    }
    return out;
}

class HfsImage : public ::testing::TestWithParam<const char*> {};

TEST_P(HfsImage, BuilderIsReadBySleuthkit) {
    REQUIRE_IMAGE(image, std::string("hfsp/") + GetParam() + ".sh");
    if (runCommand("command -v fls icat").empty())
        GTEST_SKIP() << "sleuthkit missing";
    const auto fls = flsListing(image.path);
    const fs::path expected = image.path + ".expected";
    const auto wanted = treeOf(expected);
    ASSERT_EQ(fls.size(), wanted.size());
    for (const auto& [path, entry] : wanted) {
        auto found = fls.find(path);
        ASSERT_NE(found, fls.end()) << path;
        EXPECT_EQ(found->second.first, entry.folder) << path;
        if (!entry.folder) {
            EXPECT_EQ(runCommand("icat '" + image.path + "' " + found->second.second), readWholeFile(expected / path)) << path;
        }
    }
}

TEST_P(HfsImage, StandardWalkListsLiveTreeAndFreeNodeRecord) {
    REQUIRE_IMAGE(image, std::string("hfsp/") + GetParam() + ".sh");
    ScannedImage scanned(image.path, "HFS+", ScanMode::Standard);
    ASSERT_NE(scanned.view, nullptr) << scanned.error;
    auto listed = scanned.listing();
    const fs::path expected = image.path + ".expected";
    const fs::path deleted = image.path + ".deleted";
    auto wanted = treeOf(expected);
    for (const auto& [path, entry] : treeOf(deleted))
        wanted[path] = entry;
    ASSERT_EQ(listed.size(), wanted.size());
    const fs::path out = fs::temp_directory_path() / ("pictorva-hfs-" + std::string(GetParam()));
    fs::remove_all(out);
    fs::create_directories(out);
    for (const auto& [path, want] : wanted) {
        auto got = listed.find(path);
        ASSERT_NE(got, listed.end()) << "not listed: " << path;
        ASSERT_EQ(got->second.folder, want.folder) << path;
        if (want.folder)
            continue;
        EXPECT_EQ(got->second.size, want.size) << path;
        const fs::path target = out / std::to_string(got->second.ref);
        ASSERT_TRUE(scanned.view->writeNewFile(got->second.ref, target.string())) << path;
        const fs::path source = fs::exists(expected / path) ? expected / path : deleted / path;
        EXPECT_EQ(readWholeFile(target), readWholeFile(source)) << "content differs: " << path;
        struct stat saved {}, original {};
        ASSERT_EQ(::stat(target.c_str(), &saved), 0);
        ASSERT_EQ(::stat(source.c_str(), &original), 0);
        EXPECT_EQ(saved.st_mtime, original.st_mtime) << path;
    }
    const EntryRef notes = listed.at("docs/notes.txt").ref;
    EXPECT_EQ(scanned.view->byteSize(notes), 11u);
    EXPECT_EQ(scanned.view->details(notes).attributes, "-Owner:W-Owner:R-OR-GR");
    fs::remove_all(out);
}

TEST_P(HfsImage, DeepScanHangsEverythingUnderOrphanEntry) {
    REQUIRE_IMAGE(image, std::string("hfsp/") + GetParam() + ".sh");
    ScannedImage scanned(image.path, "HFS+", ScanMode::Deep);
    ASSERT_NE(scanned.view, nullptr) << scanned.error;
    const auto listed = scanned.listing();
    ASSERT_EQ(scanned.view->topLevel().size(), 1u);
    // The root folder's own parent (1) has no record: it is one of the orphans.
    const std::string top = "ORPHAN_ENTRY/PictorvaHFS/";
    for (const fs::path& root : {fs::path(image.path + ".expected"), fs::path(image.path + ".deleted")})
        for (const auto& [path, want] : treeOf(root)) {
            auto got = listed.find(top + path);
            ASSERT_NE(got, listed.end()) << top + path;
            EXPECT_EQ(got->second.size, want.size) << path;
        }
    const auto big = listed.find(top + "big.bin");
    ASSERT_NE(big, listed.end());
    const fs::path target = fs::temp_directory_path() / ("pictorva-hfs-deep-" + std::string(GetParam()));
    fs::remove(target);  // left by an earlier run: a save never replaces it
    ASSERT_TRUE(scanned.view->writeNewFile(big->second.ref, target.string()));
    EXPECT_EQ(readWholeFile(target), readWholeFile(fs::path(image.path + ".expected") / "big.bin"));
    fs::remove(target);
}

INSTANTIATE_TEST_SUITE_P(Variants, HfsImage, ::testing::Values("hfsp", "hfsx"));
}  // namespace
