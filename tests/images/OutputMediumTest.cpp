// Recovered files never land on the medium being recovered, and never go through a link found
// in the output folder. The live disk (loop-disk.sh): a loop device whose ext4 partition is
// mounted by the kernel and whose exFAT partition is mounted through FUSE.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ImageFixture.h"

namespace fs = std::filesystem;

namespace {
std::string script() { return std::string(PICTORVA_IMAGE_SCRIPTS) + "/loop-disk.sh"; }

/// The live disk for one test, taken down again at its end.
struct LiveDisk {
    LiveDisk() {
        std::string pattern = (fs::temp_directory_path() / "pictorva-live-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            return;
        dir = pattern;
        int status = 0;
        std::string out = runCommand("bash '" + script() + "' up '" + dir + "' 2>&1", &status);
        while (!out.empty() && out.back() == '\n')
            out.pop_back();
        const std::string last = out.substr(out.rfind('\n') == std::string::npos ? 0 : out.rfind('\n') + 1);
        (status == 0 ? loop : reason) = status == 0 || status == 77 ? last : "loop-disk.sh failed: " + out;
    }
    ~LiveDisk() {
        if (dir.empty())
            return;
        runCommand("bash '" + script() + "' down '" + dir + "' '" + loop + "' 2>&1");
        fs::remove_all(dir);
    }
    std::string image() const { return dir + "/disk.img"; }
    std::string dir, loop, reason;
};

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string cli(const std::string& arguments, int& status) {
    return runCommand("'" + cliPath() + "' " + arguments + " 2>&1", &status);
}
}  // namespace

TEST(OutputMedium, SaveAndCarveRefuseAFolderOnTheDiskBeingRecovered) {
    const LiveDisk disk;
    if (disk.loop.empty())
        GTEST_SKIP() << disk.reason;
    for (const std::string& source : {disk.image(), disk.loop}) {
        for (const std::string mount : {"ext", "exfat"}) {
            for (const std::string command : {"save", "carve"}) {
                const std::string out = disk.dir + "/" + mount + "/recovered";
                int status = 0;
                const std::string said = cli(command + " '" + source + "' --volume 0 --out '" + out + "'", status);
                const std::string what = command + " " + source + " into " + mount;
                EXPECT_EQ(status, 1) << what << ": " << said;
                EXPECT_NE(said.find("lies on the medium being recovered"), std::string::npos) << what << ": " << said;
                EXPECT_FALSE(fs::exists(out)) << what;
            }
        }
    }
    // Beside the image, on the file system that holds it, is another medium.
    int status = 0;
    const std::string said = cli("save '" + disk.image() + "' --volume 0 --out '" + disk.dir + "/beside'", status);
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(fileText(disk.dir + "/beside/photo.jpg"), fileText(disk.dir + "/photo.jpg"));
}

TEST(OutputMedium, ALinkPlantedUnderARecoveredNameIsLeftAndTheFileTakesTheNextName) {
    const LiveDisk disk;
    if (disk.loop.empty())
        GTEST_SKIP() << disk.reason;
    const std::string out = disk.dir + "/out";
    std::ofstream(disk.dir + "/victim") << "not to be touched";
    // The names save and carve will want: the ext4 file's own, and the first carved file's.
    int status = 0;
    const std::string probed = cli("carve '" + disk.image() + "' --volume 0 --out '" + disk.dir + "/probe'", status);
    ASSERT_EQ(status, 0) << probed;
    fs::path carved;  // category folder and name
    for (const auto& item : fs::recursive_directory_iterator(disk.dir + "/probe"))
        if (item.is_regular_file() && carved.empty())
            carved = fs::relative(item.path(), disk.dir + "/probe");
    ASSERT_FALSE(carved.empty()) << probed;
    fs::create_directories(fs::path(out) / carved.parent_path());
    fs::create_symlink(disk.dir + "/victim", out + "/photo.jpg");
    fs::create_symlink(disk.dir + "/victim", fs::path(out) / carved);

    std::string said = cli("save '" + disk.image() + "' --volume 0 --out '" + out + "'", status);
    EXPECT_EQ(status, 0) << said;
    said += cli("carve '" + disk.image() + "' --volume 0 --out '" + out + "'", status);
    EXPECT_EQ(status, 0) << said;

    EXPECT_EQ(fileText(disk.dir + "/victim"), "not to be touched");
    EXPECT_EQ(fs::read_symlink(out + "/photo.jpg"), disk.dir + "/victim");
    EXPECT_EQ(fs::read_symlink(fs::path(out) / carved), disk.dir + "/victim");
    EXPECT_EQ(fileText(out + "/photo (2).jpg"), fileText(disk.dir + "/photo.jpg")) << said;
    const std::string stem = carved.stem().string();
    const fs::path numbered = carved.parent_path() / (stem + (stem.back() == ' ' ? "" : " ") + "(2)" +
                                                      carved.extension().string());
    EXPECT_EQ(fileText(fs::path(out) / numbered), fileText(fs::path(disk.dir + "/probe") / carved)) << said;
}
