#include "disk/DeviceEnumeration.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "common/TextFormat.h"
#include "disk/BootSectorProbe.h"
#include "disk/FileReadSeek.h"

namespace fs = std::filesystem;

namespace {
std::string readTrimmed(const fs::path& path) {
    std::ifstream in(path);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto last = text.find_last_not_of(" \t\r\n");
    text.erase(last == std::string::npos ? 0 : last + 1);
    const auto first = text.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first);
}

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool isWholeDiskName(const std::string& name) {
    if (startsWith(name, "sd") || startsWith(name, "hd") || startsWith(name, "vd") || startsWith(name, "xvd") ||
        startsWith(name, "mmcblk"))
        return name.find("boot") == std::string::npos && name.find("rpmb") == std::string::npos;
    return startsWith(name, "nvme") && name.find('n', 4) != std::string::npos;
}

/// /proc/self/mounts escapes blanks and a few other characters as octal.
std::string unescapeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::map<std::string, std::string> mountPoints(const std::string& mountTable) {
    std::map<std::string, std::string> byDevice;
    std::ifstream in(mountTable);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint;
        if (fields >> device >> mountPoint && startsWith(device, "/dev/"))
            byDevice.emplace(unescapeMountField(device), unescapeMountField(mountPoint));
    }
    return byDevice;
}

unsigned long long sysfsBytes(const fs::path& blockDir) {
    try {
        return std::stoull(readTrimmed(blockDir / "size")) * 512ULL;
    } catch (...) {
        return 0;
    }
}
}  // namespace

std::string volumeSizeText(unsigned long long bytes) {
    return formatText("%d  MB", static_cast<int>(static_cast<unsigned>(bytes >> 20)));
}

std::vector<PhysicalDrive> enumeratePhysicalDrives(const std::string& sysRoot) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(fs::path(sysRoot) / "block", error)) {
        const std::string name = item.path().filename().string();
        if (isWholeDiskName(name) || (startsWith(name, "loop") && !readTrimmed(item.path() / "loop/backing_file").empty()))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    std::vector<PhysicalDrive> drives;
    for (const std::string& name : names) {
        const fs::path dir = fs::path(sysRoot) / "block" / name;
        PhysicalDrive drive;
        drive.index = static_cast<int>(drives.size());
        drive.devicePath = "/dev/" + name;
        if (startsWith(name, "loop")) {
            drive.model = readTrimmed(dir / "loop/backing_file");
        } else {
            const std::string vendor = readTrimmed(dir / "device/vendor");
            const std::string model = readTrimmed(dir / "device/model");
            // Without a model the vendor file holds only a bus ID (virtio's "0x1af4"): show the path.
            drive.model = model.empty() ? "" : (vendor.empty() ? model : vendor + " " + model);
        }
        drive.sysfsBytes = sysfsBytes(dir);
        drives.push_back(std::move(drive));
    }
    return drives;
}

std::vector<VolumeRecord> enumerateVolumes(const std::string& sysRoot, const std::string& mountTable) {
    const auto mounts = mountPoints(mountTable);
    std::vector<VolumeRecord> volumes;
    for (const PhysicalDrive& drive : enumeratePhysicalDrives(sysRoot)) {
        const std::string diskName = drive.devicePath.substr(5);
        const fs::path diskDir = fs::path(sysRoot) / "block" / diskName;
        std::vector<std::string> parts;
        std::error_code error;
        for (const auto& item : fs::directory_iterator(diskDir, error))
            if (fs::exists(item.path() / "partition"))
                parts.push_back(item.path().filename().string());
        std::sort(parts.begin(), parts.end());
        if (parts.empty())
            parts.push_back(diskName);
        for (const std::string& part : parts) {
            const std::string devicePath = "/dev/" + part;
            FileReadSeek probe;
            if (!probe.open(devicePath))
                continue;
            std::vector<unsigned char> first(1536, 0);
            probe.readAt(0, first);
            const ByteView bytes(first.data(), first.size());
            VolumeRecord record = boot_sector::recognisedVolume(bytes);
            const auto mounted = mounts.find(devicePath);
            record.rootPath = mounted != mounts.end() ? mounted->second : devicePath;
            record.deviceName = devicePath;
            const fs::path sysDir = part == diskName ? diskDir : diskDir / part;
            const unsigned long long bytesTotal = probe.byteSize() > 0 ? static_cast<unsigned long long>(probe.byteSize())
                                                                       : sysfsBytes(sysDir);
            record.sizeBytes = bytesTotal;
            volumes.push_back(std::move(record));
        }
    }
    return volumes;
}
