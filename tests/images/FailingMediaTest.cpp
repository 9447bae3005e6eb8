// A failing card served through FUSE: reads of chosen ranges inside two photos fail with EIO
// (slowly), others are slow, and one run sees the image shrink. The reader's save and the
// carver go on past the bad ranges, give every other file back byte for byte, mark the two
// photos partial with their good bytes exact, and map exactly the injected ranges.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

#include "ImageFixture.h"
#include "TempFiles.h"

namespace fs = std::filesystem;

namespace {
struct Range {
    std::int64_t offset;
    std::int64_t length;
    bool operator==(const Range&) const = default;
};

/// The image served by the FUSE file server at mountpoint/image until destroyed.
class FaultyMount {
public:
    FaultyMount(const std::string& image, const std::string& options) {
#ifdef PICTORVA_FAULTY_FS
        mountpoint_ = dir_.path() / "mnt";
        fs::create_directory(mountpoint_);
        runCommand(std::string("'") + PICTORVA_FAULTY_FS + "' '" + image + "' '" + mountpoint_.string() + "' " + options +
                   " >/dev/null 2>&1 &");
        for (int i = 0; i < 100 && !fs::exists(mountpoint_ / "image"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ready_ = fs::exists(mountpoint_ / "image");
#else
        (void)image;
        (void)options;
#endif
    }
    ~FaultyMount() {
        if (!mountpoint_.empty())
            runCommand("fusermount3 -u '" + mountpoint_.string() + "' 2>/dev/null");
    }
    bool ready() const { return ready_; }
    std::string image() const { return (mountpoint_ / "image").string(); }

private:
    TempDir dir_;
    fs::path mountpoint_;
    bool ready_ = false;
};

/// Where bytes lie in the image (the first place they occur).
std::int64_t offsetIn(const std::string& image, const std::string& bytes) {
    const std::string all = readBytes(image);
    const auto at = all.find(bytes.substr(0, 4096));
    return at == std::string::npos ? -1 : static_cast<std::int64_t>(at);
}

/// The unreadable ('-' and '*') blocks of a mapfile, neighbours joined.
std::vector<Range> unreadableBlocks(const fs::path& mapfile) {
    std::istringstream text(readBytes(mapfile));
    std::vector<Range> blocks;
    std::string line;
    const std::regex block(R"(^0x([0-9A-F]+)\s+0x([0-9A-F]+)\s+([-*+?/])$)");
    std::smatch m;
    while (std::getline(text, line)) {
        if (!std::regex_match(line, m, block) || (m[3] != "-" && m[3] != "*"))
            continue;
        const Range r{std::stoll(m[1], nullptr, 16), std::stoll(m[2], nullptr, 16)};
        if (!blocks.empty() && blocks.back().offset + blocks.back().length == r.offset)
            blocks.back().length += r.length;
        else
            blocks.push_back(r);
    }
    return blocks;
}

/// Each file below clean has its twin below faulty: equal, or (for damaged) equal but for zeros
/// at the file offsets given.
void expectSameFiles(const fs::path& clean, const fs::path& faulty, const std::map<std::string, Range>& damaged) {
    const std::vector<fs::path> files = filesBelow(clean);
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files) {
        const fs::path relative = fs::relative(file, clean);
        SCOPED_TRACE(relative.string());
        std::string expected = readBytes(file);
        const auto hit = damaged.find(relative.filename().string());
        if (hit != damaged.end())
            expected.replace(static_cast<std::size_t>(hit->second.offset), static_cast<std::size_t>(hit->second.length),
                             static_cast<std::size_t>(hit->second.length), '\0');
        EXPECT_TRUE(readBytes(faulty / relative) == expected) << "not byte-exact";
    }
}
}  // namespace

TEST(FailingMedia, SaveAndCarveGoOnPastBadRangesAndMarkThePhotosTouchingThem) {
    REQUIRE_IMAGE(image, "fat32-photos.sh");
#ifndef PICTORVA_FAULTY_FS
    GTEST_SKIP() << "the FUSE file server was not built (libfuse3-dev)";
#endif
    const fs::path originals = fs::path(image.path).parent_path() / "originals";
    // 4 KiB inside two photos, 8 KiB in: sector-aligned, as a medium fails.
    std::map<std::string, Range> inFile;
    std::vector<Range> injected;
    for (const char* name : {"IMG_0004.jpg", "IMG_0006.jpg"}) {
        const std::int64_t at = offsetIn(image.path, readBytes(originals / name));
        ASSERT_GE(at, 0) << name;
        inFile[name] = {8192, 4096};
        injected.push_back({at + 8192, 4096});
    }
    std::sort(injected.begin(), injected.end(), [](const Range& a, const Range& b) { return a.offset < b.offset; });
    std::string options;
    for (const Range& r : injected)
        options += " --eio " + std::to_string(r.offset) + ":" + std::to_string(r.length) + " --delay " +
                   std::to_string(r.offset) + ":" + std::to_string(r.length) + ":20";
    options += " --delay 0:65536:5";  // a slow start of the card, which reads well
    FaultyMount mount(image.path, options);
    ASSERT_TRUE(mount.ready());

    struct Run {
        const char* command;
        const char* summary;
    };
    for (const Run run : {Run{"save", "7 files written, 0 failed, 2 partial\n"}, Run{"carve", "7 files carved, 2 partial\n"}}) {
        SCOPED_TRACE(run.command);
        TempDir clean, faulty;
        int status = -1;
        runCommand("'" + cliPath() + "' " + run.command + " '" + image.path + "' --out '" + clean.path().string() +
                       "/out' --quiet 2>/dev/null",
                   &status);
        ASSERT_EQ(status, 0);
        const fs::path map = faulty.path() / "bad.map";
        const auto start = std::chrono::steady_clock::now();
        const std::string printed =
            runCommand("timeout 120 '" + cliPath() + "' " + run.command + " '" + mount.image() + "' --out '" +
                           faulty.path().string() + "/out' --bad-map '" + map.string() + "' --quiet 2>&1",
                       &status);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ASSERT_EQ(status, 0) << printed;
        EXPECT_LT(seconds, 60) << "a few bad sectors must not stall the run";
        EXPECT_NE(printed.find(run.summary), std::string::npos) << printed;
        EXPECT_NE(printed.find("8192 bytes could not be read (2 ranges)"), std::string::npos) << printed;
        EXPECT_EQ(unreadableBlocks(map), injected);
        // Carved names carry their offsets, not the photos' names: map them by content.
        std::map<std::string, Range> damaged;
        for (const fs::path& file : filesBelow(clean.path() / "out")) {
            const std::string bytes = readBytes(file);
            for (const auto& [name, range] : inFile)
                if (bytes == readBytes(originals / name))
                    damaged[file.filename().string()] = range;
        }
        EXPECT_EQ(damaged.size(), 2u);
        expectSameFiles(clean.path() / "out", faulty.path() / "out", damaged);
    }
}

TEST(FailingMedia, AnImageThatShrinksWhileCarvedEndsWithAMessage) {
    REQUIRE_IMAGE(image, "fat32-photos.sh");
#ifndef PICTORVA_FAULTY_FS
    GTEST_SKIP() << "the FUSE file server was not built (libfuse3-dev)";
#endif
    FaultyMount mount(image.path, "--shrink-at 100000000");
    ASSERT_TRUE(mount.ready());
    TempDir out;
    int status = -1;
    const std::string printed = runCommand("timeout 120 '" + cliPath() + "' carve '" + mount.image() + "' --out '" +
                                               out.path().string() + "/out' --quiet 2>&1",
                                           &status);
    EXPECT_EQ(status, 1) << "a signal or a success: " << printed;
    EXPECT_NE(printed.find("became shorter while it was read"), std::string::npos) << printed;
}
