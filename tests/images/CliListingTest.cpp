// list and save through the command line on a real FAT16 image made by mkfs.fat and mtools.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "CliListing.h"

namespace {
struct ManifestFile {
    bool deleted = false;
    std::uint64_t size = 0;
    std::string md5;
};

/// The fill script's manifest: kind, deleted, contiguous, size, mtime, md5, path.
std::map<std::string, ManifestFile> readManifest(const std::string& path) {
    std::map<std::string, ManifestFile> files;
    std::ifstream in(path);
    std::string kind, deleted, contiguous, size, mtime, md5, name;
    while (std::getline(in, kind, '\t') && std::getline(in, deleted, '\t') && std::getline(in, contiguous, '\t') &&
           std::getline(in, size, '\t') && std::getline(in, mtime, '\t') && std::getline(in, md5, '\t') &&
           std::getline(in, name)) {
        if (kind == "F")
            files[name] = {deleted == "1", std::stoull(size), md5};
    }
    return files;
}
}  // namespace

TEST(CliListing, ListAndSaveAgreeWithWhatWasWritten) {
    REQUIRE_IMAGE(image, "make-fat16.sh");
    const auto manifest = readManifest(image.path + ".manifest");
    ASSERT_FALSE(manifest.empty());
    int status = -1;
    std::map<std::string, CliRow> rows;
    std::int64_t files = 0;
    for (const auto& [path, row] : cliListRows(image.path, "--volume 0", &status)) {
        rows.emplace(path, row);
        files += row.folder ? 0 : 1;
    }
    EXPECT_EQ(status, 0);
    for (const auto& [path, file] : manifest) {
        if (file.deleted)
            continue;
        const auto row = rows.find(path);
        ASSERT_NE(row, rows.end()) << path;
        EXPECT_FALSE(row->second.folder) << path;
        EXPECT_EQ(row->second.size, file.size) << path;
    }

    const std::string out = ::testing::TempDir() + "/cli-save-fat16";
    std::filesystem::remove_all(out);
    const CliSaveCounts saved = cliSave(image.path, "--volume 0", out + "/made/when/missing");
    EXPECT_EQ(saved.exitStatus, 0);
    EXPECT_EQ(saved.written + saved.failed, files);
    EXPECT_EQ(saved.failed, 0);
    // One md5sum run over everything saved: "md5  ./path" per line.
    std::map<std::string, std::string> sums;
    std::istringstream lines(runCommand("cd " + shellQuote(out + "/made/when/missing") + " && find . -type f -exec md5sum {} +"));
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > 36)
            sums[line.substr(36)] = line.substr(0, 32);
    }
    for (const auto& [path, file] : manifest) {
        if (!file.deleted) {
            EXPECT_EQ(sums[path], file.md5) << path;
        }
    }
    std::filesystem::remove_all(out);
}

TEST(CliListing, ShortFolderNamesAreTypedWithoutTheirPadding) {
    REQUIRE_IMAGE(image, "make-fat16.sh");
    // DCIM is a short name only ("DCIM" and seven blanks on the disk); a list path names it as
    // a user types it, and save --folder takes that path.
    const auto rows = cliListRows(image.path, "--volume 0");
    ASSERT_EQ(rows.count("DCIM"), 1u);
    EXPECT_TRUE(rows.at("DCIM").folder);
    EXPECT_EQ(rows.count("DCIM/IMG_0001.JPG"), 1u);
    const std::string out = ::testing::TempDir() + "/cli-save-dcim";
    std::filesystem::remove_all(out);
    const CliSaveCounts saved = cliSave(image.path, "--volume 0 --folder DCIM", out);
    EXPECT_EQ(saved.exitStatus, 0);
    EXPECT_EQ(saved.written, 3000);
    EXPECT_TRUE(std::filesystem::exists(out + "/IMG_0001.JPG"));
    std::filesystem::remove_all(out);
}

TEST(CliListing, ClearFailuresExitWithOne) {
    REQUIRE_IMAGE(image, "make-fat16.sh");
    int status = -1;
    cliListRows(image.path, "--volume 0 --fs HFS+", &status);  // the wrong reader finds nothing it can use
    EXPECT_EQ(status, 1);
    cliListRows("/nonexistent/image.img", "", &status);
    EXPECT_EQ(status, 1);
    const CliSaveCounts noFolder = cliSave(image.path, "--volume 0 --folder no/such/folder", ::testing::TempDir() + "/cli-none");
    EXPECT_EQ(noFolder.exitStatus, 1);
    const CliSaveCounts badOut = cliSave(image.path, "--volume 0", image.path + "/inside-the-image");
    EXPECT_EQ(badOut.exitStatus, 1);
}

// A camera card's root files carry read-only, hidden or system bits or no archive bit, and its
// DCIM folder is hidden: list shows and save writes every one of them, on FAT16 and on FAT32.
TEST(CliListing, CameraCardFilesAreListedAndSavedWhateverTheirAttributeBits) {
    REQUIRE_IMAGE(image, "camera-attributes.sh");
    std::map<std::string, std::pair<std::uint64_t, std::string>> manifest;  // path: size, md5
    {
        std::ifstream in(image.path + ".manifest");
        std::string path, size, md5;
        while (std::getline(in, path, '\t') && std::getline(in, size, '\t') && std::getline(in, md5))
            manifest[path] = {std::stoull(size), md5};
    }
    ASSERT_EQ(manifest.size(), 7u);
    const std::map<std::string, std::string> attributes = {
        {"IMG_0001.JPG", "-R-A"}, {"DSC_0052.JPG", "-H-A"}, {"IMG_0002.JPG", "-S-A"}, {"IMG_0003.JPG", ""},
        {"IMG_0004.JPG", "-R-H-S"}, {"DCIM", "-H-S"}, {"DCIM/IMG_0100.JPG", "-R"}};
    for (const char* volume : {"--volume 0", "--volume 1"}) {
        int status = -1;
        const auto rows = cliListRows(image.path, volume, &status);
        EXPECT_EQ(status, 0) << volume;
        for (const auto& [path, file] : manifest) {
            const auto row = rows.find(path);
            ASSERT_NE(row, rows.end()) << volume << " " << path;
            EXPECT_FALSE(row->second.folder) << path;
            EXPECT_EQ(row->second.size, file.first) << path;
        }
        ASSERT_EQ(rows.count("DCIM"), 1u) << volume;
        EXPECT_TRUE(rows.at("DCIM").folder);
        for (const auto& [path, text] : attributes)
            EXPECT_EQ(rows.at(path).attributes, text) << volume << " " << path;

        const std::string out = ::testing::TempDir() + "/cli-save-camera";
        std::filesystem::remove_all(out);
        const CliSaveCounts saved = cliSave(image.path, volume, out);
        EXPECT_EQ(saved.exitStatus, 0);
        EXPECT_EQ(saved.written, 7) << volume;
        EXPECT_EQ(saved.failed, 0);
        for (const auto& [path, file] : manifest) {
            const std::string sum = runCommand("md5sum < " + shellQuote(out + "/" + path));
            EXPECT_EQ(sum.substr(0, 32), file.second) << volume << " " << path;
        }
        std::filesystem::remove_all(out);
    }
}
