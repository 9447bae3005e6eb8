// pictorva-cli carve and signatures over real files: planted amid random bytes, and left on a
// FAT32 volume that was formatted again. Carved files must hold the originals whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "ImageFixture.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

namespace {
std::string sourceDir() { return std::string(PICTORVA_IMAGE_SCRIPTS) + "/../.."; }

/// Carves image with the default set into out; returns the command's stdout.
std::string carve(const std::string& image, const fs::path& out, int* status) {
    return runCommand("'" + cliPath() + "' carve '" + image + "' --out '" + out.string() + "' 2>/dev/null", status);
}
}  // namespace

TEST(CarveImage, PlantedFilesComeBackWhole) {
    const std::map<std::string, std::string> kNamedByMetadata = {{"tone.mp3", "tone.mp3"}};  // its ID3 title
    REQUIRE_IMAGE(image, "carve-planted.sh");
    TempDir out;
    int status = -1;
    const std::string printed = carve(image.path, out.path(), &status);
    ASSERT_EQ(status, 0);
    std::ifstream manifest(fs::path(image.path).parent_path() / "manifest.tsv");
    std::string offset, category, ext, original;
    std::size_t planted = 0;
    while (std::getline(manifest, offset, '\t') && std::getline(manifest, category, '\t') &&
           std::getline(manifest, ext, '\t') && std::getline(manifest, original)) {
        ++planted;
        SCOPED_TRACE(original);
        const auto named = kNamedByMetadata.find(fs::path(original).filename().string());
        const fs::path carved = out.path() / category / (named != kNamedByMetadata.end() ? named->second : offset + "." + ext);
        ASSERT_TRUE(fs::exists(carved));
        const std::string bytes = readBytes(original);
        EXPECT_EQ(readBytes(carved, bytes.size()), bytes) << "not whole";
        // Types with a built-in format come back at their own length; the rest by the signature rules.
        const bool bySignature = ext == "mkv" || ext == "flv" || ext == "wmv" || ext == "mpg";
        if (!bySignature) {
            EXPECT_EQ(fs::file_size(carved), bytes.size()) << "not byte-exact";
        }
    }
    EXPECT_GE(planted, 22u);
    EXPECT_EQ(filesBelow(out.path()).size(), planted) << "files carved that were never planted";
    EXPECT_EQ(printed, std::to_string(planted) + " files carved\n");
}

TEST(CarveImage, PhotosOfAReformattedFat32VolumeComeBackWhole) {
    REQUIRE_IMAGE(image, "fat32-reformatted-photos.sh");
    TempDir out;
    int status = -1;
    carve(image.path, out.path(), &status);
    ASSERT_EQ(status, 0);
    const std::vector<fs::path> carved = filesBelow(out.path());
    const auto originals = filesBelow(fs::path(image.path).parent_path() / "originals");
    ASSERT_EQ(originals.size(), 11u);
    for (const auto& original : originals) {
        SCOPED_TRACE(original.string());
        const std::string bytes = readBytes(original);
        std::size_t whole = 0;
        for (const auto& file : carved)
            whole += readBytes(file, bytes.size()) == bytes ? 1 : 0;
        EXPECT_EQ(whole, 1u);
    }
}

TEST(CarveImage, DefaultSetIsTheTableWritten) {
    TempDir out;
    const std::string built = (out.path() / "FileSetting.txt").string();
    int status = -1;
    const std::string printed = runCommand("'" + cliPath() + "' signatures build '" + sourceDir() +
                                               "/data/signatures.tsv' '" + built + "' 2>&1",
                                           &status);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_EQ(readBytes(built), readBytes(sourceDir() + "/data/FileSetting.txt"))
        << "data/FileSetting.txt is stale: run pictorva-cli signatures build data/signatures.tsv data/FileSetting.txt";
}

TEST(CarveImage, SignaturesAddAndList) {
    TempDir dir;
    const std::string file = (dir.path() / "mine.txt").string();
    const std::string cli = "'" + cliPath() + "' signatures ";
    int status = -1;
    runCommand(cli + "add '" + file + "' --ext png --start 0x89,0x50,0x4E,0x47 --end 49,45,4e,44 --approx 5000000 "
                   "--skip 1024 --category Pictures 2>&1",
               &status);
    EXPECT_EQ(status, 0);
    runCommand(cli + "add '" + file + "' --ext bmp --start 42,4d --size-offset 2 --size-bytes 4 --header-size 54 "
                   "--size-includes-header 2>&1",
               &status);
    EXPECT_EQ(status, 0);
    const std::string refused = runCommand(cli + "add '" + file + "' --ext x --start ,, 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(refused, "signature length is zero..\n");
    EXPECT_EQ(fs::file_size(file), 2u * 173u);
    EXPECT_EQ(runCommand(cli + "list '" + file + "'", &status),
              "png\t89,50,4e,47\t0\t49,45,4e,44\t\t\t\t0\t1024\t5000000\tPictures\n"
              "bmp\t42,4d\t0\t\t2\t4\t54\t1\t0\t0\t\n");
    EXPECT_EQ(status, 0);
    std::ofstream(dir.path() / "short.txt") << "garbage";
    EXPECT_EQ(runCommand(cli + "list '" + (dir.path() / "short.txt").string() + "' 2>&1", &status),
              "Please select a valid file..\n");
    EXPECT_EQ(status, 1);
}

// The record index is one byte: a 257th record would wrap to index 0 and hide the other 256.
TEST(CarveImage, SignaturesAddRefusesThe257thRecordAndKeepsTheFile) {
    TempDir dir;
    const std::string file = (dir.path() / "full.txt").string();
    int status = -1;
    runCommand("for i in $(seq 1 256); do '" + cliPath() + "' signatures add '" + file +
                   "' --ext x$i --start 1,2 >/dev/null 2>&1 || exit 1; done",
               &status);
    ASSERT_EQ(status, 0);
    const std::string full = readBytes(file);
    ASSERT_EQ(full.size(), 256u * 173u);
    const std::string refused =
        runCommand("'" + cliPath() + "' signatures add '" + file + "' --ext last --start 3,4 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(refused, "The file already holds 256 entries, the most a signature file can hold.\n");
    EXPECT_EQ(readBytes(file), full);
    EXPECT_EQ(filesBelow(dir.path()), std::vector<fs::path>{file}) << "no temporary file is left behind";
    const std::string listed = runCommand("'" + cliPath() + "' signatures list '" + file + "' | wc -l", &status);
    EXPECT_EQ(listed, "256\n");
}
