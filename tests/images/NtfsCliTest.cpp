// list and save through the command line on the mkntfs/ntfs-3g volume and on its copy whose boot
// sector is zeroed, one test per parsing mode.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>

#include "CliListing.h"

namespace fs = std::filesystem;

namespace {
// One record is one entry: the second hard link of the image is not listed again.
constexpr const char* kSecondLink = "links2/second.jpg";

/// The image's manifest of live files: path -> size.
std::map<std::string, std::uint64_t> liveFiles(const std::string& basicImage) {
    std::map<std::string, std::uint64_t> files;
    std::ifstream in(fs::path(basicImage).replace_extension(".manifest"));
    std::string path, size, mtime;
    while (std::getline(in, path, '\t') && std::getline(in, size, '\t') && std::getline(in, mtime))
        if (path != kSecondLink)
            files[path] = std::stoull(size);
    return files;
}

/// md5 of every regular file below dir, by path relative to dir (no "./").
std::map<std::string, std::string> md5Below(const fs::path& dir) {
    std::map<std::string, std::string> sums;
    std::istringstream lines(runCommand("cd " + shellQuote(dir.string()) + " && find . -type f -exec md5sum {} +"));
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 36)
            sums[line.substr(36)] = line.substr(0, 32);
    return sums;
}

fs::path scratch(const std::string& name) {
    const fs::path dir = fs::temp_directory_path() / ("pictorva-ntfs-cli-" + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    return dir;
}

/// Every file copied out beside the image (live ones in NAME.files, deleted in NAME.deleted)
/// was saved below out with the same bytes.
void expectSavedAsCopies(const fs::path& copies, const fs::path& out) {
    const auto expected = md5Below(copies);
    ASSERT_FALSE(expected.empty()) << copies;
    const auto saved = md5Below(out);
    for (const auto& [path, md5] : expected) {
        if (path == kSecondLink)
            continue;
        const auto found = saved.find(path);
        ASSERT_NE(found, saved.end()) << path;
        EXPECT_EQ(found->second, md5) << path;
    }
}
}  // namespace

TEST(NtfsCli, StandardListsTheWrittenTreeWithDeletedEntriesAndSavesItByteForByte) {
    REQUIRE_IMAGE(image, "ntfs-basic.sh");
    int status = -1;
    const auto rows = cliListRows(image.path, "", &status);
    ASSERT_EQ(status, 0);
    const auto live = liveFiles(image.path);
    ASSERT_GT(live.size(), 3000u);
    for (const auto& [path, size] : live) {
        const auto row = rows.find(path);
        ASSERT_NE(row, rows.end()) << path;
        EXPECT_FALSE(row->second.folder) << path;
        EXPECT_FALSE(row->second.deleted) << path;
        EXPECT_EQ(row->second.size, size) << path;
    }
    for (const char* path : {"deleted/gone.jpg", "deleted/gone-small.txt", "deldir", "deldir/inner.png", "deldir/sub/deep.txt"}) {
        const auto row = rows.find(path);
        ASSERT_NE(row, rows.end()) << path;
        EXPECT_TRUE(row->second.deleted) << path;
    }
    EXPECT_TRUE(rows.at("deldir").folder);
    EXPECT_FALSE(rows.at("deleted").deleted);
    EXPECT_EQ(rows.count("ORPHAN_ENTRY"), 1u);

    const fs::path out = scratch("standard");
    const CliSaveCounts saved = cliSave(image.path, "", out.string());
    EXPECT_EQ(saved.exitStatus, 0);
    EXPECT_GT(saved.written, static_cast<long long>(live.size()));
    expectSavedAsCopies(fs::path(image.path).replace_extension(".files"), out);
    expectSavedAsCopies(fs::path(image.path).replace_extension(".deleted"), out);
    fs::remove_all(out);
}

