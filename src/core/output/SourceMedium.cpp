#include "output/SourceMedium.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "common/TextFormat.h"

namespace fs = std::filesystem;

namespace {
constexpr int kDeepestStack = 16;  // loop on dm on loop...: far more than any real setup

/// The canonical sysfs folder of a block device number, or "" when it is none.
std::string sysfsFolder(dev_t device) {
    std::error_code error;
    const fs::path real =
        fs::canonical(formatText("/sys/dev/block/%u:%u", major(device), minor(device)), error);
    return error ? std::string() : real.string();
}

/// A partition's folder is inside its disk's folder: the disk is the folder itself otherwise.
std::string wholeDisk(const std::string& folder) {
    return fs::exists(fs::path(folder) / "partition") ? fs::path(folder).parent_path().string() : folder;
}

std::string firstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

/// The device number of a block device node, or 0.
dev_t blockDevice(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode) ? info.st_rdev : 0;
}

/// For a file system without a block device of its own (FUSE, ...): the block device its mount
/// names as source in /proc/self/mountinfo, or 0.
dev_t mountSourceDevice(dev_t fileSystem) {
    std::ifstream in("/proc/self/mountinfo");
    const std::string wanted = formatText("%u:%u", major(fileSystem), minor(fileSystem));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        fields >> id >> parent >> numbers;
        const std::size_t dash = line.find(" - ");
        if (numbers != wanted || dash == std::string::npos)
            continue;
        std::istringstream tail(line.substr(dash + 3));
        std::string type, source;
        tail >> type >> source;
        if (const dev_t device = blockDevice(source))
            return device;
    }
    return 0;
}

/// Every whole disk the bytes of device end up on: its disk, the disks below a device-mapper
/// device ("slaves"), and for a loop device the disks below its backing file.
void disksBelow(dev_t device, std::set<std::string>& disks, int depth);

void disksBelowFileSystem(dev_t fileSystem, std::set<std::string>& disks, int depth) {
    if (depth > kDeepestStack)
        return;
    if (!sysfsFolder(fileSystem).empty())
        disksBelow(fileSystem, disks, depth);
    else if (const dev_t source = mountSourceDevice(fileSystem))
        disksBelow(source, disks, depth);
}

void disksBelow(dev_t device, std::set<std::string>& disks, int depth) {
    const std::string folder = sysfsFolder(device);
    if (folder.empty() || depth > kDeepestStack)
        return;
    const std::string disk = wholeDisk(folder);
    if (!disks.insert(disk).second)
        return;
    std::error_code error;
    for (const auto& slave : fs::directory_iterator(fs::path(disk) / "slaves", error)) {
        const std::string numbers = firstLine(slave.path() / "dev");
        unsigned major = 0, minor = 0;
        if (std::sscanf(numbers.c_str(), "%u:%u", &major, &minor) == 2)
            disksBelow(makedev(major, minor), disks, depth + 1);
    }
    const std::string backing = firstLine(fs::path(disk) / "loop" / "backing_file");
    struct stat info {};
    if (!backing.empty() && ::stat(backing.c_str(), &info) == 0)
        disksBelowFileSystem(info.st_dev, disks, depth + 1);
}

/// The loop devices whose backing file is the file (same file system and inode).
std::set<std::string> loopDevicesOf(const struct stat& image) {
    std::set<std::string> loops;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/sys/block", error)) {
        const std::string backing = firstLine(entry.path() / "loop" / "backing_file");
        struct stat info {};
        if (!backing.empty() && ::stat(backing.c_str(), &info) == 0 && info.st_dev == image.st_dev &&
            info.st_ino == image.st_ino)
            loops.insert(fs::canonical(entry.path(), error).string());
    }
    return loops;
}

/// folder, or its nearest existing parent.
std::string existingFolder(const std::string& folder) {
    fs::path path = fs::absolute(folder);
    std::error_code error;
    while (!fs::exists(path, error) && path.has_relative_path())
        path = path.parent_path();
    return path.string();
}
}  // namespace

std::string outputOnSourceMedium(const std::string& folder, const std::string& source) {
    struct stat sourceInfo {};
    struct stat folderInfo {};
    if (source.empty() || ::stat(source.c_str(), &sourceInfo) != 0 ||
        ::stat(existingFolder(folder).c_str(), &folderInfo) != 0)
        return {};
    std::set<std::string> sourceDisks;
    // The source's own disk only: what lies below it (a loop device's backing file, ...) is
    // never written by writing beside it.
    if (S_ISBLK(sourceInfo.st_mode) && !sysfsFolder(sourceInfo.st_rdev).empty())
        sourceDisks.insert(wholeDisk(sysfsFolder(sourceInfo.st_rdev)));
    else if (S_ISREG(sourceInfo.st_mode))
        sourceDisks = loopDevicesOf(sourceInfo);
    if (sourceDisks.empty())
        return {};
    std::set<std::string> outputDisks;
    disksBelowFileSystem(folderInfo.st_dev, outputDisks, 0);
    for (const std::string& disk : outputDisks)
        if (sourceDisks.count(disk) != 0)
            return formatText("%s lies on the medium being recovered (%s): writing there could overwrite the "
                              "deleted files. Choose a folder on another disk.",
                              folder.c_str(), fs::path(disk).filename().c_str());
    return {};
}
