// Choosing a volume of a whole disk on the command line: each volume ends where its partition
// entry says (carve keeps to it), a partitioned disk without a volume option names its volumes,
// a bare ext4 volume is volume 0 with its links, pipes and devices listed but not saved, and bad
// input ends with a clear message, exit status 1 and nothing written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "CliListing.h"
#include "ImageFixture.h"

namespace fs = std::filesystem;

namespace {
std::string cli() { return shellQuote(cliPath()); }

/// A fresh folder below the test's temporary folder, removed first if a former run left it.
fs::path freshDir(const std::string& name) {
    const fs::path dir = fs::path(::testing::TempDir()) / name;
    fs::remove_all(dir);
    return dir;
}

/// The category folders carve wrote below out.
std::set<std::string> carvedCategories(const fs::path& out) {
    std::set<std::string> categories;
    if (fs::is_directory(out))
        for (const auto& entry : fs::directory_iterator(out))
            if (entry.is_directory() && !fs::is_empty(entry.path()))
                categories.insert(entry.path().filename().string());
    return categories;
}
}  // namespace

// Each volume of the photo disk holds one photo of its own kind: a volume read past its entry's
// end would also carve the next volume's photo.
TEST(VolumeChoice, CarveKeepsToTheChosenVolume) {
    REQUIRE_IMAGE(disk, "partitions-photos.sh");
    const struct {
        const char* options;
        std::set<std::string> categories;
    } cases[] = {
        {"--volume 0", {"JPEG"}},
        {"--volume 1", {"PNG"}},
        {"--volume 2", {"GIF"}},
        {"", {"JPEG", "PNG", "GIF"}},
    };
    for (const auto& c : cases) {
        const fs::path out = freshDir("carve-volume");
        int status = -1;
        const std::string printed =
            runCommand(cli() + " carve " + shellQuote(disk.path) + " " + c.options + " --out " + shellQuote(out) + " 2>&1", &status);
        EXPECT_EQ(status, 0) << c.options << ": " << printed;
        EXPECT_EQ(carvedCategories(out), c.categories) << c.options << ": " << printed;
    }
}

TEST(VolumeChoice, ListAndSaveOnAPartitionedDiskNameItsVolumes) {
    REQUIRE_IMAGE(disk, "partitions-photos.sh");
    const fs::path out = freshDir("save-unchosen");
    for (const std::string& command : {std::string("list"), "save --out " + shellQuote(out)}) {
        int status = -1;
        const std::string printed = runCommand(cli() + " " + command + " " + shellQuote(disk.path) + " 2>&1", &status);
        EXPECT_EQ(status, 1) << command;
        EXPECT_NE(printed.find("choose one with --volume N"), std::string::npos) << printed;
        for (const char* row : {"0\tFAT16\t10   MB\t2048", "1\textX\t12   MB\t22528", "2\tFAT16\t10   MB\t47104"})
            EXPECT_NE(printed.find(row), std::string::npos) << row << " missing in: " << printed;
    }
    EXPECT_FALSE(fs::exists(out));
    const auto second = cliListRows(disk.path, "--volume 1");
    EXPECT_TRUE(second.count("DCIM/photo.png")) << "the ext4 volume's own files";
    EXPECT_FALSE(second.count("FIRST.JPG"));
}

