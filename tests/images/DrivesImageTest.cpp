// pictorva-cli drives with a disk image attached to a loop device (needs root).
#include <gtest/gtest.h>

#include <unistd.h>

#include "ImageFixture.h"

TEST(DrivesCommand, ListsALoopDeviceWithItsBackingFile) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to attach a loop device";
    REQUIRE_IMAGE(volume, "volume-fat32.sh");
    int status = -1;
    std::string device = runCommand("losetup -f --show -r '" + volume.path + "' 2>/dev/null", &status);
    if (status != 0 || device.empty())
        GTEST_SKIP() << "no loop device available here";
    device.erase(device.find_last_not_of('\n') + 1);
    const std::string out = runCommand(cliPath() + " drives 2>&1", &status);
    runCommand("losetup -d " + device);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("\t" + volume.path + "\tFAT32\t40  MB\n"), std::string::npos) << out;
    EXPECT_NE(out.find("volume\t" + device + "\t" + device + "\tFAT32\t40  MB\n"), std::string::npos) << out;
}
