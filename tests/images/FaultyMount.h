#pragma once
// A failing medium for the image tests: an image file served through the FUSE file server
// (tests/tools/faulty-image-fs.c) with reads that fail or are slow on chosen ranges, and the
// unreadable blocks of the rescue maps the runs over it write.
#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ImageFixture.h"
#include "TempFiles.h"

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
        std::filesystem::create_directory(mountpoint_);
        runCommand(std::string("'") + PICTORVA_FAULTY_FS + "' '" + image + "' '" + mountpoint_.string() +
                   "' " + options + " >/dev/null 2>&1 &");
        for (int i = 0; i < 100 && !std::filesystem::exists(mountpoint_ / "image"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ready_ = std::filesystem::exists(mountpoint_ / "image");
#else
        (void)image;
        (void)options;
#endif
    }
    ~FaultyMount() {
        if (!mountpoint_.empty())
            runCommand("fusermount3 -u '" + mountpoint_.string() + "' 2>/dev/null");
    }
    bool ready() const {
        return ready_;
    }
    std::string image() const {
        return (mountpoint_ / "image").string();
    }

  private:
    TempDir dir_;
    std::filesystem::path mountpoint_;
    bool ready_ = false;
};

/// The unreadable ('-', '*' and '/') blocks of a mapfile, neighbours joined.
inline std::vector<Range> unreadableBlocks(const std::filesystem::path& mapfile) {
    std::istringstream text(readBytes(mapfile));
    std::vector<Range> blocks;
    std::string line;
    const std::regex block(R"(^0x([0-9A-Fa-f]+)\s+0x([0-9A-Fa-f]+)\s+([-*+?/])\s*$)");
    std::smatch m;
    while (std::getline(text, line)) {
        if (!std::regex_match(line, m, block) || m[3] == "+" || m[3] == "?")
            continue;
        const Range r{std::stoll(m[1], nullptr, 16), std::stoll(m[2], nullptr, 16)};
        if (!blocks.empty() && blocks.back().offset + blocks.back().length == r.offset)
            blocks.back().length += r.length;
        else
            blocks.push_back(r);
    }
    return blocks;
}