// debugfs made a short link (its target in the inode), a long one (in a data block), a FIFO and
// a character device next to a photo on a volume without a partition table.
TEST(VolumeChoice, ExtLinksAndDevicesAreListedWithTheirTypeButNotSaved) {
    REQUIRE_IMAGE(ext, "ext-links.sh");
    int status = -1;
    const std::string jsonl = runCommand(cli() + " list " + shellQuote(ext.path) + " --format jsonl 2>/dev/null", &status);
    ASSERT_EQ(status, 0);
    std::map<std::string, std::string> lines;
    std::istringstream in(jsonl);
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find("\"path\":\"");
        ASSERT_NE(at, std::string::npos) << line;
        lines[line.substr(at + 8, line.find('"', at + 8) - at - 8)] = line;
    }
    const std::string longTarget =
        "/DCIM/a-long-target-name-001/a-long-target-name-002/a-long-target-name-003/a-long-target-name-004/"
        "a-long-target-name-005/a-long-target-name-006/photo.png";
    const struct {
        const char* path;
        std::string type;
        std::string attributesEnd;
    } specials[] = {
        {"short", "symlink", " -> /DCIM/photo.png\""},
        {"DCIM/long", "symlink", " -> " + longTarget + "\""},
        {"pipe", "fifo", ""},
        {"tty", "char device", ""},
    };
    for (const auto& s : specials) {
        ASSERT_TRUE(lines.count(s.path)) << s.path << " not listed:\n" << jsonl;
        const std::string& line = lines[s.path];
        EXPECT_NE(line.find("\"type\":\"" + s.type + "\""), std::string::npos) << line;
        if (!s.attributesEnd.empty()) {
            EXPECT_NE(line.find("\"attributes\":\"-OE-OW-OR-GE-GW-GR-UE-UW-UR" + s.attributesEnd), std::string::npos) << line;
        }
    }
    EXPECT_EQ(lines["DCIM/photo.png"].find("\"type\""), std::string::npos) << "a plain file has no type key";
    EXPECT_EQ(cliListRows(ext.path, "--volume 0").size(), lines.size()) << "volume 0 is the whole source";

    const fs::path out = freshDir("save-links");
    const CliSaveCounts saved = cliSave(ext.path, "", out.string());
    EXPECT_EQ(saved.exitStatus, 0);
    EXPECT_EQ(saved.written, 1);
    EXPECT_EQ(saved.failed, 0);
    std::set<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(out))
        if (!entry.is_directory())
            written.insert(fs::relative(entry.path(), out).string());
    EXPECT_EQ(written, (std::set<std::string>{"DCIM/photo.png"}));
}

TEST(VolumeChoice, BadInputSaysWhyAndWritesNothing) {
    REQUIRE_IMAGE(disk, "partitions-photos.sh");
    const fs::path dir = freshDir("bad-input");
    fs::create_directories(dir);
    const std::string empty = (dir / "empty.img").string();
    std::ofstream(empty).close();
    const std::string cut = (dir / "cut.img").string();
    fs::copy_file(disk.path, cut);
    fs::resize_file(cut, 20 * 1048576);  // volume 1 runs to 24 MB
    const std::string notAFolder = (dir / "a-file").string();
    std::ofstream(notAFolder) << "keep";
    const std::string out = shellQuote((dir / "out").string());
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"list " + shellQuote(empty), "the source is empty"},
        {"carve " + shellQuote(empty) + " --out " + out, "the source is empty"},
        {"partitions " + shellQuote(empty), "the source is empty"},
        {"list " + shellQuote(cut) + " --volume 1", "holds 18432 of the 24576 sectors the volume at sector 22528 claims"},
        {"save " + shellQuote(cut) + " --volume 1 --out " + out, "--start-sector 22528 reads the part that is there"},
        {"carve " + shellQuote(cut) + " --volume 1 --out " + out, "holds 18432 of the 24576 sectors"},
        {"carve " + shellQuote(disk.path) + " --volume 0 --out " + shellQuote(notAFolder), "is not a folder"},
        {"save " + shellQuote(disk.path) + " --volume 0 --out " + shellQuote(notAFolder), "is not a folder"},
    };
    for (const auto& c : cases) {
        int status = -1;
        const std::string printed = runCommand(cli() + " " + c.arguments + " 2>&1", &status);
        EXPECT_EQ(status, 1) << c.arguments << ": " << printed;
        EXPECT_NE(printed.find(c.message), std::string::npos) << c.arguments << ": " << printed;
    }
    EXPECT_FALSE(fs::exists(dir / "out"));
    std::ifstream kept(notAFolder);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep");
    // The part of a cut volume that is there is still read when asked for.
    EXPECT_TRUE(cliListRows(cut, "--start-sector 22528").count("DCIM/photo.png"));
}

// carve reads no file system: the reader options are usage errors, not silently ignored.
TEST(VolumeChoice, CarveRefusesTheReaderOptions) {
    for (const char* option : {"--fs ntfs", "--mode deep", "--structure 1", "--spc 8", "--heap 1", "--max 2", "--formatted"}) {
        int status = -1;
        runCommand(cli() + " carve /dev/null " + option + " --out /nonexistent 2>&1", &status);
        EXPECT_EQ(status, 2) << option;
    }
}