// The whole volume is the user's files: $MFT, $LogFile, $Extend ... stay out unless named, and
// "files written" is what lands on disk.
TEST(NtfsCli, WholeVolumeSaveLeavesOutTheMetadataFilesAndCountsWhatLands) {
    REQUIRE_IMAGE(image, "ntfs-basic.sh");
    const fs::path out = scratch("metadata");
    const CliSaveCounts whole = cliSave(image.path, "", out.string());
    EXPECT_EQ(whole.exitStatus, 0);
    for (const char* name : {"$MFT", "$MFTMirr", "$LogFile", "$Volume", "$AttrDef", "$Bitmap", "$Boot", "$BadClus",
                             "$Secure", "$UpCase", "$Extend"})
        EXPECT_FALSE(fs::exists(out / name)) << name;
    EXPECT_TRUE(fs::exists(out / "small" / "hello.txt"));
    EXPECT_EQ(whole.failed, 0);
    EXPECT_EQ(whole.written, static_cast<long long>(md5Below(out).size()));
    fs::remove_all(out);

    const CliSaveCounts extend = cliSave(image.path, "--folder '$Extend'", out.string());
    EXPECT_EQ(extend.exitStatus, 0);
    EXPECT_GT(extend.written, 0);
    EXPECT_EQ(extend.failed, 0);
    EXPECT_EQ(extend.written, static_cast<long long>(md5Below(out).size()));
    fs::remove_all(out);
}

TEST(NtfsCli, AdvancedModeWalksTheFoundMftOfTheZeroedBootSectorCopy) {
    REQUIRE_IMAGE(image, "ntfs-zeroboot.sh");
    const std::string basic = (fs::path(image.path).parent_path() / "ntfs-basic.img").string();
    const std::string options = "--fs ntfs --mode advanced --structure 0";
    int status = -1;
    const auto rows = cliListRows(image.path, options, &status);
    ASSERT_EQ(status, 0);
    for (const auto& [path, size] : liveFiles(basic)) {
        const auto row = rows.find(path);
        ASSERT_NE(row, rows.end()) << path;
        EXPECT_EQ(row->second.size, size) << path;
    }
    EXPECT_TRUE(rows.at("deldir/inner.png").deleted);

    const fs::path out = scratch("advanced");
    const CliSaveCounts saved = cliSave(image.path, options + " --folder big", out.string());
    EXPECT_EQ(saved.exitStatus, 0);
    EXPECT_EQ(saved.failed, 0);
    const auto sums = md5Below(out), expected = md5Below(fs::path(basic).replace_extension(".files") / "big");
    EXPECT_EQ(sums, expected);
    fs::remove_all(out);

    // A structure the finder did not report is a clear failure.
    cliListRows(image.path, "--fs ntfs --mode advanced --structure 5", &status);
    EXPECT_EQ(status, 1);
}

TEST(NtfsCli, DeepModeListsTheRecordsUnderOrphanEntryAndSavesThem) {
    REQUIRE_IMAGE(image, "ntfs-zeroboot.sh");
    const std::string basic = (fs::path(image.path).parent_path() / "ntfs-basic.img").string();
    int status = -1;
    const auto rows = cliListRows(image.path, "--fs ntfs --mode deep", &status);
    ASSERT_EQ(status, 0);
    ASSERT_FALSE(rows.empty());
    std::map<std::string, std::uint64_t> sizeByName;
    for (const auto& [path, row] : rows) {
        EXPECT_EQ(path.rfind("ORPHAN_ENTRY", 0), 0u) << path;
        if (!row.folder)
            sizeByName.emplace(path.substr(path.rfind('/') + 1), row.size);
    }
    const auto live = liveFiles(basic);
    for (const char* rel : {"small/hello.txt", "big/listed.bin", "comp/text.txt", "sparse/holes.bin", "many/f1234.txt"}) {
        const std::string name = fs::path(rel).filename().string();
        ASSERT_EQ(sizeByName.count(name), 1u) << rel;
        EXPECT_EQ(sizeByName.at(name), live.at(rel)) << rel;
    }
    EXPECT_EQ(sizeByName.count("gone.jpg"), 1u);

    // Everything saved from the deep scan: the files written are there by name, byte for byte.
    const fs::path out = scratch("deep");
    const CliSaveCounts saved = cliSave(image.path, "--fs ntfs --mode deep", out.string());
    EXPECT_EQ(saved.exitStatus, 0);
    std::map<std::string, std::set<std::string>> sumsByName;
    for (const auto& [path, md5] : md5Below(out))
        sumsByName[fs::path(path).filename().string()].insert(md5);
    const auto copies = md5Below(fs::path(basic).replace_extension(".files"));
    for (const char* rel : {"small/hello.txt", "big/listed.bin", "comp/text.txt", "sparse/holes.bin", "big/frag.bin"}) {
        const std::string name = fs::path(rel).filename().string();
        EXPECT_EQ(sumsByName[name].count(copies.at(rel)), 1u) << rel;
    }
    fs::remove_all(out);
}
