// `image` over a failing medium (the FUSE file server with EIO ranges): the image holds every good
// byte of the source and zeros where it failed, its map names exactly the injected ranges (as GNU
// ddrescue's map of the same source does), and a run killed halfway and run again from its map
// ends with the same image and map as a run that was never stopped.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "CliListing.h"
#include "FaultyMount.h"
#include "ImageFixture.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

namespace {
/// Sector-aligned failures: a lone sector, a few sectors, and an area long enough that the
/// first pass jumps ahead past it.
const std::vector<Range> kInjected = {
    {5 * 1048576 + 4096, 512}, {9 * 1048576 + 1536, 3072}, {20 * 1048576, 786432}};

std::string faultOptions(int slowMs) {
    std::string options;
    for (const Range& r : kInjected)
        options += " --eio " + std::to_string(r.offset) + ":" + std::to_string(r.length);
    if (slowMs > 0)
        options += " --delay 0:8388608:" + std::to_string(slowMs); // the first 8 MiB, before most failures
    return options;
}

/// The source's bytes with zeros where it fails: what a rescue copy must hold.
std::string expectedImage(const std::string& source) {
    std::string bytes = readBytes(source);
    for (const Range& r : kInjected)
        bytes.replace(static_cast<std::size_t>(r.offset), static_cast<std::size_t>(r.length),
                      static_cast<std::size_t>(r.length), '\0');
    return bytes;
}

/// The blocks of a mapfile, comments and the status line left out.
std::string mapBlocks(const fs::path& map) {
    std::istringstream lines(readBytes(map));
    std::string blocks, line;
    const std::regex block(R"(^0x[0-9A-Fa-f]+\s+0x[0-9A-Fa-f]+\s+[-*+?/]\s*$)");
    while (std::getline(lines, line))
        if (std::regex_match(line, block))
            blocks += line + "\n";
    return blocks;
}

std::string imageCommand(const std::string& source, const fs::path& image) {
    return shellQuote(cliPath()) + " image " + shellQuote(source) + " " + shellQuote(image.string()) +
           " --quiet";
}
} // namespace

TEST(DriveImage, CopiesEveryGoodByteAndMapsTheInjectedFailuresAsDdrescueDoes) {
    REQUIRE_IMAGE(image, "containers.sh");
#ifndef PICTORVA_FAULTY_FS
    GTEST_SKIP() << "the FUSE file server was not built (libfuse3-dev)";
#endif
    FaultyMount mount(image.path, faultOptions(0));
    ASSERT_TRUE(mount.ready());
    TempDir out;
    int status = -1;
    const std::string printed =
        runCommand(imageCommand(mount.image(), out.path() / "card.img") + " 2>&1", &status);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_NE(printed.find("790016 bytes (771.50 KB) bad (3 ranges)"), std::string::npos) << printed;
    EXPECT_TRUE(readBytes(out.path() / "card.img") == expectedImage(image.path)) << "image bytes differ";
    EXPECT_EQ(unreadableBlocks(out.path() / "card.img.map"), kInjected);
    // The copy is ready to open: it lists what the source lists.
    EXPECT_EQ(cliListRows((out.path() / "card.img").string(), "").size(), cliListRows(image.path, "").size());

    if (runCommand("command -v ddrescue").empty())
        GTEST_SKIP() << "GNU ddrescue (gddrescue) is not installed: no comparison";
    runCommand("ddrescue -q -b 512 " + shellQuote(mount.image()) + " " +
                   shellQuote((out.path() / "peer.img").string()) + " " +
                   shellQuote((out.path() / "peer.map").string()) + " 2>&1",
               &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(unreadableBlocks(out.path() / "peer.map"), unreadableBlocks(out.path() / "card.img.map"));
    EXPECT_TRUE(readBytes(out.path() / "peer.img") == readBytes(out.path() / "card.img"))
        << "ddrescue's image differs";
}

TEST(DriveImage, AKilledRunGoesOnFromItsMapAndEndsAsAnUnbrokenOne) {
    REQUIRE_IMAGE(image, "containers.sh");
#ifndef PICTORVA_FAULTY_FS
    GTEST_SKIP() << "the FUSE file server was not built (libfuse3-dev)";
#endif
    // Slow reads, so that the run is still copying when it is killed, after its first map.
    FaultyMount mount(image.path, faultOptions(60));
    ASSERT_TRUE(mount.ready());
    TempDir out;
    int status = -1;
    runCommand(imageCommand(mount.image(), out.path() / "whole.img") + " 2>&1", &status);
    ASSERT_EQ(status, 0);

    const fs::path broken = out.path() / "broken.img";
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(cliPath().c_str(), "pictorva-cli", "image", mount.image().c_str(), broken.c_str(), "--quiet",
                nullptr);
        ::_exit(127);
    }
    ::usleep(1200 * 1000);
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed: slow the source down";
    const std::string cut = mapBlocks(out.path() / "broken.img.map");
    EXPECT_TRUE(cut.find("  ?") != std::string::npos || cut.find("  *") != std::string::npos)
        << "the killed run's map holds no work left:\n"
        << cut;

    const std::string printed = runCommand(shellQuote(cliPath()) + " image " + shellQuote(mount.image()) +
                                               " " + shellQuote(broken.string()) + " 2>&1",
                                           &status);
    EXPECT_EQ(status, 0) << printed;
    EXPECT_NE(printed.find("going on from"), std::string::npos) << printed;
    EXPECT_TRUE(readBytes(broken) == readBytes(out.path() / "whole.img")) << "the resumed image differs";
    EXPECT_EQ(mapBlocks(out.path() / "broken.img.map"), mapBlocks(out.path() / "whole.img.map"));
}

TEST(DriveImage, RefusesWhatWouldLoseAnEarlierCopyOrWriteOnTheSource) {
    REQUIRE_IMAGE(image, "containers.sh");
    TempDir out;
    const fs::path copy = out.path() / "copy.img";
    int status = -1;
    runCommand(imageCommand(image.path, copy), &status);
    ASSERT_EQ(status, 0);
    fs::remove(out.path() / "copy.img.map");
    struct Case {
        std::string arguments;
        const char* says;
    };
    const Case cases[] = {
        {shellQuote(image.path) + " " + shellQuote(copy.string()), "exists already, without its map"},
        {shellQuote(image.path) + " " + shellQuote(image.path), "it is the source itself"},
        {shellQuote(image.path) + " " + shellQuote((out.path() / "new.img").string()) + " --map " +
             shellQuote(image.path),
         "it is the source itself"},
        {shellQuote(image.path) + " " + shellQuote((out.path() / "new.img").string()) + " --map " +
             shellQuote(copy.string()),
         "exists, but its image"},
    };
    for (const Case& c : cases) {
        const std::string printed =
            runCommand(shellQuote(cliPath()) + " image " + c.arguments + " 2>&1", &status);
        EXPECT_EQ(status, 1) << c.arguments;
        EXPECT_NE(printed.find(c.says), std::string::npos) << printed;
    }
    EXPECT_FALSE(fs::exists(out.path() / "new.img"));
}
