// carve --free-space on volumes made and filled by the file systems' own tools: the deleted photos
// come back whole, whether or not the file system still names them, and nothing the file system
// lists as live is written. A disk taken whole also gives what lies where no partition is; a
// volume without a file system a reader knows is searched whole, and says so.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../ImageFixture.h"
#include "../TempFiles.h"

namespace fs = std::filesystem;

namespace {
/// How often each original below dir appears whole among the carved files (each one's bytes compared).
std::map<std::string, int> wholeCopies(const fs::path& dir, const std::vector<fs::path>& carved) {
    std::map<std::string, int> copies;
    for (const fs::path& original : filesBelow(dir)) {
        const std::string bytes = readBytes(original);
        int& n = copies[original.filename().string()];
        for (const fs::path& file : carved)
            n += readBytes(file) == bytes ? 1 : 0;
    }
    return copies;
}

std::string carveCommand(const std::string& image, const fs::path& out, const std::string& options) {
    return "'" + cliPath() + "' carve '" + image + "' " + options + " --out '" + out.string() + "'";
}

class FreeSpaceImage : public ::testing::TestWithParam<const char*> {};
}  // namespace

TEST_P(FreeSpaceImage, DeletedPhotosComeBackAndNoLiveFileIsWritten) {
    REQUIRE_IMAGE(image, std::string("free-space/free-space-") + GetParam() + ".sh");
    const fs::path originals = fs::path(image.path).parent_path();
    TempDir out;
    int status = -1;
    const std::string printed = runCommand(carveCommand(image.path, out.path(), "--free-space") + " 2>/dev/null", &status);
    ASSERT_EQ(status, 0);
    const std::vector<fs::path> carved = filesBelow(out.path());
    for (const auto& [name, copies] : wholeCopies(originals / "deleted", carved))
        EXPECT_EQ(copies, 1) << name << " (deleted) is not carved once, whole";
    for (const auto& [name, copies] : wholeCopies(originals / "live", carved))
        EXPECT_EQ(copies, 0) << name << " (live) is carved from the free space";
    EXPECT_EQ(carved.size(), filesBelow(originals / "deleted").size()) << "files carved that were never deleted photos";
    EXPECT_EQ(printed, std::to_string(carved.size()) + " files carved\n");
}

// One scan: the files the volume lists with their names, then a folder of what the free space
// holds, by type. Every photo comes back once, named where the file system still names it; the
// report and the result line count both.
TEST_P(FreeSpaceImage, SaveWithFoundGivesEveryPhotoOnce) {
    REQUIRE_IMAGE(image, std::string("free-space/free-space-") + GetParam() + ".sh");
    const fs::path originals = fs::path(image.path).parent_path();
    TempDir work;
    const fs::path out = work.path() / "out", report = work.path() / "report.csv";
    int status = -1;
    const std::string printed = runCommand("'" + cliPath() + "' save '" + image.path + "' --with-found --out '" +
                                               out.string() + "' --report '" + report.string() + "' 2>/dev/null",
                                           &status);
    ASSERT_EQ(status, 0);
    const std::vector<fs::path> saved = filesBelow(out);
    const std::vector<fs::path> found = filesBelow(out / "Found by content");
    for (const fs::path& file : found)
        EXPECT_EQ(file.parent_path().filename(), "JPEG") << file;
    for (const char* kind : {"live", "deleted"})
        for (const auto& [name, copies] : wholeCopies(originals / kind, saved))
            EXPECT_EQ(copies, 1) << name << " (" << kind << ") does not come back once, whole";
    for (const auto& [name, copies] : wholeCopies(originals / "live", found))
        EXPECT_EQ(copies, 0) << name << " (live) is among the files found by content";
    EXPECT_FALSE(found.empty());
    EXPECT_EQ(printed, std::to_string(saved.size()) + " files written, 0 failed, " + std::to_string(found.size()) +
                           " of them found by content\n");
    std::size_t rows = 0, carvedRows = 0;
    std::istringstream lines(readBytes(report));
    for (std::string line; std::getline(lines, line); ++rows)
        carvedRows += line.rfind("Found by content/", 0) == 0 ? 1 : 0;
    EXPECT_EQ(rows, saved.size() + 1);  // and the header
    EXPECT_EQ(carvedRows, found.size());
}

INSTANTIATE_TEST_SUITE_P(FileSystems, FreeSpaceImage, ::testing::Values("fat32", "exfat", "ntfs", "ext4"),
                         [](const auto& info) { return std::string(info.param); });

TEST(FreeSpaceDisk, AWholeDiskGivesWhatLiesWhereNoPartitionIs) {
    // Three volumes up to sector 67584 of 81920, each holding one live photo; a photo is written
    // into the space after the last one.
    REQUIRE_IMAGE(image, "partitions-photos.sh");
    TempDir work;
    const fs::path disk = work.path() / "disk.img";
    const fs::path photo = work.path() / "gap.jpg";
    fs::copy_file(image.path, disk);
    int status = -1;
    runCommand("convert -size 300x200 -seed 5 plasma:fractal '" + photo.string() + "' && dd if='" + photo.string() +
                   "' of='" + disk.string() + "' bs=512 seek=70000 conv=notrunc status=none",
               &status);
    ASSERT_EQ(status, 0);
    const fs::path out = work.path() / "out";
    const std::string printed = runCommand(carveCommand(disk.string(), out, "--free-space") + " 2>/dev/null", &status);
    ASSERT_EQ(status, 0);
    const std::vector<fs::path> carved = filesBelow(out);
    ASSERT_EQ(carved.size(), 1u) << printed;
    EXPECT_EQ(readBytes(carved[0]), readBytes(photo));
}

TEST(FreeSpaceDisk, AVolumeWithoutAKnownFileSystemIsSearchedWholeAndSaysSo) {
    REQUIRE_IMAGE(image, "carve-planted.sh");
    TempDir out;
    int status = -1;
    const std::string said = runCommand(carveCommand(image.path, out.path(), "--free-space --quiet") + " 2>&1 >/dev/null", &status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(said.find("the whole volume is searched"), std::string::npos) << said;
    TempDir whole;
    runCommand(carveCommand(image.path, whole.path(), "--quiet") + " >/dev/null 2>&1", &status);
    EXPECT_EQ(filesBelow(out.path()).size(), filesBelow(whole.path()).size());
}
